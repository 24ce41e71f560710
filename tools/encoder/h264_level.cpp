#include "h264_level.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qf::encoder {
namespace {

struct Level {
    int idc;
    long maxMacroblocksPerSecond;
    long maxFrameMacroblocks;
    long maxKbps; // Baseline and Main, 1000 bit/s units
    long maxDpbMacroblocks;
};

// The limits of the H.264 level table (Annex A).
constexpr std::array kLevels = {
    Level{10, 1485, 99, 64, 396},
    Level{11, 3000, 396, 192, 900},
    Level{12, 6000, 396, 384, 2376},
    Level{13, 11880, 396, 768, 2376},
    Level{20, 11880, 396, 2000, 2376},
    Level{21, 19800, 792, 4000, 4752},
    Level{22, 20250, 1620, 4000, 8100},
    Level{30, 40500, 1620, 10000, 8100},
    Level{31, 108000, 3600, 14000, 18000},
    Level{32, 216000, 5120, 20000, 20480},
    Level{40, 245760, 8192, 20000, 32768},
    Level{41, 245760, 8192, 50000, 32768},
    Level{42, 522240, 8704, 50000, 34816},
    Level{50, 589824, 22080, 135000, 110400},
    Level{51, 983040, 36864, 240000, 184320},
    Level{52, 2073600, 36864, 240000, 184320},
};

bool holds(const Level& level, const H264Demand& d)
{
    long mbWide = (d.width + 15) / 16;
    long mbHigh = (d.height + 15) / 16;
    long frame = mbWide * mbHigh;
    if (frame > 0) {
        if (frame > level.maxFrameMacroblocks)
            return false;
        // Neither side may exceed sqrt(8 x the frame limit) macroblocks.
        double side = std::sqrt(8.0 * static_cast<double>(level.maxFrameMacroblocks));
        if (static_cast<double>(mbWide) > side || static_cast<double>(mbHigh) > side)
            return false;
        if (d.fps > 0
            && static_cast<double>(frame) * d.fps > static_cast<double>(level.maxMacroblocksPerSecond) * 1.0001) {
            return false;
        }
        if (frame * std::max(1, d.dpbFrames) > level.maxDpbMacroblocks)
            return false;
    }
    double kbpsLimit = static_cast<double>(level.maxKbps) * (d.highProfile ? 1.25 : 1.0);
    return d.kbps <= kbpsLimit;
}

} // namespace

int fittingH264Level(int requested, const H264Demand& demand)
{
    for (const Level& level : kLevels) {
        if (level.idc >= requested && holds(level, demand))
            return level.idc;
    }
    return kLevels.back().idc;
}

int x264DecodedPictureFrames(int refs, int bframes)
{
    int reorder = bframes >= 2 ? 4 : (bframes == 1 ? 2 : 1);
    return std::max(refs, reorder);
}

} // namespace qf::encoder
