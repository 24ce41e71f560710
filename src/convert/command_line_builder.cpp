#include "convert/command_line_builder.h"

#include <cstring>
#include <string>

#include "convert/configuration.h"
#include "convert/value_tables.h"
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
    const FormatEntry* entry = tableEntry(kFormats, format);
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

// ENC "SRC" CONT[ -ss START][ -endpos STOP]. With an empty CONT the head ends
// in a blank and the next fragment adds its own: two blanks stand there.
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
        line.append(endPosition);
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

void CommandLineBuilder::buildCommands()
{
    firstCommand_.clear();
    secondCommand_.clear();
    intermediateBase_.clear();
    if (category == kCategoryDvd && model == 1)
        frameRateIndex = kFrameRateFilm;
    if (outputFormat == kFormatWma || outputFormat == kFormatMp3)
        videoCodec = kVideoCodecNone;
    if (!media.hasVideo)
        videoCodec = kVideoCodecNone;
    if (!media.hasAudio)
        audioCodec = kAudioCodecNone;

    auto setBase = [this] {
        const int32_t dot = outputPath.findLast('.');
        intermediateBase_ = dot >= 0 ? outputPath.substring(0, static_cast<uint32_t>(dot)) : outputPath;
    };
    auto outputOption = [](core::TextString& line, const char* path) {
        line.append(" -o ");
        appendQuotedPath(line, path);
    };
    // The audio-only and single-pass formats: HEAD + their own fragments.
    auto singleLine = [&](bool streamId, bool videoFilters, bool extraVideo) {
        appendHead(firstCommand_);
        scratch_.clear();
        appendAudioFilters();
        appendSampleRate();
        if (streamId)
            appendAudioStream();
        if (videoFilters)
            appendVideoFilters();
        appendAudioCodec();
        appendVideoCodec();
        if (extraVideo)
            scratch_.append(extraVideoCodecOptions);
        flushInto(firstCommand_);
        outputOption(firstCommand_, outputPath.c_str());
    };

    // The pass-one command is built whenever two passes are set, whatever the
    // format uses; building it spends the turbo setting, so no command built
    // after it carries ":turbo".
    core::TextString passOne;
    if (twoPass)
        appendPassOne(passOne);

    switch (outputFormat) {
    case kFormat3gp:
    case kFormatPmp:
    case kFormatPspMp4Xvid:
    case kFormatMp4Xvid: {
        setBase();
        core::TextString options;
        appendMain(options);
        if (outputFormat == kFormatPmp) {
            // The replacements touch the options only, never the quoted
            // encoder and source paths at the start of the line.
            core::TextString prefix(encoderPath());
            prefix.append(" ");
            appendQuotedPath(prefix, sourcePath.c_str());
            core::TextString tail = options.substring(prefix.length(), options.length());
            // A 500 kbit/s row turns into constant-quality encoding.
            tail.replaceAll("bitrate=500", "crf=22");
            tail.replaceAll("-vf-add", "-channels 2 -vf-add");
            options = prefix;
            options.append(tail);
        }
        firstCommand_ = options;
        outputOption(firstCommand_, core::TextString::concat(intermediateBase_.c_str(), ".avi").c_str());
        break;
    }
    case kFormatPspMp4X264:
    case kFormatPspMp4Divx:
    case kFormatMp4X264:
    case kFormatMp4Divx:
        setBase();
        appendMain(firstCommand_);
        outputOption(firstCommand_, core::TextString::concat(intermediateBase_.c_str(), ".mp4").c_str());
        break;
    case kFormatMp3:
        singleLine(true, false, false);
        break;
    case kFormatFlv:
    case kFormatWmv:
        singleLine(false, true, true);
        break;
    case kFormatWma:
        singleLine(true, false, true);
        break;
    case kFormatMpgNtsc:
    case kFormatMpgPal:
        firstCommand_ = passOne;
        appendMain(secondCommand_);
        outputOption(secondCommand_, outputPath.c_str());
        break;
    default:
        break;
    }
    scratch_.clear();
}

void CommandLineBuilder::makeOutputPath() { makeOutputPath(outputFolder().c_str()); }

void CommandLineBuilder::makeOutputPath(const char* folder)
{
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
    const FormatEntry* entry = tableEntry(kFormats, format);
    return entry ? entry->label : "";
}

} // namespace qf::convert
