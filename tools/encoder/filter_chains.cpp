#include "filter_chains.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "value_syntax.h"

namespace qf::encoder {
namespace {

struct Layout {
    const char* name;
    int channels;
};

constexpr std::array kLayouts = {
    Layout{"mono", 1}, Layout{"stereo", 2}, Layout{"2.1", 3}, Layout{"3.0", 3}, Layout{"quad", 4},
    Layout{"4.0", 4},  Layout{"5.0", 5},    Layout{"4.1", 5}, Layout{"5.1", 6}, Layout{"6.0", 6},
    Layout{"6.1", 7},  Layout{"7.0", 7},    Layout{"7.1", 8},
};

// An aformat filter that lets through the layouts with min..max channels;
// ffmpeg converts anything else to the nearest of them.
std::string channelRange(int min, int max)
{
    std::string names;
    for (const Layout& layout : kLayouts) {
        if (layout.channels >= min && layout.channels <= max) {
            if (!names.empty())
                names += '|';
            names += layout.name;
        }
    }
    return "aformat=channel_layouts=" + names;
}

// The one layout for a count that changes the count (mono, stereo, 5.1 ...).
std::string exactLayout(int channels)
{
    for (const Layout& layout : kLayouts) {
        if (layout.channels == channels)
            return "aformat=channel_layouts=" + std::string(layout.name);
    }
    return channelRange(channels, channels);
}

std::string layoutFor(int channels)
{
    if (channels == 1)
        return "mono";
    if (channels == 2)
        return "stereo";
    return std::to_string(channels) + "c";
}

double clampTo(double v, double lo, double hi) { return std::min(hi, std::max(lo, v)); }

std::string eqFilter(const FilterSpec& spec)
{
    // MEncoder's order is gamma:contrast:brightness:saturation; ffmpeg's
    // positional order differs, so name every value. Ranges are ffmpeg's.
    static constexpr double defaults[] = {1, 1, 0, 1};
    double v[4];
    for (std::size_t i = 0; i < 4; ++i) {
        v[i] = i < spec.params.size() ? parseDecimal(spec.params[i]).value_or(defaults[i]) : defaults[i];
    }
    return "eq=gamma=" + formatDecimal(clampTo(v[0], 0.1, 10))
        + ":contrast=" + formatDecimal(clampTo(v[1], -1000, 1000))
        + ":brightness=" + formatDecimal(clampTo(v[2], -1, 1)) + ":saturation=" + formatDecimal(clampTo(v[3], 0, 3));
}

void append(std::string& graph, const std::string& filter)
{
    if (!graph.empty())
        graph += ',';
    graph += filter;
}

bool isFilmRate(const std::string& rate)
{
    auto r = parseRatio(rate);
    return r && std::fabs(*r - 24000.0 / 1001.0) < 0.001;
}

// The disc display aspect nearer the display aspect `dar`.
constexpr std::string_view kDiscAspect = "if(gte(dar,sqrt(64/27)),16/9,4/3)";

// The scaled size that keeps the picture's shape inside W x H: `dar` is the
// display aspect reaching the scaler, `pixel` the aspect of the output's
// pixels. Even sizes, so that 4:2:0 chroma covers the picture exactly.
std::string fittingScale(const std::string& w, const std::string& h, const std::string& pixel,
                         const std::string& scaler)
{
    std::string toPixels = pixel == "1" ? "" : "/(" + pixel + ")";
    std::string fromPixels = pixel == "1" ? "" : "*(" + pixel + ")";
    return "scale=w='max(2,min(" + w + ",2*round(" + h + "*dar" + toPixels + "/2)))':h='max(2,min(" + h + ",2*round("
        + w + fromPixels + "/dar/2)))':flags=" + scaler;
}

// scale=0:0 after dsize=W:H: the picture as shown (its pixel aspect made
// square, see squarePixels) fitted inside W x H with its shape, never enlarged, at even sizes.
// Without a dsize the box is unbounded: the display size itself.
std::string boxScale(const FilterSpec* box, const std::string& scaler)
{
    std::string w = box != nullptr ? box->params[0] : "8192";
    std::string h = box != nullptr ? box->params[1] : "8192";
    std::string factor = "min(1,min(" + w + "/(iw*sar)," + h + "/ih))";
    return "scale=w='max(2,2*round(iw*sar*" + factor + "/2))':h='max(2,2*round(ih*" + factor + "/2))':flags=" + scaler;
}

// PQ or HLG to SDR BT.709 (zscale and tonemap, both in Debian's ffmpeg 5.1):
// linear light, BT.709 primaries, the Hable curve, then back to BT.709.
constexpr const char* kToneMap = "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,"
                                 "tonemap=tonemap=hable:desat=0,zscale=t=bt709:m=bt709:r=tv";

} // namespace

bool scalesToDisplaySize(const FilterSpec& filter)
{
    return filter.name == "scale" && filter.params.size() == 2 && filter.params[0] == "0" && filter.params[1] == "0";
}

std::string scalerName(std::optional<int> sws)
{
    static constexpr const char* names[] = {"fast_bilinear", "bilinear", "bicubic", "experimental", "neighbor", "area",
                                            "bicublin",      "gauss",    "sinc",    "lanczos",      "spline"};
    if (!sws)
        return "bicubic";
    if (*sws < 0 || *sws > 10)
        return "bilinear";
    return names[*sws];
}

VideoChain buildVideoChain(const Command& command, const VideoChainOptions& options)
{
    VideoChain chain;
    std::string scaler = scalerName(command.sws);
    bool sarFixed = false;
    const FilterSpec* frame = nullptr; // the last scale= to a size sets the frame
    for (const FilterSpec& f : command.videoFilters) {
        if (f.name == "scale" && !scalesToDisplaySize(f))
            frame = &f;
    }
    // Deinterlacing comes before any scaling, wherever it was asked for; it
    // leaves progressive frames alone.
    for (const FilterSpec& f : command.videoFilters) {
        if (f.name == "autodeint") {
            append(chain.graph, "yadif=deint=interlaced");
            break;
        }
    }
    const FilterSpec* box = nullptr; // the display size that dsize= set
    for (const FilterSpec& f : command.videoFilters) {
        if (f.name == "dsize") {
            box = &f;
        } else if (scalesToDisplaySize(f)) {
            if (!sarFixed)
                append(chain.graph, "setsar='if(gt(sar,0),sar,1)':max=65535");
            sarFixed = true;
            append(chain.graph, boxScale(box, scaler));
        } else if (f.name == "scale") {
            // A source with unknown pixel aspect counts as square, as MEncoder
            // assumes; the scaler then keeps the display aspect through the SAR.
            if (!sarFixed)
                append(chain.graph, "setsar='if(gt(sar,0),sar,1)':max=65535");
            sarFixed = true;
            if (options.fitFrame && &f == frame) {
                const std::string& w = f.params[0];
                const std::string& h = f.params[1];
                std::string pixel = options.discAspect ? std::string(kDiscAspect) + "*" + h + "/" + w : "1";
                append(chain.graph, fittingScale(w, h, pixel, scaler));
            } else {
                append(chain.graph, "scale=" + f.params[0] + ":" + f.params[1] + ":flags=" + scaler);
            }
        } else if (f.name == "yadif") {
            append(chain.graph, f.params.empty() ? std::string("yadif") : "yadif=mode=" + f.params[0]);
        } else if (f.name == "filmdint") {
            append(chain.graph, "fieldmatch,yadif=deint=interlaced,decimate");
        } else if (f.name == "eq2") {
            append(chain.graph, eqFilter(f));
        } else if (f.name == "harddup") {
            chain.hardDup = true;
        }
    }
    if (options.evenSize && !sarFixed)
        append(chain.graph, "crop=trunc(iw/2)*2:trunc(ih/2)*2");
    if (!command.outputFps.empty())
        append(chain.graph, "fps=" + command.outputFps);
    else if (!options.cappedRate.empty())
        append(chain.graph, "fps=" + options.cappedRate);
    if (options.telecine && (command.outputFps.empty() || isFilmRate(command.outputFps))) {
        // The frames stay progressive; the pulldown is flags, set after muxing.
        if (command.outputFps.empty())
            append(chain.graph, "fps=24000/1001");
        chain.telecine = true;
    }
    // The bars go on last, so that no picture filter (eq2) tints them.
    if (options.fitFrame && frame != nullptr) {
        append(chain.graph, "pad=" + frame->params[0] + ":" + frame->params[1] + ":(ow-iw)/2:(oh-ih)/2");
    }
    if (options.squarePixels)
        append(chain.graph, "setsar=1");
    // Nearer by ratio: the boundary is the geometric mean of 4:3 and 16:9. The
    // display aspect reaching this point is the source's, as the scaler keeps
    // it in the pixel aspect (or, fitted, the disc display's own); an unknown
    // one counts as 4:3.
    if (options.discAspect)
        append(chain.graph, "setdar='" + std::string(kDiscAspect) + "'");
    if (options.toneMap)
        append(chain.graph, kToneMap);
    if (!options.pixelFormat.empty())
        append(chain.graph, "format=" + options.pixelFormat);
    return chain;
}

AudioChain buildAudioChain(const Command& command, const AudioChainOptions& options)
{
    AudioChain chain;
    int limit = options.channelLimit;
    // The channels at this point of the chain, when the source's are known.
    std::optional<int> known;
    if (options.sourceChannels && *options.sourceChannels > 0)
        known = options.sourceChannels;
    // The decoder side of -channels: never more channels than asked for.
    bool normalising = options.normalise
        && std::any_of(command.audioFilters.begin(), command.audioFilters.end(),
                       [](const FilterSpec& f) { return f.name == "volnorm"; });
    if (!known && normalising) {
        // Ahead of the normaliser ffmpeg cannot choose from a list (5.1 fails,
        // or comes out mono through the MP3 encoder): the count asked for,
        // which makes mono sound two equal channels.
        append(chain.graph, exactLayout(limit));
        known = limit;
    } else if (!known) {
        append(chain.graph, channelRange(1, limit));
    } else if (*known > limit) {
        append(chain.graph, exactLayout(limit));
        known = limit;
    }
    auto ensureChannels = [&](int needed) {
        if (needed <= 1)
            return;
        if (!known) {
            append(chain.graph, channelRange(needed, std::max(needed, limit)));
        } else if (*known < needed) {
            append(chain.graph, exactLayout(needed));
            known = needed;
        }
    };
    for (const FilterSpec& f : command.audioFilters) {
        if (f.name == "channels") {
            int outputs = static_cast<int>(*parseInteger(f.params[0], 1, 8));
            std::vector<int> from(static_cast<std::size_t>(outputs), -1);
            if (f.params.size() == 1) {
                for (int i = 0; i < outputs; ++i)
                    from[static_cast<std::size_t>(i)] = i;
            }
            for (std::size_t i = 2; i + 1 < f.params.size(); i += 2) {
                int src = static_cast<int>(*parseInteger(f.params[i], 0, 7));
                int dst = static_cast<int>(*parseInteger(f.params[i + 1], 0, 7));
                from[static_cast<std::size_t>(dst)] = src;
            }
            ensureChannels(*std::max_element(from.begin(), from.end()) + 1);
            std::string pan = "pan=" + layoutFor(outputs);
            for (int o = 0; o < outputs; ++o) {
                int src = from[static_cast<std::size_t>(o)];
                pan += "|c" + std::to_string(o) + "=" + (src < 0 ? std::string("0*c0") : "c" + std::to_string(src));
            }
            append(chain.graph, pan);
            if (known)
                known = outputs;
        } else if (f.name == "pan") {
            // MEncoder lists, for each input channel in turn, its level in every output.
            int outputs = static_cast<int>(*parseInteger(f.params[0], 1, 8));
            int inputs = static_cast<int>((f.params.size() - 1) / static_cast<std::size_t>(outputs));
            ensureChannels(inputs);
            std::string pan = "pan=" + layoutFor(outputs);
            for (int o = 0; o < outputs; ++o) {
                std::string sum;
                for (int i = 0; i < inputs; ++i) {
                    const std::string& level = f.params[1 + static_cast<std::size_t>(i * outputs + o)];
                    double value = parseDecimal(level).value_or(0);
                    if (value == 0)
                        continue;
                    if (!sum.empty())
                        sum += '+';
                    sum += formatDecimal(value) + "*c" + std::to_string(i);
                }
                pan += "|c" + std::to_string(o) + "=" + (sum.empty() ? std::string("0*c0") : sum);
            }
            append(chain.graph, pan);
            if (known)
                known = outputs;
        } else if (f.name == "volnorm") {
            // No exact equivalent exists; these settings track MEncoder's slow
            // gain toward a quarter of full scale within a few dB.
            if (options.normalise)
                append(chain.graph, "dynaudnorm=f=500:g=15:p=0.95:m=5");
            chain.normalised = chain.normalised || options.normalise;
        } else if (f.name == "lavcresample") {
            append(chain.graph, "aresample=" + f.params[0]);
            chain.resampleRate = static_cast<int>(*parseInteger(f.params[0], 8000, 192000));
        }
    }
    if (options.mixToMono) {
        ensureChannels(2);
        append(chain.graph, "pan=mono|c0=0.5*c0+0.5*c1");
    }
    if (options.volume)
        append(chain.graph, "volume=" + formatDecimal(*options.volume));
    // Timestamps from the sample count; real gaps and overlaps of the source
    // are filled or trimmed, so the sound stays in step with the picture.
    if (options.continuousTimestamps)
        append(chain.graph, "aresample=async=1");
    return chain;
}

} // namespace qf::encoder
