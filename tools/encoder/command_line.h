#pragma once
// The encoder's command line: the MEncoder-syntax subset that the conversion
// builder and the stream extraction emit, parsed into a Command. Parsing is
// pure and validates every option, sub-option and value; anything outside
// the subset is refused with the reason MEncoder would give.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qf::encoder {

enum class VideoMode { Unset, Lavc, Xvid, X264, Copy, Frameno };
enum class AudioMode { Unset, Lame, Faac, Lavc, Copy };
enum class ContainerKind { Avi, Lavf, Mpeg, RawVideo, RawAudio };

// The sub-options of one option group. A group given twice merges: every key
// is kept once, and a key given again takes the later value.
class SubOptions {
public:
    void set(const std::string& key, const std::string& value);
    bool has(std::string_view key) const { return get(key) != nullptr; }
    const std::string* get(std::string_view key) const;
    // The value as a number; fallback when the key is absent. Values were
    // validated by the parser, so a present key always converts.
    double number(std::string_view key, double fallback) const;
    bool flag(std::string_view key) const; // present and not "0"
    const std::vector<std::pair<std::string, std::string>>& items() const { return items_; }

private:
    std::vector<std::pair<std::string, std::string>> items_;
};

// One filter of a -vf-add / -af list: "name=p1:p2".
struct FilterSpec {
    std::string name;
    std::vector<std::string> params;
};

struct Command {
    std::string source;
    std::string output;
    std::optional<double> startSeconds; // -ss
    std::optional<double> lengthSeconds; // -endpos as a time: counted from -ss
    std::optional<std::int64_t> sizeLimitBytes; // -endpos as a size
    ContainerKind container = ContainerKind::Avi;
    std::string lavfFormat; // -lavfopts format=
    std::string mpegFormat; // -mpegopts format= ("" = MPEG-2 program stream)
    bool mpegTelecine = false;
    bool faststart = false; // -lavfopts faststart: the MP4 index ahead of the media
    std::optional<int> sws;
    std::vector<FilterSpec> videoFilters;
    std::vector<FilterSpec> audioFilters;
    std::optional<int> sampleRate; // -srate
    std::optional<int> channels; // -channels
    std::optional<int> audioId; // -aid
    std::string outputFps; // -ofps as given
    std::string fourcc; // -ffourcc
    bool noSound = false;
    VideoMode video = VideoMode::Unset;
    AudioMode audio = AudioMode::Unset;
    SubOptions lavc, xvid, x264, lame, faac;
};

struct ParseResult {
    bool ok = false;
    std::string error; // MEncoder-style reason, e.g. "Option lavcopts: Unknown suboption foo"
    Command command;
};

ParseResult parseCommandLine(const std::vector<std::string>& args);

// True when the text is one of the options this encoder knows ("-ovc").
bool isKnownOption(std::string_view arg);

} // namespace qf::encoder
