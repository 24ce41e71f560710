#include "core/platform/desktop_shortcut.h"

#include "core/atomic_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qf::platform {

namespace {

// A desktop entry is UTF-8 text, so a name that is not cannot be written.
bool isUtf8(const std::string& s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int follow = 0;
        uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            follow = 1;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            follow = 2;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            follow = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<size_t>(follow) >= s.size())
            return false;
        for (int k = 1; k <= follow; ++k) {
            const auto f = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((f & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (f & 0x3F);
        }
        static constexpr uint32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
        if (code < kShortest[follow] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += static_cast<size_t>(follow) + 1;
    }
    return true;
}

bool hasControlCharacters(const std::string& s)
{
    for (const char ch : s)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F)
            return true;
    return false;
}

// The escapes of a string value; only the backslash can occur here, since
// control characters are refused before.
std::string escapedString(const std::string& s)
{
    std::string out;
    for (const char ch : s) {
        if (ch == '\\')
            out += '\\';
        out += ch;
    }
    return out;
}

// Plain stat: the engine's path helpers read a backslash as a separator,
// but here it is an ordinary character of a file name.
bool isKind(const std::string& path, mode_t kind)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
}

bool fail(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

std::string desktopShortcutPath(const std::string& desktopFolder, const std::string& name)
{
    return desktopFolder + "/" + name + ".desktop";
}

std::string desktopExecValue(const std::string& executable)
{
    std::string quoted = "\"";
    for (const char ch : executable) {
        if (ch == '"' || ch == '`' || ch == '$' || ch == '\\')
            quoted += '\\';
        if (ch == '%')
            quoted += '%';
        quoted += ch;
    }
    quoted += '"';
    return escapedString(quoted);
}

std::string desktopEntryText(const std::string& executable, const std::string& name)
{
    if (executable.empty() || name.empty() || !isUtf8(executable) || !isUtf8(name) || hasControlCharacters(executable)
        || hasControlCharacters(name))
        return {};
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name="
        + escapedString(name)
        + "\n"
          "Exec="
        + desktopExecValue(executable) + "\n";
}

bool createDesktopShortcut(const std::string& desktopFolder, const std::string& executable, std::string* error,
                           const std::string& name)
{
    if (desktopFolder.empty() || !isKind(desktopFolder, S_IFDIR))
        return fail(error, "no desktop folder: " + desktopFolder);
    if (!isKind(executable, S_IFREG))
        return fail(error, "the program is not a file: " + executable);
    const std::string text = desktopEntryText(executable, name);
    if (text.empty())
        return fail(error, "the program's path cannot be written into a desktop entry: " + executable);

    // Executable, as launchers want of an entry they are to trust; the
    // umask decides for whom, as for any program the user makes.
    const std::string target = desktopShortcutPath(desktopFolder, name);
    std::string why;
    if (core::writeFileAtomically(target, text, 0777, &why))
        return true;
    return fail(error, why);
}

} // namespace qf::platform
