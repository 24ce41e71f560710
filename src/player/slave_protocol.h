#pragma once
// The text of the player's slave mode: the command line that starts it, the
// lines that tell it has come up, and its answers to the two queries. Pure
// functions, no I/O; any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace qf::player {

// Answer tags, equals sign included. The number follows the tag.
inline constexpr std::string_view kLengthAnswerTag = "ANS_LENGTH=";
inline constexpr std::string_view kPositionAnswerTag = "ANS_TIME_POSITION=";
// What the player says instead of an answer it cannot give.
inline constexpr std::string_view kErrorAnswerTag = "ANS_ERROR=";

// Output drivers used unless QUILLFER_PLAYER_DRIVERS says otherwise: the X11
// video outputs that embed into a foreign window (xv scales in hardware where
// the X server has it; x11 scales in software, see -zoom), then the sound
// output. The trailing commas let the player fall back to its other drivers.
inline constexpr std::string_view kVideoDrivers = "-vo xv,x11,";
inline constexpr std::string_view kDefaultPlayerDrivers = "-vo xv,x11, -ao pulse,alsa,jack,oss,null";
inline constexpr const char* kPlayerDriversVariable = "QUILLFER_PLAYER_DRIVERS";

// The drivers from the environment variable when it is set and not blank,
// else the defaults. Read at every launch, on the calling thread.
std::string playerDrivers();
// The same, with this sound output (an -ao argument) in the defaults.
std::string playerDrivers(std::string_view soundOutput);
// The environment variable chooses the drivers (set and not blank).
bool playerDriversFromEnvironment();

// The video output the player opened, from one line of its output ("VO: [x11]
// 1280x720 => ..." gives "x11"); empty for any other line.
std::string videoOutputOfLine(std::string_view line);
// The size the player shows the picture at, pixel aspect applied, from the
// same line ("VO: [x11] 160x120 => 214x120 ..." gives 214 x 120); false for
// any other line.
bool displaySizeOfLine(std::string_view line, int32_t& width, int32_t& height);
// Whether this video output applies brightness, contrast, hue and saturation
// (x11 draws the picture as it is; an unknown output is given the benefit).
bool videoOutputHasPictureControls(std::string_view videoOutput);

// The length the player announces at start-up (-identify's "ID_LENGTH=12.34"),
// whole seconds; 0 for any other line.
int32_t identifiedLength(std::string_view line);

// One command line: the quoted player path, " -wid <id>" unless the window id
// is 0 (no window: the player opens none when the drivers are null), the
// slave-mode options (with -zoom: an output that cannot scale in hardware
// scales in software to the window's size, also when the window is resized),
// the drivers and the media path as one argument that
// the command-line splitter gives back byte for byte.
std::string buildPlayerCommandLine(std::string_view quotedPlayerPath, uint32_t windowId, std::string_view drivers,
                                   std::string_view mediaPath, std::string_view videoFilters = {});

// The video filter that turns a picture stored turned by this many degrees
// clockwise upright (MediaInfo's "Rotation"); empty for 0 and anything else.
std::string_view rotationFilter(int32_t degrees);

// The player has come up: the line begins with "VO: [" (the video output is
// open) or "Starting" (playback begins), in any case.
bool isStartLine(std::string_view line);

// The line is the answer to a query with this tag, or the player's refusal.
bool isAnswerLine(std::string_view line, std::string_view tag);

// Whole seconds from an answer line: the decimal digits that follow the tag
// (the fraction is dropped). 0 for a refusal, a line no longer than the tag,
// or no digits; saturates at INT32_MAX.
int32_t parseAnswerSeconds(std::string_view line, std::string_view tag);

// The same answer in milliseconds, the first three fraction digits kept
// ("12.34" gives 12340); saturates at INT32_MAX seconds.
int64_t parseAnswerMilliseconds(std::string_view line, std::string_view tag);

} // namespace qf::player
