// The video fragments of the encoder command line: filter chain, output frame
// rate and codec options. Texts are exact; each option starts with a blank.

#include <cstdlib>
#include <string_view>

#include "convert/command_line_builder.h"
#include "convert/value_tables.h"

namespace qf::convert {

namespace {

bool hasScale(int32_t frameSizeIndex) { return frameSizeIndex >= 1 && frameSizeIndex < int32_t(kFrameSizes.size()); }

// A value in tenths as "<units>[.<tenth>]", with a leading "-" when negative.
void appendTenths(core::TextString& s, int32_t tenths)
{
    if (tenths < 0)
        s.append("-");
    s.appendFormat("%d", std::abs(tenths / 10));
    if (tenths % 10 != 0)
        s.appendFormat(".%d", std::abs(tenths % 10));
}

} // namespace

void CommandLineBuilder::appendVideoFilters()
{
    core::TextString& s = scratch_;
    // Always written, also when no filter follows.
    s.append(" -vf-add ");
    bool written = false;
    auto separate = [&] {
        if (written)
            s.append(",");
        written = true;
    };
    if (deinterlace) {
        separate();
        s.append("yadif");
    }
    if (inverseTelecine) {
        separate();
        s.append("filmdint");
    }
    if (hasScale(frameSizeIndex)) {
        separate();
        s.append(kFrameSizes[static_cast<size_t>(frameSizeIndex)].scaleFilter);
    }
    if (pictureAdjust) {
        separate();
        s.append("eq2=");
        appendTenths(s, gamma);
        s.append(":");
        appendTenths(s, contrast);
        s.append(":");
        appendTenths(s, brightness);
        s.append(":");
        appendTenths(s, saturation);
    }
    if (!extraVideoFilters.empty()) {
        separate();
        s.append(extraVideoFilters);
    }
}

void CommandLineBuilder::appendFrameRate()
{
    // Row 0 keeps the source's rate.
    const RowValue* rate = tableEntry(kFrameRates, frameRateIndex);
    if (frameRateIndex == 0 || !rate)
        return;
    scratch_.append(" -ofps ");
    scratch_.append(rate->value);
}

void CommandLineBuilder::appendVideoBitrate()
{
    // A constant-quality row is the whole option; after a ":v" head it reads vcrf.
    const char* value = tableText(kVideoBitrates, videoBitrateIndex);
    if (std::string_view(value).starts_with(kConstantQualityPrefix)) {
        scratch_.append(value);
        return;
    }
    scratch_.append("bitrate=");
    scratch_.append(value);
}

void CommandLineBuilder::appendVideoCodec()
{
    const VideoCodecEntry* codec = tableEntry(kVideoCodecs, videoCodec);
    if (!codec)
        return;
    scratch_.append(codec->head);
    // Copy and "no video" are complete: no bitrate, quality, aspect or turbo.
    if (videoCodec == kVideoCodecCopy || videoCodec == kVideoCodecNone)
        return;
    appendVideoBitrate();
    scratch_.append(tableText(kQualities, qualityIndex));
    if (const RowValue* aspect = tableEntry(kAspects, aspectIndex); aspectIndex != 0 && aspect) {
        scratch_.append(videoCodec == kVideoCodecX264 ? ":sar=" : ":aspect=");
        scratch_.append(aspect->value);
    }
    if (turbo && twoPass)
        scratch_.append(":turbo");
}

} // namespace qf::convert
