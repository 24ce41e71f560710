#pragma once
// The facts of one media file, read through the media-information library.
//
// MediaFacts is the copyable part: the texts and flags that a conversion task
// keeps of its source file and that the summary text is made from.
// MediaSummary is a prober: it owns one library handle and holds the facts of
// the last file it probed. It is reused for every file its owner adds.
//
// Owned and used by one thread (the UI thread); probing blocks while the
// library reads the file. The library must be loaded (loadMediaInfoLibrary)
// before a MediaSummary is made (for the process-wide library: before its
// first use), or the summary has no handle and refuses every file. A summary that outlives an unload of the library
// refuses every file too and drops its handle without calling the library.

#include <cstdint>

#include "core/text_string.h"
#include "probe/media_info_library.h"

namespace qf::probe {

// The library's stream kinds.
enum class StreamKind : int { General = 0, Video = 1, Audio = 2 };

// Texts are the library's own wording, shown unchanged; a text the library
// does not have is empty. A kind's texts mean something only when its flag is
// set: a prober that read a file with video and then one without keeps the
// old video texts (apart from videoFrameRate, which is emptied).
struct MediaFacts {
    MediaFacts() = default;
    MediaFacts(const MediaFacts&) = default;
    MediaFacts(MediaFacts&&) = default;
    MediaFacts& operator=(const MediaFacts&) = default;
    MediaFacts& operator=(MediaFacts&&) = default;
    virtual ~MediaFacts() = default;

    core::TextString format; // container, e.g. "AVI"
    core::TextString extensions; // the format's usual extensions, blank-separated
    bool hasVideo = false;
    core::TextString videoFormat;
    core::TextString videoSize; // "<width> x <height> pixels"
    core::TextString videoFrameRate; // "<rate> fps"
    core::TextString videoBitRate;
    core::TextString videoAspectRatio;
    core::TextString videoDuration; // HH:MM:SS.mmm
    bool hasAudio = false;
    core::TextString audioFormat;
    core::TextString audioBitRate;
    core::TextString audioSamplingRate; // "<rate> Hz"
    core::TextString audioStreamKindId;
    core::TextString audioDuration; // HH:MM:SS.mmm
};

class MediaSummary : public MediaFacts {
public:
    // Takes a handle from the process-wide library, when it is loaded, on
    // first use: a window can make its prober before the library's load has
    // been finished.
    MediaSummary();
    // Takes a handle from the given library (tests); none when it is not loaded.
    explicit MediaSummary(const MediaInfoLibrary& library);
    MediaSummary(const MediaSummary&) = delete;
    MediaSummary& operator=(const MediaSummary&) = delete;
    ~MediaSummary() override;

    // Numbers read along with the texts (meaningful only when hasVideo).
    uint32_t durationSeconds = 0; // whole seconds of the container, truncated
    int32_t width = 0; // pixels; 0 when the library has no number
    int32_t height = 0;

    bool hasHandle() const
    {
        takeHandleIfDue();
        return handle_ != nullptr;
    }
    bool isClosed() const { return isClosed_; }

    // Probes the file: true when it has a video or an audio stream. A file
    // that cannot be opened changes nothing; a file that opens without
    // either stream clears both flags and changes nothing else. Always
    // leaves the summary closed.
    bool probeFile(const char* path);

    // The steps of probeFile, for callers that need them one by one.
    bool open(const char* path); // false without a handle or when the library cannot read it
    // Opens by reading the file here and handing its bytes to the library:
    // what open does for a name the library cannot take itself (one that is
    // not UTF-8, or reads as an address). False without a handle, for
    // anything but a regular file, or when no format takes the bytes.
    bool openByReading(const char* path);
    void close();
    core::TextString getText(StreamKind kind, uint32_t number, const char* parameter) const;
    uint32_t countStreams(StreamKind kind) const;
    bool readStreams();

private:
    bool handleUsable() const;

    // The process-wide library's handle, taken on first use.
    void takeHandleIfDue() const;
    void takeHandle() const;

    // Set once on first use for a summary of the process-wide library.
    mutable const MediaInfoLibrary* library_ = nullptr;
    mutable void* handle_ = nullptr; // MediaInfoA_New's object; null when the library was not loaded
    mutable uint64_t generation_ = 0; // the library load that made handle_
    bool isClosed_ = true;
};

// probeFile on the given prober; the form the task list and the player call.
bool probeFile(const char* path, MediaSummary& out);

// Said of a file that is not there, where "不能识别的文件类型" would blame a
// file that does not exist.
inline constexpr char kMissingFileText[] = "找不到源文件,它可能已被移动或删除。";
// True when nothing can be read at the path: no such file, or a link whose
// target is gone.
bool isMissing(const char* path);

// The summary text shown for a task: format and extensions, an empty line,
// the video lines (or 无视频), an empty line, the audio lines (or 无音频).
// Lines are separated by CR LF; the text has no line break at its end.
core::TextString formatMediaSummaryText(const MediaFacts& facts);

} // namespace qf::probe
