#include "tasks/encoder_output.h"

#include <string>

#include "core/external_programs.h"

namespace qf::tasks {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view skipBlanks(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return text.substr(i);
}

} // namespace

EncoderLine classifyEncoderLine(std::string_view line)
{
    namespace ext = core::external;
    if (line.find(ext::kProgressMarker) != std::string_view::npos)
        return EncoderLine::Progress;
    if (line.find(ext::kFatalMarker) == std::string_view::npos)
        return EncoderLine::Other;
    if (line.find(ext::kBadOptionsMarker) != std::string_view::npos)
        return EncoderLine::BadParameters;
    return EncoderLine::Failed;
}

std::string_view exitReason(std::string_view line)
{
    const size_t at = line.find(core::external::kFatalMarker);
    if (at != std::string_view::npos) {
        std::string_view rest = skipBlanks(line.substr(at + std::string_view(core::external::kFatalMarker).size()));
        const size_t close = rest.rfind(')');
        if (rest.size() > 2 && rest.front() == '(' && close != std::string_view::npos && close > 1)
            return rest.substr(1, close - 1);
    }
    return line;
}

std::string_view trimLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

std::optional<std::string_view> progressText(std::string_view line)
{
    const size_t open = line.find('(');
    if (open == std::string_view::npos)
        return std::nullopt;
    const size_t close = line.find(')', open + 1);
    if (close == std::string_view::npos)
        return std::nullopt;
    return skipBlanks(line.substr(open + 1, close - open - 1));
}

int32_t leadingInteger(std::string_view text)
{
    text = skipBlanks(text);
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX)
            return INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

std::optional<int32_t> frameRateFromLine(std::string_view line)
{
    const std::string_view marker = core::external::kFrameRateMarker;
    const size_t at = line.find(marker);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string rest(line.substr(0, at));
    rest.append(line.substr(at + marker.size()));
    return leadingInteger(rest);
}

} // namespace qf::tasks
