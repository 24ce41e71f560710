#include "ui/shell/local_path.h"

#include <QByteArray>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include <dirent.h>
#include <sys/stat.h>
#include <vector>

#include "core/readable_text.h"

namespace qf::ui {

namespace {

constexpr char16_t kCarriedByteBase = 0xDC00; // + the byte (0x80..0xFF)
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

void appendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string carriedBytes(const QString& path)
{
    std::string out;
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = path.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(path.at(i + 1).unicode())) {
            appendUtf8(QChar::surrogateToUcs4(c, path.at(i + 1).unicode()), out);
            ++i;
        } else if (c >= kCarriedByteBase + 0x80 && c <= kCarriedByteBase + 0xFF) {
            out += static_cast<char>(c - kCarriedByteBase);
        } else if (QChar::isSurrogate(c)) {
            out += kReplacementUtf8;
        } else {
            appendUtf8(c, out);
        }
    }
    return out;
}

bool present(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The one entry of the folder that Qt decodes to the given text; empty when
// none or several do.
std::string entryDecodedAs(const std::string& folder, const QString& decoded)
{
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir)
        return {};
    std::vector<std::string> found;
    while (const dirent* entry = ::readdir(dir)) {
        if (QFile::decodeName(QByteArray(entry->d_name)) == decoded)
            found.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return found.size() == 1 ? found.front() : std::string();
}

// Each part of an absolute path that names nothing and bears the marks of a
// lossy decoding is replaced by the entry that decodes to it.
std::string lookUpLossyName(const std::string& bytes)
{
    std::string resolved;
    size_t at = 1;
    while (at <= bytes.size()) {
        size_t end = bytes.find('/', at);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string part = bytes.substr(at, end - at);
        at = end + 1;
        if (part.empty())
            continue;
        std::string next = resolved + "/" + part;
        if (!present(next)) {
            if (part.find(kReplacementUtf8) == std::string::npos)
                return bytes;
            const std::string entry = entryDecodedAs(resolved, QString::fromStdString(part));
            if (entry.empty())
                return bytes;
            next = resolved + "/" + entry;
        }
        resolved = std::move(next);
    }
    return resolved.empty() ? bytes : resolved;
}

} // namespace

QString pathToQ(std::string_view bytes)
{
    if (core::isValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString out;
    while (!bytes.empty()) {
        const size_t length = core::utf8SequenceLength(bytes);
        if (length == 0) {
            out += QChar(static_cast<char16_t>(kCarriedByteBase + static_cast<unsigned char>(bytes.front())));
            bytes.remove_prefix(1);
        } else {
            out += QString::fromUtf8(bytes.data(), static_cast<qsizetype>(length));
            bytes.remove_prefix(length);
        }
    }
    return out;
}

std::string localPathBytes(const QString& path)
{
    const std::string bytes = carriedBytes(path);
    if (bytes.empty() || bytes.front() != '/' || present(bytes) || bytes.find(kReplacementUtf8) == std::string::npos)
        return bytes;
    return lookUpLossyName(bytes);
}

QStringList localPathsOf(const QMimeData* mime)
{
    QStringList paths;
    if (!mime)
        return paths;
    const QByteArray list = mime->data(QStringLiteral("text/uri-list"));
    if (list.isEmpty()) {
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile())
                paths.push_back(url.toLocalFile());
        return paths;
    }
    for (QByteArray line : list.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#') || !line.toLower().startsWith("file:"))
            continue;
        QByteArray rest = line.mid(5);
        if (rest.startsWith("//")) {
            // file://host/path: only this machine's files are local.
            const qsizetype slash = rest.indexOf('/', 2);
            const QByteArray host = rest.mid(2, slash < 0 ? -1 : slash - 2);
            if (slash < 0 || (!host.isEmpty() && host.toLower() != "localhost"))
                continue;
            rest = rest.mid(slash);
        }
        const QByteArray bytes = QByteArray::fromPercentEncoding(rest);
        if (!bytes.isEmpty())
            paths.push_back(pathToQ(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))));
    }
    return paths;
}

} // namespace qf::ui
