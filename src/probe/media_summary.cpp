#include "probe/media_summary.h"

#include <cerrno>
#include <clocale>
#include <cstdint>
#include <fcntl.h>
#include <locale.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/readable_text.h"
#include "probe/media_info_library.h"

namespace qf::probe {

namespace {

// The library's kind of information "text" and search "by name".
constexpr int kInfoText = 1;
constexpr int kSearchByName = 0;
// Asked for as the stream number, gives the number of streams of a kind.
constexpr size_t kAllStreams = static_cast<size_t>(-1);

// The library converts narrow text (paths in, answers out) with the calling
// thread's character locale. The system's narrow text is UTF-8 whatever the
// user's locale says, so every call into the library runs under a UTF-8
// character locale, for this thread only and only for the call.
locale_t utf8CharacterLocale()
{
    static const locale_t locale = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            if (locale_t l = ::newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr)))
                return l;
        }
        return static_cast<locale_t>(nullptr);
    }();
    return locale;
}

class Utf8CallScope {
public:
    Utf8CallScope()
    {
        if (locale_t utf8 = utf8CharacterLocale())
            previous_ = ::uselocale(utf8);
    }
    ~Utf8CallScope()
    {
        if (previous_ != nullptr)
            ::uselocale(previous_);
    }
    Utf8CallScope(const Utf8CallScope&) = delete;
    Utf8CallScope& operator=(const Utf8CallScope&) = delete;

private:
    locale_t previous_ = nullptr;
};

// The library turns a name into wide text with the UTF-8 locale, which
// fails for bytes that are not UTF-8 (GBK names from Windows archives), and
// treats a name holding "://" as an address to fetch. Such files are read by
// us and their bytes handed over.
bool libraryTakesName(const char* path)
{
    const std::string_view name(path);
    return core::isValidUtf8(name) && name.find("://") == std::string_view::npos;
}

// An open descriptor, closed on every way out.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const char* path) : fd_(::open(path, O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

constexpr size_t kStatusAccepted = 1;
constexpr size_t kStatusFinished = 8;
constexpr size_t kReadPiece = 64 * 1024;

