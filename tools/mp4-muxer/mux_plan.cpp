#include "mux_plan.h"

#include "common/adts_reader.h"
#include "common/byte_order.h"
#include "common/tool_main.h"

#include <charconv>
#include <cmath>
#include <numeric>

namespace qf::kit {

namespace {

constexpr const char* kUsage = "mp4-muxer [-force3GPCompliance] -c INPUT [-rate=FPS] OUTPUT.mp4";

} // namespace

MuxerArguments parseMuxerArguments(const std::vector<std::string>& args)
{
    MuxerArguments parsed;
    std::vector<std::string> plain;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view a = args[i];
        if (a.size() < 2 || a[0] != '-') {
            plain.emplace_back(a);
            continue;
        }
        a.remove_prefix(a.substr(0, 2) == "--" ? 2 : 1);
        std::string name(a.substr(0, a.find('=')));
        std::optional<std::string> value;
        if (a.find('=') != std::string_view::npos)
            value = std::string(a.substr(a.find('=') + 1));
        auto takeValue = [&]() -> std::string {
            if (value)
                return *value;
            if (i + 1 >= args.size())
                throw UsageError{kUsage};
            return args[++i];
        };
        if (name == "force3GPCompliance" && !value) {
            parsed.force3gp = true;
        } else if (name == "c" || name == "create") {
            parsed.inputPath = takeValue();
        } else if (name == "rate" || name == "r") {
            std::string text = takeValue();
            double r = 0;
            auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), r);
            if (ec != std::errc() || ptr != text.data() + text.size() || !(r >= 0) || r > 1000)
                throw UsageError{kUsage};
            parsed.rate = r;
        } else {
            throw UsageError{kUsage};
        }
    }
    if (plain.size() != 1 || parsed.inputPath.empty() || plain[0].empty())
        throw UsageError{kUsage};
    parsed.outputPath = plain[0];
    return parsed;
}

StreamKind sniffStreamKind(std::string_view bytes)
{
    const uint8_t* p = bytesOf(bytes);
    if (hasAdtsSync(bytes))
        return StreamKind::AdtsAac;
    if (bytes.size() >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 1) {
        uint8_t code = p[3];
        if (code <= 0x2f || code == 0xb0 || code == 0xb2 || code == 0xb3 || code == 0xb5 || code == 0xb6)
            return StreamKind::Mpeg4Video;
    }
    return StreamKind::Unknown;
}

Fraction snapRate(double fps)
{
    if (!(fps > 0))
        return {0, 1};
    double whole = std::round(fps);
    if (std::fabs(fps - whole) < 1e-6)
        return {static_cast<int64_t>(whole), 1};
    // The NTSC family: n * 1000/1001, written rounded as 23.976, 29.97, 59.94.
    double ntsc = std::round(fps * 1.001);
    if (std::fabs(fps - ntsc / 1.001) < 0.006)
        return {static_cast<int64_t>(ntsc) * 1000, 1001};
    Fraction f{static_cast<int64_t>(std::llround(fps * 1000)), 1000};
    int64_t g = std::gcd(f.num, f.den);
    return {f.num / g, f.den / g};
}

Fraction parseFraction(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.remove_suffix(1);
    Fraction f;
    size_t slash = text.find('/');
    std::string_view n = text.substr(0, slash);
    auto [p1, e1] = std::from_chars(n.data(), n.data() + n.size(), f.num);
    if (e1 != std::errc() || p1 != n.data() + n.size())
        return {0, 1};
    if (slash != std::string_view::npos) {
        std::string_view d = text.substr(slash + 1);
        auto [p2, e2] = std::from_chars(d.data(), d.data() + d.size(), f.den);
        if (e2 != std::errc() || p2 != d.data() + d.size())
            return {0, 1};
    }
    if (f.num <= 0 || f.den <= 0)
        return {0, 1};
    return f;
}

Fraction playbackRate(Fraction own, std::optional<double> wantedFps)
{
    Fraction wanted = snapRate(wantedFps.value_or(0));
    bool truncatedOwn = wanted.den == 1 && own.num > 0 && own.num / own.den == wanted.num;
    if (wanted.num > 0 && own.num > 0 && !truncatedOwn)
        return wanted;
    return own;
}

std::vector<std::string> ffmpegArguments(const MuxJob& job)
{
    std::vector<std::string> a{"ffmpeg", "-nostdin", "-hide_banner", "-v", "error", "-y"};
    if (job.addToExisting) {
        a.insert(a.end(), {"-i", job.args.outputPath});
    }
    bool video = job.kind == StreamKind::Mpeg4Video;
    a.insert(a.end(), {"-f", video ? "m4v" : "aac", "-i", job.args.inputPath});
    if (job.addToExisting)
        a.insert(a.end(), {"-map", "0"});
    std::string input = job.addToExisting ? "1" : "0";
    a.insert(a.end(), {"-map", input + (video ? ":v:0" : ":a:0"), "-c", "copy"});

    // The new track's index among the output streams.
    std::string bsf = "-bsf:" + std::to_string(job.addToExisting ? job.existingStreams : 0);
    if (video) {
        Fraction own = job.sourceRate;
        Fraction rate = playbackRate(own, job.args.rate);
        // The raw stream's timing comes from its VOL; a copy keeps it, so the
        // timestamps are scaled by own/wanted to play at the wanted rate.
        if (own.num > 0 && rate.num * own.den != own.num * rate.den) {
            std::string factor = "*" + std::to_string(own.num * rate.den) + "/" + std::to_string(own.den * rate.num);
            a.insert(a.end(), {bsf, "setts=ts=TS" + factor + ":duration=DURATION" + factor});
        }
        a.insert(a.end(), {"-video_track_timescale", "90000"});
    } else {
        a.insert(a.end(), {bsf, "aac_adtstoasc"});
    }
    if (job.args.force3gp)
        a.insert(a.end(), {"-f", "3gp", "-brand", "3gp5"});
    else
        a.insert(a.end(), {"-f", "mp4"});
    a.push_back(job.temporaryPath);
    return a;
}

} // namespace qf::kit
