#include "player/slave_protocol.h"

#include <cstdlib>

#include "core/platform/command_line.h"

namespace qf::player {

namespace {

bool startsWithNoCase(std::string_view line, std::string_view prefix)
{
    if (line.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const auto a = static_cast<unsigned char>(line[i]);
        const auto b = static_cast<unsigned char>(prefix[i]);
        const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
        if (lower(a) != lower(b))
            return false;
    }
    return true;
}

bool isBlank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

// Always in quotes, with the escapes the command-line splitter undoes: a
// quote in a file name must not end the argument and smuggle options onto
// the player's command line.
std::string quotedAlways(std::string_view argument)
{
    std::string quoted = platform::quoteArgument(argument);
    if (!quoted.empty() && quoted.front() == '"')
        return quoted;
    // Nothing needed escaping apart from backslashes that now stand before
    // the closing quote.
    std::string out = "\"";
    out += argument;
    size_t trailing = 0;
    while (trailing < argument.size() && argument[argument.size() - 1 - trailing] == '\\')
        ++trailing;
    out.append(trailing, '\\');
    out += '"';
    return out;
}

} // namespace

bool playerDriversFromEnvironment()
{
    const char* value = std::getenv(kPlayerDriversVariable);
    return value && !isBlank(value);
}

std::string playerDrivers()
{
    if (playerDriversFromEnvironment())
        return std::getenv(kPlayerDriversVariable);
    return std::string(kDefaultPlayerDrivers);
}

std::string playerDrivers(std::string_view soundOutput)
{
    if (playerDriversFromEnvironment() || soundOutput.empty())
        return playerDrivers();
    return std::string(kVideoDrivers) + " -ao " + std::string(soundOutput);
}

std::string videoOutputOfLine(std::string_view line)
{
    constexpr std::string_view kTag = "VO: [";
    if (!line.starts_with(kTag))
        return {};
    const size_t close = line.find(']', kTag.size());
    if (close == std::string_view::npos)
        return {};
    return std::string(line.substr(kTag.size(), close - kTag.size()));
}

bool displaySizeOfLine(std::string_view line, int32_t& width, int32_t& height)
{
    if (videoOutputOfLine(line).empty())
        return false;
    constexpr std::string_view kArrow = " => ";
    const size_t arrow = line.find(kArrow);
    if (arrow == std::string_view::npos)
        return false;
    const auto number = [](std::string_view text, size_t& at) {
        int64_t value = 0;
        const size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && value < INT32_MAX)
            value = value * 10 + (text[at++] - '0');
        return at > start && value <= INT32_MAX ? static_cast<int32_t>(value) : -1;
    };
    size_t at = arrow + kArrow.size();
    const int32_t w = number(line, at);
    if (w <= 0 || at >= line.size() || line[at] != 'x')
        return false;
    ++at;
    const int32_t h = number(line, at);
    if (h <= 0)
        return false;
    width = w;
    height = h;
    return true;
}

bool videoOutputHasPictureControls(std::string_view videoOutput)
{
    return videoOutput != "x11" && videoOutput != "null";
}

int32_t identifiedLength(std::string_view line)
{
    constexpr std::string_view kTag = "ID_LENGTH=";
    return parseAnswerSeconds(line, kTag);
}

std::string buildPlayerCommandLine(std::string_view quotedPlayerPath, uint32_t windowId, std::string_view drivers,
                                   std::string_view mediaPath, std::string_view videoFilters)
{
    std::string line(quotedPlayerPath);
    if (windowId != 0)
        line += " -wid " + std::to_string(windowId);
    line += " -quiet -slave -identify -colorkey 0x101010 -nodouble -noautosub -zoom -osdlevel 0 ";
    if (!videoFilters.empty()) {
        line += "-vf ";
        line += videoFilters;
        line += ' ';
    }
    line += drivers;
    line += ' ';
    line += quotedAlways(mediaPath);
    return line;
}

std::string_view rotationFilter(int32_t degrees)
{
    switch (degrees) {
    case 90: return "rotate=1"; // a quarter turn clockwise
    case 180: return "flip,mirror";
    case 270: return "rotate=2"; // a quarter turn anticlockwise
    default: return {};
    }
}

bool isStartLine(std::string_view line)
{
    return startsWithNoCase(line, "VO: [") || startsWithNoCase(line, "Starting");
}

bool isAnswerLine(std::string_view line, std::string_view tag)
{
    return line.starts_with(tag) || line.starts_with(kErrorAnswerTag);
}

int32_t parseAnswerSeconds(std::string_view line, std::string_view tag)
{
    if (!line.starts_with(tag) || line.size() <= tag.size())
        return 0;
    int64_t value = 0;
    for (char c : line.substr(tag.size())) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX)
            return INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

int64_t parseAnswerMilliseconds(std::string_view line, std::string_view tag)
{
    if (!line.starts_with(tag) || line.size() <= tag.size())
        return 0;
    const int32_t seconds = parseAnswerSeconds(line, tag);
    int64_t ms = int64_t{seconds} * 1000;
    if (seconds == INT32_MAX)
        return ms;
    const size_t point = line.find_first_not_of("0123456789", tag.size());
    if (point == std::string_view::npos || line[point] != '.' || point == tag.size())
        return ms;
    int64_t scale = 100;
    for (size_t i = point + 1; i < line.size() && scale > 0; ++i, scale /= 10) {
        const char c = line[i];
        if (c < '0' || c > '9')
            break;
        ms += (c - '0') * scale;
    }
    return ms;
}

} // namespace qf::player
