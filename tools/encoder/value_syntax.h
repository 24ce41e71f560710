#pragma once
// Value syntax of the encoder's command line: times, rates, numbers and the
// ':'/',' separated lists. Everything here is pure and locale-independent
// (the C runtime's strtod would read "1,5" under some locales).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qf::encoder {

// "[[hh:]mm:]ss[.frac]" in seconds; nullopt for anything else.
std::optional<double> parseClockTime(std::string_view text);

// A byte count "N" followed by b, kb, mb or gb (1024-based); nullopt when the
// text has no such suffix or is malformed.
std::optional<std::int64_t> parseByteSize(std::string_view text);

// A plain decimal number ("12", "-0.5", "1.66"), no exponent, no blanks.
std::optional<double> parseDecimal(std::string_view text);

// A decimal integer within [min, max].
std::optional<long long> parseInteger(std::string_view text, long long min, long long max);

// "a/b" (decimals allowed on both sides) or a plain decimal; b must not be 0.
std::optional<double> parseRatio(std::string_view text);

// Splits on the separator, keeping empty pieces.
std::vector<std::string> splitText(std::string_view text, char separator);

// Shortest decimal text that reads back as the same double ("0.5", "1.2", "10").
std::string formatDecimal(double value);

// Lower-case ASCII copy.
std::string toLowerAscii(std::string_view text);

// File extension of a path, lower case, without the dot ("" when none).
std::string extensionOf(std::string_view path);

} // namespace qf::encoder