// The leading decimal digits of a text; 0 when it starts with anything else.
// Saturates instead of wrapping on absurdly long numbers.
uint64_t leadingDigits(std::string_view text)
{
    constexpr uint64_t kCeiling = UINT64_MAX / 10 - 9;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        if (value >= kCeiling)
            return UINT64_MAX;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

int32_t leadingInt32(std::string_view text)
{
    const uint64_t value = leadingDigits(text);
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

uint32_t millisecondsToSeconds(std::string_view text)
{
    const uint64_t seconds = leadingDigits(text) / 1000;
    return seconds > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(seconds);
}

} // namespace

MediaSummary::MediaSummary() = default;

MediaSummary::MediaSummary(const MediaInfoLibrary& library) : library_(&library) { takeHandle(); }

void MediaSummary::takeHandleIfDue() const
{
    if (library_ != nullptr)
        return;
    library_ = &mediaInfoLibrary();
    takeHandle();
}

void MediaSummary::takeHandle() const
{
    if (library_->loaded()) {
        Utf8CallScope scope;
        handle_ = library_->api().create();
        generation_ = library_->generation();
    }
}

MediaSummary::~MediaSummary()
{
    close();
    // A handle from a library that has since been unloaded went with it.
    if (handleUsable()) {
        Utf8CallScope scope;
        library_->api().destroy(handle_);
    }
}

bool MediaSummary::handleUsable() const
{
    return handle_ != nullptr && library_->loaded() && library_->generation() == generation_;
}

bool MediaSummary::open(const char* path)
{
    takeHandleIfDue();
    if (!handleUsable() || path == nullptr)
        return false;
    if (!libraryTakesName(path))
        return openByReading(path);
    close();
    Utf8CallScope scope;
    if (library_->api().open(handle_, path) == 0)
        return false;
    isClosed_ = false;
    return true;
}

bool MediaSummary::openByReading(const char* path)
{
    takeHandleIfDue();
    if (!handleUsable() || path == nullptr || !library_->api().canReadBuffers())
        return false;
    close();
    const ReadOnlyFile file(path);
    struct stat st;
    // Only a regular file: reading a pipe or a device could block or never end.
    if (file.fd() < 0 || ::fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const auto size = static_cast<uint64_t>(st.st_size);
    const MediaInfoEntryPoints& api = library_->api();
    Utf8CallScope scope;
    api.bufferInit(handle_, size, 0);
    std::vector<uint8_t> piece(kReadPiece);
    size_t status = 0;
    // The library asks for the places it needs (the end of a file, an index);
    // the bound only guards against a request loop that never ends.
    const uint64_t bound = size * 4 + 16 * 1024 * 1024;
    uint64_t fed = 0;
    while (fed < bound) {
        const ssize_t n = ::read(file.fd(), piece.data(), piece.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        fed += static_cast<uint64_t>(n);
        status |= api.bufferContinue(handle_, piece.data(), static_cast<size_t>(n));
        if (status & kStatusFinished)
            break;
        const uint64_t wanted = api.bufferGoToGet(handle_);
        if (wanted != UINT64_MAX) {
            if (::lseek(file.fd(), static_cast<off_t>(wanted), SEEK_SET) < 0)
                break;
            api.bufferInit(handle_, size, wanted);
        }
    }
    status |= api.bufferFinalize(handle_);
    if (!(status & kStatusAccepted)) {
        api.close(handle_);
        return false;
    }
    isClosed_ = false;
    return true;
}

void MediaSummary::close()
{
    if (isClosed_)
        return;
    if (handleUsable()) {
        Utf8CallScope scope;
        library_->api().close(handle_);
    }
    isClosed_ = true;
}

core::TextString MediaSummary::getText(StreamKind kind, uint32_t number, const char* parameter) const
{
    core::TextString text;
    if (isClosed_ || !handleUsable())
        return text;
    Utf8CallScope scope;
    // The answer lives in a buffer of the handle that the next call reuses:
    // copy it at once.
    text.assign(library_->api().get(handle_, static_cast<int>(kind), number, parameter, kInfoText, kSearchByName));
    return text;
}

uint32_t MediaSummary::countStreams(StreamKind kind) const
{
    if (isClosed_ || !handleUsable())
        return 0;
    Utf8CallScope scope;
    const size_t count = library_->api().countGet(handle_, static_cast<int>(kind), kAllStreams);
    return count > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(count);
}

bool MediaSummary::readStreams()
{
    hasVideo = countStreams(StreamKind::Video) != 0;
    hasAudio = countStreams(StreamKind::Audio) != 0;
    if (!hasVideo && !hasAudio)
        return false;

    format = getText(StreamKind::General, 0, "Format");
    extensions = getText(StreamKind::General, 0, "Format/Extensions");
    durationSeconds = millisecondsToSeconds(getText(StreamKind::General, 0, "Duration").view());

    // The one video text that a later file without video must not inherit.
    videoFrameRate.clear();
    if (hasVideo) {
        videoFormat = getText(StreamKind::Video, 0, "Format");
        width = leadingInt32(getText(StreamKind::Video, 0, "Width").view());
        height = leadingInt32(getText(StreamKind::Video, 0, "Height").view());
        videoSize.format("%d x %d pixels", width, height);
        videoFrameRate = getText(StreamKind::Video, 0, "FrameRate");
        videoFrameRate.append(" fps");
        videoBitRate = getText(StreamKind::Video, 0, "BitRate/String");
        videoAspectRatio = getText(StreamKind::Video, 0, "DisplayAspectRatio/String");
        videoDuration = getText(StreamKind::Video, 0, "Duration/String3");
    }
    if (hasAudio) {
        audioFormat = getText(StreamKind::Audio, 0, "Format");
        audioBitRate = getText(StreamKind::Audio, 0, "BitRate/String");
        audioSamplingRate = getText(StreamKind::Audio, 0, "SamplingRate");
        audioSamplingRate.append(" Hz");
        audioStreamKindId = getText(StreamKind::Audio, 0, "StreamKindID");
        audioDuration = getText(StreamKind::Audio, 0, "Duration/String3");
    }
    return true;
}

bool MediaSummary::probeFile(const char* path)
{
    if (!open(path))
        return false;
    const bool found = readStreams();
    close();
    return found;
}

bool probeFile(const char* path, MediaSummary& out) { return out.probeFile(path); }

bool isMissing(const char* path)
{
    struct stat st {};
    if (path == nullptr || *path == 0)
        return true;
    // stat follows links: a dangling one names nothing.
    return ::stat(path, &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

} // namespace qf::probe
