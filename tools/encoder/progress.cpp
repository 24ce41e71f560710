#include "progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "value_syntax.h"

namespace qf::encoder {

std::string formatStatusLine(const StatusFigures& f)
{
    char line[256];
    std::snprintf(line, sizeof line, "Pos:%6.1fs %6lldf (%2d%%) %5.2ffps Trem:%4dmin %3dmb  A-V:%5.3f [%d:%d]\r",
                  f.positionSeconds, f.frames, f.percent, f.fps, f.minutesLeft, f.projectedMiB, 0.0, f.videoKbps,
                  f.audioKbps);
    return line;
}

std::optional<double> effectiveDuration(std::optional<double> sourceSeconds, double start, std::optional<double> length)
{
    if (!sourceSeconds)
        return length;
    double rest = std::max(0.0, *sourceSeconds - start);
    if (length)
        rest = std::min(rest, *length);
    return rest;
}

std::optional<double> parseDurationLine(std::string_view line)
{
    static constexpr std::string_view key = "Duration: ";
    std::size_t at = line.find(key);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = line.substr(at + key.size());
    std::size_t end = rest.find(',');
    return parseClockTime(rest.substr(0, end));
}

std::optional<std::string> ProgressTracker::feed(std::string_view line, double elapsedSeconds)
{
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    std::string_view key = line.substr(0, eq);
    std::string value(line.substr(eq + 1));
    while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
        value.pop_back();
    while (!value.empty() && value.front() == ' ')
        value.erase(value.begin());
    if (key == "frame") {
        frames_ = parseInteger(value, 0, 1LL << 50).value_or(frames_);
    } else if (key == "fps") {
        fps_ = parseDecimal(value).value_or(fps_);
    } else if (key == "total_size") {
        totalBytes_ = parseInteger(value, 0, 1LL << 60).value_or(totalBytes_);
    } else if (key == "out_time_us") {
        // N/A before the first packet; negative right after a seek.
        if (auto us = parseInteger(value, -(1LL << 60), 1LL << 60))
            position_ = std::max(0.0, *us / 1e6);
    } else if (key == "progress") {
        finished_ = value == "end";
        StatusFigures f;
        f.positionSeconds = position_;
        f.frames = frames_;
        f.fps = fps_;
        f.videoKbps = videoKbps_;
        f.audioKbps = audioKbps_;
        double share = 0;
        if (duration_ && *duration_ > 0)
            share = std::min(1.0, position_ / *duration_);
        if (finished_)
            share = 1;
        f.percent = static_cast<int>(share * 100);
        if (share > 0) {
            f.minutesLeft = static_cast<int>(elapsedSeconds * (1 - share) / share / 60);
            f.projectedMiB = static_cast<int>(static_cast<double>(totalBytes_) / share / (1024 * 1024));
        }
        return formatStatusLine(f);
    }
    return std::nullopt;
}

void LogDigest::feed(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    if (line.empty())
        return;
    if (!duration_)
        duration_ = parseDurationLine(line);
    if (line.find("Output file is empty, nothing was encoded") != std::string_view::npos)
        nothingEncoded_ = true;
    if (line.find("Cannot select channel layout") != std::string_view::npos)
        channelLayout_ = true;
    lastLine_ = std::string(line);
    static constexpr std::string_view fatal = "[fatal] ";
    static constexpr std::string_view error = "[error] ";
    if (std::size_t at = line.find(fatal); at != std::string_view::npos) {
        lastFatal_ = std::string(line.substr(at + fatal.size()));
        return;
    }
    std::size_t at = line.find(error);
    if (at == std::string_view::npos)
        return;
    std::string text(line.substr(at + error.size()));
    if (rateControl_.empty()
        && (text.find("bitrate too low for this video") != std::string::npos
            || text.find("failed to converge") != std::string::npos)) {
        rateControl_ = text;
    }
    // ffmpeg follows the real cause with general lines; keep the cause.
    static constexpr std::string_view generic[] = {
        "Conversion failed",      "Error initializing output stream",
        "Error while filtering",  "Error while processing",
        "Error opening filters",  "Error while opening encoder",
        "Error marking filters",  "Error sending frames",
        "Could not write header", "Error initializing filter",
        "Failed to inject frame", "Error submitting",
    };
    bool isGeneric = std::any_of(std::begin(generic), std::end(generic),
                                 [&text](std::string_view g) { return text.starts_with(g); });
    if (isGeneric) {
        lastGeneric_ = text;
    } else if (firstSpecific_.empty()) {
        firstSpecific_ = text;
    }
}

std::string LogDigest::lastError() const
{
    std::string text = !rateControl_.empty() ? rateControl_
        : !lastFatal_.empty()                ? lastFatal_
        : !firstSpecific_.empty()            ? firstSpecific_
        : !lastGeneric_.empty()              ? lastGeneric_
                                             : lastLine_;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string explainFailure(const std::string& ffmpegError)
{
    if (ffmpegError.find("matches no streams") != std::string::npos) {
        if (ffmpegError.find("'0:v") != std::string::npos)
            return "Video stream is mandatory! (the source has no video)";
        return "The source has no such audio stream";
    }
    if (ffmpegError.find("bitstream filter 'mpeg4_unpack_bframes'") != std::string::npos) {
        return "A bare MPEG-4 stream cannot hold this video: " + ffmpegError;
    }
    if (ffmpegError.find("Invalid data found when processing input") != std::string::npos) {
        return "Cannot read the source: " + ffmpegError;
    }
    if (ffmpegError.empty())
        return "ffmpeg failed";
    return ffmpegError;
}

std::string neutralize(std::string text)
{
    static constexpr std::pair<std::string_view, std::string_view> replacements[] = {
        {"Pos:", "Pos_"},
        {"Exiting...", "Exiting_"},
        {"error parsing command line", "error_parsing_command_line"},
    };
    for (const auto& [from, to] : replacements) {
        std::size_t at = 0;
        while ((at = text.find(from, at)) != std::string::npos) {
            text.replace(at, from.size(), to);
            at += to.size();
        }
    }
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

} // namespace qf::encoder
