#include "convert/command_line_builder.h"

#include <cstring>
#include <string>

#include "convert/value_tables.h"
#include "core/clock_time.h"
#include "core/file_system.h"
#include "core/platform/command_line.h"

namespace qf::convert {

namespace {

core::TextString& sharedEncoderPath()
{
    static core::TextString path;
    return path;
}

constexpr char kQuote[] = "\"";

} // namespace

void appendQuotedPath(core::TextString& line, const char* path)
{
    const size_t n = path ? std::strlen(path) : 0;
    const bool plain = !path || (!std::strchr(path, '"') && (n == 0 || path[n - 1] != '\\'));
    if (plain) {
        line.append(kQuote);
        line.append(path);
        line.append(kQuote);
        return;
    }
    // A quote inside the path (legal on Linux) or a backslash before the
    // closing quote would otherwise split or run into the next argument.
    std::string quoted = platform::quoteArgument(path);
    if (quoted.empty() || quoted.front() != '"')
        quoted = "\"" + quoted + "\"";
    line.append(quoted.c_str());
}

const char* formatSuffix(int32_t format)
{
    const FormatEntry* entry = formatEntry(format);
    return entry ? entry->suffix : "";
}

CommandLineBuilder::~CommandLineBuilder() = default;

void CommandLineBuilder::setEncoderPath(const char* quotedPath) { sharedEncoderPath().assign(quotedPath); }

const core::TextString& CommandLineBuilder::encoderPath() { return sharedEncoderPath(); }

void CommandLineBuilder::flushInto(core::TextString& line)
{
    line.append(scratch_);
    scratch_.clear();
}

bool stopFollowsStart(const ConversionSettings& settings)
{
    const char* start = settings.startTime.c_str();
    const char* stop = settings.endPosition.c_str();
    if (!core::isTimeText(start) || !core::isTimeText(stop))
        return true;
    return core::parseTime(stop) > core::parseTime(start);
}

// ENC "SRC" CONT[ -ss START][ -endpos LENGTH]. The stop time is a position
// in the source, and the encoder counts -endpos from -ss: the length from
// the start to the stop is passed. With an empty CONT the head ends in a
// blank and the next fragment adds its own: two blanks stand there.
void CommandLineBuilder::appendHead(core::TextString& line)
{
    line.append(encoderPath());
    line.append(" ");
    appendQuotedPath(line, sourcePath.c_str());
    line.append(" ");
    line.append(containerOptions);
    if (!startTime.empty()) {
        line.append(" -ss ");
        line.append(startTime);
    }
    if (!endPosition.empty()) {
        line.append(" -endpos ");
        if (core::isTimeText(startTime.c_str()) && core::isTimeText(endPosition.c_str()) && stopFollowsStart(*this)) {
            char length[16];
            core::formatSeconds(core::parseTime(endPosition.c_str()) - core::parseTime(startTime.c_str()), length);
            line.append(length);
        } else {
            line.append(endPosition);
        }
    }
}

void CommandLineBuilder::appendMain(core::TextString& line)
{
    appendHead(line);
    scratch_.clear();
    appendAudioFilters();
    appendSampleRate();
    appendAudioStream();
    appendVideoFilters();
    appendFrameRate();
    appendAudioCodec();
    appendVideoCodec();
    scratch_.append(extraVideoCodecOptions);
    if (twoPass)
        scratch_.append(":vpass=2");
    flushInto(line);
}

void CommandLineBuilder::appendPassOne(core::TextString& line)
{
    appendHead(line);
    scratch_.clear();
    appendVideoFilters();
    appendFrameRate();
    appendVideoCodec();
    scratch_.append(extraVideoCodecOptions);
    scratch_.append(":vpass=1 -nosound -o ");
    flushInto(line);
    appendQuotedPath(line, outputPath.c_str());
    // Only the first pass may be fast.
    turbo = 0;
}

void CommandLineBuilder::appendRewritten(core::TextString& line, const core::TextString& command,
                                         std::span<const TextReplacement> rewrites)
{
    // The replacements touch the options only, never the quoted encoder and
    // source paths at the start of the line.
    core::TextString prefix(encoderPath());
    prefix.append(" ");
    appendQuotedPath(prefix, sourcePath.c_str());
    core::TextString tail = command.substring(prefix.length(), command.length());
    for (const TextReplacement& r : rewrites)
        tail.replaceAll(r.from, r.to);
    line.append(prefix);
    line.append(tail);
}

void CommandLineBuilder::buildCommands()
{
    firstCommand_.clear();
    secondCommand_.clear();
    intermediateBase_.clear();
    const FormatEntry* format = formatEntry(outputFormat);
    if (category == kCategoryDvd && model == 1)
        frameRateIndex = kFrameRateFilm;
    if (format && format->audioOnly)
        videoCodec = kVideoCodecNone;
    if (!media.hasVideo)
        videoCodec = kVideoCodecNone;
    if (!media.hasAudio)
        audioCodec = kAudioCodecNone;

    auto outputOption = [](core::TextString& line, const char* path) {
        line.append(" -o ");
        appendQuotedPath(line, path);
    };

    // The pass-one command is built whenever two passes are set, whatever the
    // format uses; building it spends the turbo setting, so no command built
    // after it carries ":turbo".
    core::TextString passOne;
    if (twoPass)
        appendPassOne(passOne);

    if (!format) {
        scratch_.clear();
        return;
    }
    switch (format->layout) {
    case CommandLayout::Intermediate: {
        const int32_t dot = outputPath.findLast('.');
        intermediateBase_ = dot >= 0 ? outputPath.substring(0, static_cast<uint32_t>(dot)) : outputPath;
        core::TextString command;
        appendMain(command);
        if (format->optionRewrites.empty())
            firstCommand_ = command;
        else
            appendRewritten(firstCommand_, command, format->optionRewrites);
        outputOption(firstCommand_,
                     core::TextString::concat(intermediateBase_.c_str(), format->intermediateExtension).c_str());
        break;
    }
    case CommandLayout::SingleLine: {
        const SingleLineParts& parts = format->singleLine;
        appendHead(firstCommand_);
        scratch_.clear();
        appendAudioFilters();
        appendSampleRate();
        if (parts.audioStream)
            appendAudioStream();
        if (parts.videoFilters)
            appendVideoFilters();
        appendAudioCodec();
        appendVideoCodec();
        if (parts.extraVideoOptions)
            scratch_.append(extraVideoCodecOptions);
        flushInto(firstCommand_);
        outputOption(firstCommand_, outputPath.c_str());
        break;
    }
    case CommandLayout::TwoPass:
        firstCommand_ = passOne;
        appendMain(secondCommand_);
        outputOption(secondCommand_, outputPath.c_str());
        break;
    }
    scratch_.clear();
}

void CommandLineBuilder::makeOutputPath(const char* folder)
{
    // Only a Windows-form path has backslashes for separators: on Linux one
    // is a byte of the name, which the output name keeps.
    if (core::fs::backslashSeparates(sourcePath.c_str()))
        sourcePath.replaceAll("\\", "/");
    outputPath = folder;
    const int32_t slash = sourcePath.findLast('/');
    if (slash >= 0) {
        outputPath.append(sourcePath.c_str() + slash);
    } else {
        // A bare file name still names its output, so that two such tasks
        // never write the same nameless file.
        outputPath.append("/");
        outputPath.append(sourcePath);
    }
    outputPath.append(formatSuffix(outputFormat));
}

core::TextString CommandLineBuilder::outputPathForFormat(int32_t format) const
{
    if (format == -1)
        format = outputFormat;
    core::TextString path(outputPath);
    const int32_t dash = path.findLast('-');
    if (dash >= 0)
        path.erase(static_cast<uint32_t>(dash), path.length());
    path.append(formatSuffix(format));
    return path;
}

const char* CommandLineBuilder::formatLabel(int32_t format) const
{
    if (format == -1)
        format = outputFormat;
    const FormatEntry* entry = formatEntry(format);
    return entry ? entry->label : "";
}

} // namespace qf::convert
