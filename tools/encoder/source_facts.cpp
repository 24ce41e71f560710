#include "source_facts.h"

#include <cmath>

#include "value_syntax.h"

namespace qf::encoder {

const SourceStream* SourceFacts::firstOfType(std::string_view type) const
{
    for (const SourceStream& s : streams) {
        if (s.type == type)
            return &s;
    }
    return nullptr;
}

int SourceFacts::countOfType(std::string_view type) const
{
    int count = 0;
    for (const SourceStream& s : streams) {
        if (s.type == type)
            ++count;
    }
    return count;
}

bool SourceStream::highBitDepth() const
{
    // yuv420p10le, yuv422p12be, p010le, gbrp16le, ...
    for (std::string_view deep : {"p10", "p12", "p14", "p16", "010", "016", "210", "410"}) {
        if (pixelFormat.find(deep) != std::string::npos)
            return true;
    }
    return false;
}

std::vector<std::string> probeArguments(const std::string& sourcePath)
{
    return {
        "-v",
        "error",
        "-show_entries",
        "format=format_name,duration:stream=index,id,codec_type,codec_name,width,height,r_frame_rate,avg_frame_rate,"
        "channels,pix_fmt,color_transfer,field_order:stream_side_data=rotation",
        "-of",
        "compact",
        "file:" + sourcePath};
}

SourceFacts parseProbeOutput(std::string_view text)
{
    SourceFacts facts;
    for (const std::string& rawLine : splitText(text, '\n')) {
        std::string line = rawLine;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields = splitText(line, '|');
        if (fields.empty())
            continue;
        bool isStream = fields[0] == "stream";
        bool isFormat = fields[0] == "format";
        if (!isStream && !isFormat)
            continue;
        SourceStream stream;
        for (std::size_t i = 1; i < fields.size(); ++i) {
            std::size_t eq = fields[i].find('=');
            if (eq == std::string::npos)
                continue;
            std::string key = fields[i].substr(0, eq);
            std::string value = fields[i].substr(eq + 1);
            if (isFormat) {
                if (key == "format_name")
                    facts.formatName = value;
                if (key == "duration") {
                    auto d = parseDecimal(value);
                    if (d && *d >= 0)
                        facts.durationSeconds = *d;
                }
            } else if (key == "index") {
                stream.index = static_cast<int>(parseInteger(value, 0, 1 << 20).value_or(-1));
            } else if (key == "id") {
                // ffprobe prints ids in hex ("0x1c0") or N/A.
                if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
                    int id = 0;
                    bool ok = true;
                    for (std::size_t k = 2; k < value.size() && ok; ++k) {
                        char c = value[k];
                        int digit = c >= '0' && c <= '9' ? c - '0'
                            : c >= 'a' && c <= 'f'       ? c - 'a' + 10
                            : c >= 'A' && c <= 'F'       ? c - 'A' + 10
                                                         : -1;
                        ok = digit >= 0 && id < (1 << 24);
                        if (ok)
                            id = id * 16 + digit;
                    }
                    if (ok)
                        stream.id = id;
                } else {
                    stream.id = static_cast<int>(parseInteger(value, 0, 1 << 24).value_or(-1));
                }
            } else if (key == "codec_type") {
                stream.type = value;
            } else if (key == "codec_name") {
                stream.codec = value;
            } else if (key == "width" || key == "height") {
                (key == "width" ? stream.width : stream.height)
                    = static_cast<int>(parseInteger(value, 0, 1 << 16).value_or(0));
            } else if (key == "pix_fmt") {
                stream.pixelFormat = value;
            } else if (key == "color_transfer") {
                stream.colorTransfer = value;
            } else if (key == "field_order") {
                stream.fieldOrder = value;
            } else if (key == "channels") {
                stream.channels = static_cast<int>(parseInteger(value, 0, 64).value_or(0));
            } else if (key == "rotation") {
                // ffprobe prints the display matrix's angle, signed: -90 and 270 are one turn.
                auto degrees = parseDecimal(value);
                if (degrees)
                    stream.rotation = (static_cast<int>(std::fmod(std::round(*degrees), 360.0)) + 360) % 360;
            } else if (key == "avg_frame_rate" || key == "r_frame_rate") {
                // The average rate is the one a variable-rate phone clip plays at;
                // the stream's base rate stands in when it is unknown ("0/0").
                auto rate = parseRatio(value);
                bool usable = rate && std::isfinite(*rate) && *rate > 0 && *rate < 1000;
                if (usable && (key == "avg_frame_rate" || stream.frameRate == 0))
                    stream.frameRate = *rate;
            }
        }
        if (isStream && stream.index >= 0)
            facts.streams.push_back(stream);
    }
    return facts;
}

} // namespace qf::encoder
