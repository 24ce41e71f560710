#include "command_line.h"

#include <algorithm>
#include <array>

#include "value_syntax.h"

namespace qf::encoder {
namespace {

// Option groups that a sub-option belongs to.
enum Group : unsigned {
    kLavc = 1,
    kXvid = 2,
    kX264 = 4,
    kLame = 8,
    kFaac = 16,
    kLavf = 32,
    kMpeg = 64,
    kVideo = kLavc | kXvid | kX264,
};

enum class Kind { Flag, Int, Number, Choice, Ratio, Partitions, Level, EncoderOptions };

struct SubOptionRule {
    const char* key;
    Kind kind;
    double min;
    double max;
    const char* choices; // '|'-separated, for Kind::Choice
    unsigned groups;
    bool bareMeansOne; // "turbo" alone stands for turbo=1
};

// Each codec group accepts its own MEncoder sub-options and also those that
// the conversion builder appends from another codec's defaults (the quality
// and aspect texts, a model's extra codec options, the pass texts), because
// the parameter panel lets every video codec meet every output format.
// translate() maps each to the nearest equivalent or leaves it out.
constexpr std::array kSubOptionRules = {
    SubOptionRule{"vcodec", Kind::Choice, 0, 0,
                  "mpeg4|flv|mpeg1video|mpeg2video|wmv1|wmv2|libx265|libvpx-vp9|libsvtav1|libaom-av1", kLavc, false},
    SubOptionRule{"vbitrate", Kind::Int, 4, 100000000, nullptr, kLavc, false},
    SubOptionRule{"acodec", Kind::Choice, 0, 0, "ac3|mp2|wmav1|wmav2|libopus|flac", kLavc, false},
    SubOptionRule{"abitrate", Kind::Int, 1, 10000000, nullptr, kLavc, false},
    SubOptionRule{"bitrate", Kind::Int, 4, 100000000, nullptr, kXvid | kX264, false},
    SubOptionRule{"crf", Kind::Number, 0, 51, nullptr, kXvid | kX264, false},
    // The PMP rule rewrites "bitrate=500" to "crf=22", which under lavc reads "vcrf=22".
    // Today's codecs take it as their constant-quality factor (AV1 up to 63).
    SubOptionRule{"vcrf", Kind::Number, 0, 63, nullptr, kLavc, false},
    // The encoder's own speed settings ("o=preset=fast", "o=cpu-used=4,row-mt=1").
    SubOptionRule{"o", Kind::EncoderOptions, 0, 0, nullptr, kLavc, false},
    // A source of more than 8 bits keeps 10 (HEVC Main 10).
    SubOptionRule{"highbitdepth", Kind::Flag, 0, 1, nullptr, kLavc, false},
    SubOptionRule{"preset", Kind::Choice, 0, 0, "ultrafast|superfast|veryfast|faster|fast|medium|slow|slower|veryslow",
                  kX264, false},
    SubOptionRule{"profile", Kind::Choice, 0, 0, "baseline|main|high", kX264, false},
    SubOptionRule{"pass", Kind::Int, 1, 2, nullptr, kXvid | kX264, false},
    SubOptionRule{"vpass", Kind::Int, 1, 2, nullptr, kVideo, false},
    SubOptionRule{"aspect", Kind::Ratio, 0.1, 10, nullptr, kLavc | kXvid, false},
    SubOptionRule{"sar", Kind::Ratio, 0.1, 10, nullptr, kX264, false},
    SubOptionRule{"keyint", Kind::Int, 0, 100000, nullptr, kVideo, false},
    SubOptionRule{"mbd", Kind::Int, 0, 2, nullptr, kVideo, false},
    SubOptionRule{"mv0", Kind::Flag, 0, 1, nullptr, kVideo, false},
    SubOptionRule{"trell", Kind::Flag, 0, 1, nullptr, kVideo, false},
    SubOptionRule{"turbo", Kind::Int, 0, 2, nullptr, kVideo, true},
    SubOptionRule{"vrc_buf_size", Kind::Int, 1, 1000000, nullptr, kVideo, false},
    SubOptionRule{"vrc_minrate", Kind::Int, 0, 1000000, nullptr, kVideo, false},
    SubOptionRule{"vrc_maxrate", Kind::Int, 0, 1000000, nullptr, kVideo, false},
    SubOptionRule{"vglobal", Kind::Int, 0, 2, nullptr, kVideo, false},
    SubOptionRule{"aglobal", Kind::Int, 0, 2, nullptr, kVideo, false},
    SubOptionRule{"max_bframes", Kind::Int, 0, 16, nullptr, kVideo, false},
    SubOptionRule{"bframes", Kind::Int, 0, 16, nullptr, kVideo, false},
    SubOptionRule{"level_idc", Kind::Level, 9, 62, nullptr, kVideo, false},
    SubOptionRule{"nocabac", Kind::Flag, 0, 1, nullptr, kVideo, false},
    SubOptionRule{"cabac", Kind::Flag, 0, 1, nullptr, kVideo, false},
    SubOptionRule{"8x8dct", Kind::Flag, 0, 1, nullptr, kX264, false},
    SubOptionRule{"global_header", Kind::Flag, 0, 1, nullptr, kVideo, false},
    SubOptionRule{"partitions", Kind::Partitions, 0, 0, nullptr, kVideo, false},
    SubOptionRule{"pictiming", Kind::Flag, 0, 1, nullptr, kVideo, false},
    SubOptionRule{"nopsnr", Kind::Flag, 0, 1, nullptr, kVideo, false},
    SubOptionRule{"nossim", Kind::Flag, 0, 1, nullptr, kVideo, false},
    SubOptionRule{"frameref", Kind::Int, 1, 16, nullptr, kVideo, false},
    SubOptionRule{"abr", Kind::Flag, 0, 1, nullptr, kLame, false},
    SubOptionRule{"cbr", Kind::Flag, 0, 1, nullptr, kLame, false},
    SubOptionRule{"vbr", Kind::Int, 0, 4, nullptr, kLame, false},
    SubOptionRule{"br", Kind::Int, 8, 320, nullptr, kLame, false},
    SubOptionRule{"q", Kind::Int, 0, 9, nullptr, kLame, false},
    SubOptionRule{"aq", Kind::Int, 0, 9, nullptr, kLame, false},
    SubOptionRule{"mode", Kind::Int, 0, 4, nullptr, kLame, false},
    SubOptionRule{"vol", Kind::Number, 0, 10, nullptr, kLame, false},
    SubOptionRule{"br", Kind::Int, 0, 576, nullptr, kFaac, false},
    SubOptionRule{"mpeg", Kind::Choice, 0, 0, "2|4", kFaac, false},
    SubOptionRule{"object", Kind::Int, 1, 4, nullptr, kFaac, false},
    SubOptionRule{"raw", Kind::Flag, 0, 1, nullptr, kFaac, false},
    SubOptionRule{"format", Kind::Choice, 0, 0, "mp4|flv|wmv|asf|3gp|mov|avi|ipod|matroska|webm", kLavf, false},
    SubOptionRule{"faststart", Kind::Flag, 0, 1, nullptr, kLavf, false},
    SubOptionRule{"format", Kind::Choice, 0, 0, "mpeg1|mpeg2|xvcd|xsvcd|dvd|vcd|svcd", kMpeg, false},
    SubOptionRule{"tsaf", Kind::Flag, 0, 1, nullptr, kMpeg, false},
    SubOptionRule{"telecine", Kind::Flag, 0, 1, nullptr, kMpeg, false},
};

struct OptionRule {
    const char* name;
    bool takesValue;
};

constexpr std::array kOptionRules = {
    OptionRule{"o", true},           OptionRule{"ss", true},       OptionRule{"endpos", true},
    OptionRule{"of", true},          OptionRule{"lavfopts", true}, OptionRule{"mpegopts", true},
    OptionRule{"sws", true},         OptionRule{"vf-add", true},   OptionRule{"vf", true},
    OptionRule{"af", true},          OptionRule{"af-add", true},   OptionRule{"srate", true},
    OptionRule{"channels", true},    OptionRule{"aid", true},      OptionRule{"ofps", true},
    OptionRule{"ffourcc", true},     OptionRule{"nosound", false}, OptionRule{"ovc", true},
    OptionRule{"oac", true},         OptionRule{"lavcopts", true}, OptionRule{"xvidencopts", true},
    OptionRule{"x264encopts", true}, OptionRule{"lameopts", true}, OptionRule{"faacopts", true},
};

const OptionRule* findOption(std::string_view arg)
{
    if (arg.size() < 2 || arg[0] != '-')
        return nullptr;
    std::string_view name = arg.substr(1);
    for (const OptionRule& rule : kOptionRules) {
        if (name == rule.name)
            return &rule;
    }
    return nullptr;
}

bool inChoices(std::string_view value, const char* choices)
{
    for (const std::string& choice : splitText(choices, '|')) {
        if (value == choice)
            return true;
    }
    return false;
}

// The encoder settings "o=" may pass: speed and threading only, each value a
// plain word or number, so that no preset can reach a file or another program.
bool validEncoderOptions(std::string_view value)
{
    static constexpr const char* kKeys = "preset|deadline|cpu-used|row-mt|tile-columns|tune";
    for (const std::string& item : splitText(value, ',')) {
        std::size_t eq = item.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == item.size() || !inChoices(item.substr(0, eq), kKeys))
            return false;
        for (std::size_t i = eq + 1; i < item.size(); ++i) {
            char c = item[i];
            bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
            if (!plain)
                return false;
        }
    }
    return true;
}

bool validPartitions(std::string_view value)
{
    if (value == "all" || value == "none")
        return true;
    for (const std::string& part : splitText(value, ',')) {
        if (!inChoices(part, "p8x8|p4x4|b8x8|i8x8|i4x4"))
            return false;
    }
    return true;
}

// Checks one value against its rule; returns the value to store, or nullopt.
std::optional<std::string> checkValue(const SubOptionRule& rule, const std::optional<std::string>& value)
{
    if (!value) {
        if (rule.kind == Kind::Flag || rule.bareMeansOne)
            return std::string("1");
        return std::nullopt;
    }
    const std::string& v = *value;
    switch (rule.kind) {
    case Kind::Flag:
        if (v == "0" || v == "1")
            return v;
        if (v == "yes")
            return std::string("1");
        if (v == "no")
            return std::string("0");
        return std::nullopt;
    case Kind::Int:
        if (parseInteger(v, static_cast<long long>(rule.min), static_cast<long long>(rule.max)))
            return v;
        return std::nullopt;
    case Kind::Number: {
        auto n = parseDecimal(v);
        if (n && *n >= rule.min && *n <= rule.max)
            return v;
        return std::nullopt;
    }
    case Kind::Ratio: {
        auto r = parseRatio(v);
        if (r && *r >= rule.min && *r <= rule.max)
            return v;
        return std::nullopt;
    }
    case Kind::Choice:
        if (inChoices(v, rule.choices))
            return v;
        return std::nullopt;
    case Kind::Partitions:
        if (validPartitions(v))
            return v;
        return std::nullopt;
    case Kind::EncoderOptions:
        if (validEncoderOptions(v))
            return v;
        return std::nullopt;
    case Kind::Level: {
        // x264 takes 12 or 1.2 alike.
        if (auto n = parseInteger(v, 9, 62))
            return v;
        auto d = parseDecimal(v);
        if (d && *d >= 0.9 && *d <= 6.2)
            return v;
        return std::nullopt;
    }
    }
    return std::nullopt;
}

// Parses "k=v:k2:k3=v3" into target, validating against the group's rules.
bool parseSubOptions(std::string_view text, unsigned group, const char* groupName, SubOptions& target,
                     std::string& error)
{
    for (const std::string& item : splitText(text, ':')) {
        std::size_t eq = item.find('=');
        std::string key = item.substr(0, eq);
        std::optional<std::string> value;
        if (eq != std::string::npos)
            value = item.substr(eq + 1);
        if (key.empty()) {
            error = std::string("Option ") + groupName + ": empty suboption in '" + std::string(text) + "'";
            return false;
        }
        const SubOptionRule* rule = nullptr;
        for (const SubOptionRule& candidate : kSubOptionRules) {
            if ((candidate.groups & group) != 0 && key == candidate.key) {
                rule = &candidate;
                break;
            }
        }
        if (rule == nullptr) {
            error = std::string("Option ") + groupName + ": Unknown suboption " + key;
            return false;
        }
        std::optional<std::string> stored = checkValue(*rule, value);
        if (!stored) {
            error = std::string("Option ") + groupName + ": bad value for " + key + ": " + value.value_or("(none)");
            return false;
        }
        target.set(key, *stored);
    }
    return true;
}

struct FilterRule {
    const char* name;
    std::size_t minParams;
    std::size_t maxParams;
};

// dsize=W:H:0:2 names the largest display size (the shape kept, even
// sizes) that a following scale=0:0 scales to; autodeint deinterlaces the
// frames the source marks interlaced; fpscap=N keeps the source's frame
// rate up to N, constant.
constexpr std::array kVideoFilterRules = {
    FilterRule{"scale", 2, 2},   FilterRule{"yadif", 0, 1}, FilterRule{"filmdint", 0, 0},  FilterRule{"eq2", 1, 4},
    FilterRule{"harddup", 0, 0}, FilterRule{"dsize", 2, 4}, FilterRule{"autodeint", 0, 0}, FilterRule{"fpscap", 1, 1},
};

constexpr std::array kAudioFilterRules = {
    FilterRule{"channels", 1, 18},
    FilterRule{"pan", 2, 65},
    FilterRule{"volnorm", 0, 2},
    FilterRule{"lavcresample", 1, 3},
};

bool validVideoFilterParams(const FilterSpec& f)
{
    if (f.name == "scale") {
        // 0:0 is the display size that dsize set.
        if (f.params[0] == "0" && f.params[1] == "0")
            return true;
        return parseInteger(f.params[0], 1, 8192) && parseInteger(f.params[1], 1, 8192);
    }
    if (f.name == "dsize") {
        // Only the form the builder writes: a box, kept shape (method 0), even sizes.
        bool box = parseInteger(f.params[0], 2, 8192) && parseInteger(f.params[1], 2, 8192);
        bool method = f.params.size() < 3 || f.params[2] == "0";
        bool round = f.params.size() < 4 || parseInteger(f.params[3], 1, 2);
        return box && method && round;
    }
    if (f.name == "fpscap")
        return parseRatio(f.params[0]).has_value() && *parseRatio(f.params[0]) >= 1 && *parseRatio(f.params[0]) <= 240;
    if (f.name == "yadif")
        return f.params.empty() || parseInteger(f.params[0], 0, 3);
    if (f.name == "eq2") {
        return std::all_of(f.params.begin(), f.params.end(), [](const std::string& p) { return parseDecimal(p); });
    }
    return true;
}

bool validAudioFilterParams(const FilterSpec& f)
{
    if (f.name == "channels") {
        auto count = parseInteger(f.params[0], 1, 8);
        if (!count)
            return false;
        if (f.params.size() == 1)
            return true;
        auto routes = parseInteger(f.params[1], 0, 8);
        if (!routes || f.params.size() != 2 + 2 * static_cast<std::size_t>(*routes))
            return false;
        for (std::size_t i = 2; i < f.params.size(); i += 2) {
            if (!parseInteger(f.params[i], 0, 7) || !parseInteger(f.params[i + 1], 0, *count - 1))
                return false;
        }
        return true;
    }
    if (f.name == "pan") {
        auto outputs = parseInteger(f.params[0], 1, 8);
        std::size_t levels = f.params.size() - 1;
        if (!outputs || levels % static_cast<std::size_t>(*outputs) != 0 || levels / *outputs > 8)
            return false;
        return std::all_of(f.params.begin() + 1, f.params.end(), [](const std::string& p) {
            auto v = parseDecimal(p);
            return v && *v >= -512 && *v <= 512;
        });
    }
    if (f.name == "volnorm") {
        if (!f.params.empty() && !parseInteger(f.params[0], 1, 2))
            return false;
        if (f.params.size() == 2) {
            auto target = parseDecimal(f.params[1]);
            return target && *target > 0 && *target <= 1;
        }
        return true;
    }
    if (f.name == "lavcresample") {
        if (!parseInteger(f.params[0], 8000, 192000))
            return false;
        for (std::size_t i = 1; i < f.params.size(); ++i) {
            if (!parseInteger(f.params[i], 0, 1000))
                return false;
        }
        return true;
    }
    return true;
}

template <typename Rules>
bool parseFilterList(std::string_view text, const Rules& rules, bool video, const char* optionName,
                     std::vector<FilterSpec>& out, std::string& error)
{
    if (text.empty())
        return true; // an option given with no filters
    for (const std::string& item : splitText(text, ',')) {
        std::size_t eq = item.find('=');
        FilterSpec spec;
        spec.name = item.substr(0, eq);
        if (eq != std::string::npos)
            spec.params = splitText(std::string_view(item).substr(eq + 1), ':');
        const FilterRule* rule = nullptr;
        for (const FilterRule& candidate : rules) {
            if (spec.name == candidate.name)
                rule = &candidate;
        }
        if (rule == nullptr) {
            error = std::string("Option ") + optionName + ": Couldn't find " + (video ? "video" : "audio") + " filter '"
                + spec.name + "'";
            return false;
        }
        bool countOk = spec.params.size() >= rule->minParams && spec.params.size() <= rule->maxParams;
        bool valuesOk = countOk && (video ? validVideoFilterParams(spec) : validAudioFilterParams(spec));
        if (!valuesOk) {
            error = std::string("Option ") + optionName + ": bad parameters for filter '" + item + "'";
            return false;
        }
        out.push_back(std::move(spec));
    }
    return true;
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    ParseResult run()
    {
        ParseResult result;
        for (index_ = 0; index_ < args_.size(); ++index_) {
            const std::string& arg = args_[index_];
            if (arg.size() > 1 && arg[0] == '-') {
                if (!option(arg))
                    return fail();
            } else if (!source(arg)) {
                return fail();
            }
        }
        if (command_.source.empty()) {
            error_ = "No file given";
            return fail();
        }
        if (command_.output.empty()) {
            error_ = "No output file given (-o)";
            return fail();
        }
        result.ok = true;
        result.command = std::move(command_);
        return result;
    }

private:
    ParseResult fail()
    {
        ParseResult result;
        result.error = error_;
        return result;
    }

    bool source(const std::string& arg)
    {
        if (arg.empty() || arg == "-") {
            error_ = "Invalid file name '" + arg + "'";
            return false;
        }
        if (!command_.source.empty()) {
            error_ = "Only one source file is accepted ('" + command_.source + "', '" + arg + "')";
            return false;
        }
        command_.source = arg;
        return true;
    }

    bool badValue(const std::string& name, const std::string& value)
    {
        error_ = "Option -" + name + ": invalid value '" + value + "'";
        return false;
    }

    bool option(const std::string& arg)
    {
        const OptionRule* rule = findOption(arg);
        if (rule == nullptr) {
            error_ = arg + " is not an MEncoder option";
            return false;
        }
        std::string name = rule->name;
        if (!rule->takesValue) {
            command_.noSound = true; // the only flag option
            return true;
        }
        std::string value;
        bool filterList = name == "vf-add" || name == "vf" || name == "af" || name == "af-add";
        bool haveNext = index_ + 1 < args_.size();
        // A filter option directly followed by another option carries no
        // filters: the builder writes " -vf-add " even when no filter is chosen.
        if (filterList && (!haveNext || isKnownOption(args_[index_ + 1]))) {
            return true;
        }
        if (!haveNext) {
            error_ = "Option -" + name + ": needs a parameter";
            return false;
        }
        value = args_[++index_];
        return optionValue(name, value);
    }

    bool optionValue(const std::string& name, const std::string& value)
    {
        if (name == "o") {
            if (value.empty())
                return badValue(name, value);
            command_.output = value;
        } else if (name == "ss") {
            auto t = parseClockTime(value);
            if (!t)
                return badValue(name, value);
            command_.startSeconds = *t;
        } else if (name == "endpos") {
            if (auto t = parseClockTime(value)) {
                command_.lengthSeconds = *t;
                command_.sizeLimitBytes.reset();
            } else if (auto bytes = parseByteSize(value)) {
                command_.sizeLimitBytes = *bytes;
                command_.lengthSeconds.reset();
            } else {
                return badValue(name, value);
            }
        } else if (name == "of") {
            static constexpr std::pair<const char*, ContainerKind> kinds[] = {
                {"avi", ContainerKind::Avi},           {"lavf", ContainerKind::Lavf},
                {"mpeg", ContainerKind::Mpeg},         {"rawvideo", ContainerKind::RawVideo},
                {"rawaudio", ContainerKind::RawAudio},
            };
            for (const auto& [text, kind] : kinds) {
                if (value == text) {
                    command_.container = kind; // the last -of wins
                    return true;
                }
            }
            return badValue(name, value);
        } else if (name == "lavfopts" || name == "mpegopts") {
            SubOptions opts;
            bool lavf = name == "lavfopts";
            if (!parseSubOptions(value, lavf ? kLavf : kMpeg, name.c_str(), opts, error_))
                return false;
            if (const std::string* format = opts.get("format"))
                (lavf ? command_.lavfFormat : command_.mpegFormat) = *format;
            if (!lavf && opts.has("telecine"))
                command_.mpegTelecine = opts.flag("telecine");
            if (lavf && opts.has("faststart"))
                command_.faststart = opts.flag("faststart");
        } else if (name == "sws") {
            auto n = parseInteger(value, -1000, 1000);
            if (!n)
                return badValue(name, value);
            command_.sws = static_cast<int>(*n);
        } else if (name == "vf-add" || name == "vf") {
            if (name == "vf")
                command_.videoFilters.clear();
            return parseFilterList(value, kVideoFilterRules, true, name.c_str(), command_.videoFilters, error_);
        } else if (name == "af" || name == "af-add") {
            if (name == "af")
                command_.audioFilters.clear();
            return parseFilterList(value, kAudioFilterRules, false, name.c_str(), command_.audioFilters, error_);
        } else if (name == "srate") {
            auto n = parseInteger(value, 1000, 192000);
            if (!n)
                return badValue(name, value);
            command_.sampleRate = static_cast<int>(*n);
        } else if (name == "channels") {
            auto n = parseInteger(value, 1, 8);
            if (!n)
                return badValue(name, value);
            command_.channels = static_cast<int>(*n);
        } else if (name == "aid") {
            auto n = parseInteger(value, 0, 8190);
            if (!n)
                return badValue(name, value);
            command_.audioId = static_cast<int>(*n);
        } else if (name == "ofps") {
            auto r = parseRatio(value);
            if (!r || *r < 0.1 || *r > 1000)
                return badValue(name, value);
            command_.outputFps = value;
        } else if (name == "ffourcc") {
            bool printable = std::all_of(value.begin(), value.end(), [](char c) { return c > ' ' && c < 127; });
            if (value.empty() || value.size() > 4 || !printable)
                return badValue(name, value);
            command_.fourcc = value;
        } else if (name == "ovc") {
            static constexpr std::pair<const char*, VideoMode> modes[] = {
                {"lavc", VideoMode::Lavc}, {"xvid", VideoMode::Xvid},       {"x264", VideoMode::X264},
                {"copy", VideoMode::Copy}, {"frameno", VideoMode::Frameno},
            };
            for (const auto& [text, mode] : modes) {
                if (value == text) {
                    command_.video = mode;
                    return true;
                }
            }
            return badValue(name, value);
        } else if (name == "oac") {
            static constexpr std::pair<const char*, AudioMode> modes[] = {
                {"mp3lame", AudioMode::Lame},
                {"faac", AudioMode::Faac},
                {"lavc", AudioMode::Lavc},
                {"copy", AudioMode::Copy},
            };
            for (const auto& [text, mode] : modes) {
                if (value == text) {
                    command_.audio = mode;
                    return true;
                }
            }
            return badValue(name, value);
        } else if (name == "lavcopts") {
            return parseSubOptions(value, kLavc, "lavcopts", command_.lavc, error_);
        } else if (name == "xvidencopts") {
            return parseSubOptions(value, kXvid, "xvidencopts", command_.xvid, error_);
        } else if (name == "x264encopts") {
            return parseSubOptions(value, kX264, "x264encopts", command_.x264, error_);
        } else if (name == "lameopts") {
            return parseSubOptions(value, kLame, "lameopts", command_.lame, error_);
        } else if (name == "faacopts") {
            return parseSubOptions(value, kFaac, "faacopts", command_.faac, error_);
        }
        return true;
    }

    const std::vector<std::string>& args_;
    std::size_t index_ = 0;
    Command command_;
    std::string error_;
};

} // namespace

void SubOptions::set(const std::string& key, const std::string& value)
{
    for (auto& item : items_) {
        if (item.first == key) {
            item.second = value;
            return;
        }
    }
    items_.emplace_back(key, value);
}

const std::string* SubOptions::get(std::string_view key) const
{
    for (const auto& item : items_) {
        if (item.first == key)
            return &item.second;
    }
    return nullptr;
}

double SubOptions::number(std::string_view key, double fallback) const
{
    const std::string* value = get(key);
    if (value == nullptr)
        return fallback;
    return parseRatio(*value).value_or(fallback);
}

bool SubOptions::flag(std::string_view key) const
{
    const std::string* value = get(key);
    return value != nullptr && *value != "0";
}

bool isKnownOption(std::string_view arg) { return findOption(arg) != nullptr; }

ParseResult parseCommandLine(const std::vector<std::string>& args) { return Parser(args).run(); }

} // namespace qf::encoder
