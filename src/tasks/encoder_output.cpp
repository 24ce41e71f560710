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

namespace {

// A decimal number with an optional fraction at the start of text; the
// number of bytes read in `used`.
std::optional<double> leadingDecimal(std::string_view text, size_t& used)
{
    double value = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + (text[i] - '0');
    if (i == 0)
        return std::nullopt;
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10)
            value += (text[i] - '0') * scale;
    }
    used = i;
    return value;
}

} // namespace

std::optional<double> positionFromLine(std::string_view line)
{
    const std::string_view marker = core::external::kProgressMarker;
    // Status lines rewritten with carriage returns arrive many to a line:
    // the last one is the latest.
    const size_t at = line.rfind(marker);
    if (at == std::string_view::npos)
        return std::nullopt;
    size_t used = 0;
    return leadingDecimal(skipBlanks(line.substr(at + marker.size())), used);
}

std::optional<double> durationSeconds(std::string_view text)
{
    // Fields from the right: seconds (with a fraction), minutes, hours.
    double total = 0;
    int fields = 0;
    while (!text.empty()) {
        const size_t colon = text.find(':');
        const std::string_view field = text.substr(0, colon);
        size_t used = 0;
        const std::optional<double> value = leadingDecimal(field, used);
        if (!value || used != field.size() || ++fields > 3)
            return std::nullopt;
        if (colon != std::string_view::npos && field.find('.') != std::string_view::npos)
            return std::nullopt;
        total = total * 60 + *value;
        if (colon == std::string_view::npos)
            break;
        text.remove_prefix(colon + 1);
        if (text.empty())
            return std::nullopt;
    }
    if (fields == 0)
        return std::nullopt;
    return total;
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
