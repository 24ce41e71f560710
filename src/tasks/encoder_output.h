#pragma once
// Pure parsers of the lines the encoder and the frame-rate probe print.
// Bytes in, facts out; no state, no allocation. Markers are matched anywhere
// in the line, case-sensitively.

#include <cstdint>
#include <optional>
#include <string_view>

namespace qf::tasks {

enum class EncoderLine {
    Other, // ignored
    Progress, // holds "Pos:"
    Failed, // holds "Exiting..." (and not the bad-options marker)
    BadParameters, // holds "Exiting..." and "error parsing command line"
};

// "Pos:" wins over "Exiting..." when a line holds both.
EncoderLine classifyEncoderLine(std::string_view line);

// The line without its trailing carriage returns and line feeds.
std::string_view trimLineEnd(std::string_view line);

// The reason an "Exiting..." line gives: what stands in the parentheses
// after the marker ("Exiting... (File not found)" gives "File not found"),
// or the whole line when it gives none.
std::string_view exitReason(std::string_view line);

// The text between the first "(" and the first ")" after it, leading blanks
// removed ("( 7%)" gives "7%"); nothing when either is missing.
std::optional<std::string_view> progressText(std::string_view line);

// The rate on a line holding "Video frame rate:": the marker is cut out where
// it stands, leading blanks of the rest are skipped and the decimal integer
// at its start is read (29.970 gives 29; no digits give 0). Nothing when the
// line does not hold the marker.
std::optional<int32_t> frameRateFromLine(std::string_view line);

// The position in seconds on a "Pos:" line ("Pos:   3.2s    80f" gives
// 3.2), of its last status when it holds several; nothing when the line has
// no number after that marker.
std::optional<double> positionFromLine(std::string_view line);

// Seconds of a probed duration text "HH:MM:SS.mmm" (also "HH:MM:SS" or
// "MM:SS.mmm"); nothing for an empty or malformed text.
std::optional<double> durationSeconds(std::string_view text);

// The decimal integer at the start of a text ("25.000 fps" gives 25), after
// leading blanks; 0 when there is none.
int32_t leadingInteger(std::string_view text);

} // namespace qf::tasks
