#include "value_syntax.h"

#include <charconv>
#include <cmath>

namespace qf::encoder {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

} // namespace

std::optional<double> parseDecimal(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    std::size_t i = 0;
    if (text[0] == '-' || text[0] == '+')
        i = 1;
    bool digits = false;
    bool point = false;
    for (std::size_t k = i; k < text.size(); ++k) {
        if (isDigit(text[k])) {
            digits = true;
        } else if (text[k] == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits)
        return std::nullopt;
    double value = 0;
    std::string_view body = text[0] == '+' ? text.substr(1) : text;
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (ec != std::errc() || end != body.data() + body.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<long long> parseInteger(std::string_view text, long long min, long long max)
{
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    std::string_view body = text[0] == '+' ? text.substr(1) : text;
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (ec != std::errc() || end != body.data() + body.size())
        return std::nullopt;
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<double> parseRatio(std::string_view text)
{
    std::size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        return parseDecimal(text);
    auto num = parseDecimal(text.substr(0, slash));
    auto den = parseDecimal(text.substr(slash + 1));
    if (!num || !den || *den == 0)
        return std::nullopt;
    return *num / *den;
}

std::optional<double> parseClockTime(std::string_view text)
{
    std::vector<std::string> parts = splitText(text, ':');
    if (parts.empty() || parts.size() > 3)
        return std::nullopt;
    double seconds = 0;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        auto field = allDigits(parts[i]) ? parseInteger(parts[i], 0, 1000000) : std::nullopt;
        if (!field)
            return std::nullopt;
        seconds = seconds * 60 + static_cast<double>(*field);
    }
    const std::string& last = parts.back();
    std::size_t point = last.find('.');
    std::string_view whole = std::string_view(last).substr(0, point);
    if (!allDigits(whole))
        return std::nullopt;
    if (point != std::string::npos && !allDigits(std::string_view(last).substr(point + 1))) {
        return std::nullopt;
    }
    auto tail = parseDecimal(last);
    if (!tail)
        return std::nullopt;
    return seconds * 60 + *tail;
}

std::optional<std::int64_t> parseByteSize(std::string_view text)
{
    std::string lower = toLowerAscii(text);
    struct Unit {
        const char* suffix;
        std::int64_t factor;
    };
    // Longest suffixes first: "kb" must not be read as "b".
    static constexpr Unit units[] = {{"gb", 1024LL * 1024 * 1024}, {"mb", 1024LL * 1024}, {"kb", 1024}, {"b", 1}};
    for (const Unit& unit : units) {
        std::string_view suffix(unit.suffix);
        if (lower.size() > suffix.size() && lower.ends_with(suffix)) {
            auto count = parseInteger(std::string_view(lower).substr(0, lower.size() - suffix.size()), 1,
                                      (1LL << 62) / unit.factor);
            if (!count)
                return std::nullopt;
            return *count * unit.factor;
        }
    }
    return std::nullopt;
}

std::vector<std::string> splitText(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::string formatDecimal(double value)
{
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc())
        return "0";
    return std::string(buffer, end);
}

std::string toLowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string extensionOf(std::string_view path)
{
    std::size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    return toLowerAscii(name.substr(dot + 1));
}

} // namespace qf::encoder
