#pragma once
// CommandLineBuilder: turns a ConversionSettings record into the encoder's
// command lines (MEncoder syntax) and names the output file.
//
// A command line is complete: the encoder's quoted path first, then the
// arguments, handed to the child-process runner unchanged (the runner splits
// it with qf::platform::splitCommandLine). Fragments are appended to the
// scratch string; each fragment that starts an option starts with a blank.
//
// The encoder path is process-wide: set once at start-up (UI thread) before
// any task exists, read-only afterwards. buildCommands runs on the worker
// thread, on the task's own record; makeOutputPath on the UI thread.

#include <cstdint>
#include <span>

#include "convert/conversion_settings.h"
#include "convert/value_tables.h"
#include "core/text_string.h"

namespace qf::convert {

// Said when a stop time is not after the start time.
inline constexpr char kStopBeforeStartText[] = "停止时间必须晚于开始时间。";

// False when both times are set and the stop time is not after the start
// time: such a record cannot be converted. Both are positions in the
// source's clock.
bool stopFollowsStart(const ConversionSettings& settings);

class CommandLineBuilder : public ConversionSettings {
public:
    CommandLineBuilder() = default;
    CommandLineBuilder(const CommandLineBuilder&) = default;
    CommandLineBuilder& operator=(const CommandLineBuilder&) = default;
    ~CommandLineBuilder() override;

    // The encoder's path, already quoted ("\"<dir>/ALDER.DAT\"").
    static void setEncoderPath(const char* quotedPath);
    static const core::TextString& encoderPath();

    // Fills firstCommand, secondCommand and intermediateBase as the format's
    // row in formatTable() lays them out (none for a format outside it).
    // Changes the record: DVD-Film forces 24000/1001 fps, audio-only formats
    // and sources force "no video", a source without audio forces "no audio", and a
    // pass-one command clears turbo so that only the first pass is fast.
    void buildCommands();

    // outputPath := output folder + "/" + the source's file name + the
    // format's suffix (the source's extension stays in the name). Turns the
    // backslashes of sourcePath into slashes.
    void makeOutputPath(const char* outputFolder);
    // The output path with another format (-1: the record's own).
    core::TextString outputPathForFormat(int32_t format = -1) const;
    // The task list's label of a format (-1: the record's own); "" outside the table.
    const char* formatLabel(int32_t format = -1) const;

    // The fragments, each appended to scratch().
    void appendVideoFilters();
    void appendFrameRate();
    void appendVideoCodec();
    void appendVideoBitrate();
    void appendAudioFilters();
    void appendSampleRate();
    void appendAudioStream();
    void appendAudioCodec();
    void appendAudioBitrate();

    core::TextString& scratch() { return scratch_; }
    const core::TextString& firstCommand() const { return firstCommand_; }
    const core::TextString& secondCommand() const { return secondCommand_; }
    // The output path without its extension, for the formats that write an
    // intermediate file; post-processing reads intermediateBase plus the
    // format's intermediate extension.
    const core::TextString& intermediateBase() const { return intermediateBase_; }

private:
    void appendHead(core::TextString& line);
    void appendMain(core::TextString& line);
    void appendPassOne(core::TextString& line);
    // Appends scratch_ to line and empties scratch_.
    void flushInto(core::TextString& line);
    // Appends a finished command to line with the format's replacements
    // made in its options.
    void appendRewritten(core::TextString& line, const core::TextString& command,
                         std::span<const TextReplacement> rewrites);

    core::TextString scratch_;
    core::TextString firstCommand_;
    core::TextString secondCommand_;
    core::TextString intermediateBase_;
};

// Appends a path as one quoted argument of a command line. A path without a
// double quote (and not ending in a backslash) is written as a quote, its
// exact bytes and a quote; any other path is quoted so that
// qf::platform::splitCommandLine gives it back whole, never as extra
// arguments.
void appendQuotedPath(core::TextString& line, const char* path);

// The suffix of a format ("-flv.flv"), or "" outside the format table.
const char* formatSuffix(int32_t format);

} // namespace qf::convert
