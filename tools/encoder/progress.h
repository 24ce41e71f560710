#pragma once
// ffmpeg's output as MEncoder's: "-progress" blocks become "Pos:" status
// lines, and ffmpeg's log becomes the duration and a failure reason. Pure.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qf::encoder {

struct StatusFigures {
    double positionSeconds = 0;
    long long frames = 0;
    int percent = 0;
    double fps = 0;
    int minutesLeft = 0;
    int projectedMiB = 0;
    int videoKbps = 0;
    int audioKbps = 0;
};

// "Pos:   3.2s     80f (32%) 60.00fps Trem:   0min   1mb  A-V:0.000 [600:128]\r"
std::string formatStatusLine(const StatusFigures& figures);

// Seconds that the output will cover: the source from `start`, cut to
// `length`; nullopt when the source duration is unknown.
std::optional<double> effectiveDuration(std::optional<double> sourceSeconds, double start,
                                        std::optional<double> length);

// Reads "  Duration: 00:01:02.50, start: ..." from ffmpeg's log; nullopt for other lines or N/A.
std::optional<double> parseDurationLine(std::string_view line);

// Turns ffmpeg's "-progress pipe:1" lines into status lines.
class ProgressTracker {
public:
    ProgressTracker(int videoKbps, int audioKbps) : videoKbps_(videoKbps), audioKbps_(audioKbps) {}

    void setDuration(std::optional<double> seconds) { duration_ = seconds; }
    bool hasDuration() const { return duration_.has_value(); }

    // One line of progress output; returns a status line when a block ends.
    // elapsedSeconds is the wall time since the conversion started.
    std::optional<std::string> feed(std::string_view line, double elapsedSeconds);

    bool finished() const { return finished_; } // "progress=end" was seen
    long long frames() const { return frames_; }
    long long totalBytes() const { return totalBytes_; }
    double positionSeconds() const { return position_; }

private:
    int videoKbps_;
    int audioKbps_;
    std::optional<double> duration_;
    long long frames_ = 0;
    long long totalBytes_ = 0;
    double position_ = 0;
    double fps_ = 0;
    bool finished_ = false;
};

// Collects ffmpeg's log lines ("-loglevel level+info") and keeps what a
// failure report needs.
class LogDigest {
public:
    void feed(std::string_view line);
    std::optional<double> duration() const { return duration_; }
    bool nothingEncoded() const { return nothingEncoded_; }
    // The two-pass rate control found no curve for the bitrate and buffers
    // (a very short or very noisy clip).
    bool rateControlGaveUp() const { return !rateControl_.empty(); }
    // The filter graph could not agree on a channel layout (a multichannel
    // source ahead of the normaliser, when the source's channels were not known).
    bool channelLayoutUnresolved() const { return channelLayout_; }
    // The cause of a failure: the fatal line, else the first specific
    // error, else a general one, else the last line seen.
    std::string lastError() const;

private:
    std::optional<double> duration_;
    bool nothingEncoded_ = false;
    std::string rateControl_;
    bool channelLayout_ = false;
    std::string lastFatal_;
    std::string firstSpecific_;
    std::string lastGeneric_;
    std::string lastLine_;
};

// A clearer reason for the common ffmpeg failures; other texts pass through.
std::string explainFailure(const std::string& ffmpegError);

// Text that may come from a file name must not look like the lines the
// system watches for ("Pos:", "Exiting...", "error parsing command line").
std::string neutralize(std::string text);

} // namespace qf::encoder
