#include "convert/device_defaults.h"

#include <array>

#include "convert/conversion_settings.h"
#include "convert/value_tables.h"

namespace qf::convert {

namespace {

// Every member of a shared reset except the video codec's own choice.
constexpr ParameterValues kHandheldReset = {.aspectIndex = 0,
                                            .twoPass = 0,
                                            .turbo = 0,
                                            .deinterlace = 0,
                                            .inverseTelecine = 0,
                                            .pictureAdjust = 0,
                                            .gamma = 10,
                                            .contrast = 10,
                                            .brightness = 0,
                                            .saturation = 10,
                                            .audioCodec = kAudioCodecAacMpeg4,
                                            .audioStreamId = 0,
                                            .channelMode = 0,
                                            .volumeNormalize = 1,
                                            .mp3VbrQuality = 0,
                                            .mp3Volume = 0,
                                            .mp3Mode = 0,
                                            .mp3Method = 0,
                                            .mp3AlgorithmQuality = 0,
                                            .aacObjectType = 1};

constexpr ParameterValues kDiscReset = {.twoPass = 1,
                                        .turbo = 1,
                                        .deinterlace = 0,
                                        .inverseTelecine = 0,
                                        .qualityIndex = 0,
                                        .pictureAdjust = 0,
                                        .gamma = 10,
                                        .contrast = 10,
                                        .brightness = 0,
                                        .saturation = 10,
                                        .audioStreamId = 0,
                                        .channelMode = 0,
                                        .volumeNormalize = 1,
                                        .mp3VbrQuality = 0,
                                        .mp3Volume = 0,
                                        .mp3Mode = 0,
                                        .mp3Method = 0,
                                        .mp3AlgorithmQuality = 0,
                                        .aacObjectType = 0};

constexpr ParameterValues kAudioOnlyReset = {.videoCodec = kVideoCodecNone,
                                             .videoBitrateIndex = 0,
                                             .frameSizeIndex = 0,
                                             .frameRateIndex = 0,
                                             .aspectIndex = 0,
                                             .twoPass = 0,
                                             .turbo = 0,
                                             .deinterlace = 0,
                                             .inverseTelecine = 0,
                                             .qualityIndex = 0,
                                             .pictureAdjust = 0,
                                             .gamma = 10,
                                             .contrast = 10,
                                             .brightness = 0,
                                             .saturation = 10,
                                             .audioCodec = kAudioCodecMp3,
                                             .sampleRateIndex = 4,
                                             .audioStreamId = 0,
                                             .channelMode = 0,
                                             .volumeNormalize = 0,
                                             .audioBitrateIndex = 6,
                                             .mp3VbrQuality = 0,
                                             .mp3Volume = 0,
                                             .mp3Mode = 0,
                                             .mp3Method = 0,
                                             .mp3AlgorithmQuality = 0,
                                             .aacObjectType = 0};

constexpr const char* kMp4Container = "-of lavf -lavfopts format=mp4 -sws 9";
constexpr const char* kSws = "-sws 9";
constexpr const char* kHarddup = "harddup";
constexpr const char* kXvidOptions = ":max_bframes=0";
constexpr const char* kDivxOptions = ":aglobal=1:vglobal=1";
constexpr const char* kRawAac = ":raw";
constexpr const char* kDvdResample = ",lavcresample=48000";
constexpr const char* kVcdResample = ",lavcresample=44100";

using R = DefaultsReset;

constexpr ParameterValues kWindowsMedia = {.videoCodec = 7,
                                           .videoBitrateIndex = 7,
                                           .frameSizeIndex = 7,
                                           .frameRateIndex = 0,
                                           .aspectIndex = 0,
                                           .twoPass = 0,
                                           .turbo = 0,
                                           .deinterlace = 0,
                                           .inverseTelecine = 0,
                                           .qualityIndex = 0,
                                           .pictureAdjust = 0,
                                           .gamma = 10,
                                           .contrast = 10,
                                           .brightness = 0,
                                           .saturation = 10,
                                           .audioCodec = 6,
                                           .sampleRateIndex = 3,
                                           .audioStreamId = 0,
                                           .channelMode = 0,
                                           .volumeNormalize = 1,
                                           .audioBitrateIndex = 4,
                                           .mp3VbrQuality = 0,
                                           .mp3Volume = 0,
                                           .mp3Mode = 0,
                                           .mp3Method = 0,
                                           .mp3AlgorithmQuality = 0,
                                           .aacObjectType = 1};

// Today's players: every member set, so nothing of the previously shown
// model stays. Constant quality with the frame size a box (value tables);
// the sound is not normalised (these players leave the dynamics alone).
constexpr ParameterValues modern(int16_t videoCodec, int16_t videoBitrateIndex, int16_t frameSizeIndex,
                                 int16_t audioCodec, int16_t sampleRateIndex, int16_t audioBitrateIndex)
{
    return {.videoCodec = videoCodec,
            .videoBitrateIndex = videoBitrateIndex,
            .frameSizeIndex = frameSizeIndex,
            .frameRateIndex = 0,
            .aspectIndex = 0,
            .twoPass = 0,
            .turbo = 0,
            .deinterlace = 0,
            .inverseTelecine = 0,
            .qualityIndex = 0,
            .pictureAdjust = 0,
            .gamma = 10,
            .contrast = 10,
            .brightness = 0,
            .saturation = 10,
            .audioCodec = audioCodec,
            .sampleRateIndex = sampleRateIndex,
            .audioStreamId = 0,
            .channelMode = 0,
            .volumeNormalize = 0,
            .audioBitrateIndex = audioBitrateIndex,
            .mp3VbrQuality = 0,
            .mp3Volume = 0,
            .mp3Mode = 0,
            .mp3Method = 0,
            .mp3AlgorithmQuality = 0,
            .aacObjectType = 1};
}

constexpr int16_t kAac = kAudioCodecAacMpeg4;
constexpr int16_t k48000 = 4;
constexpr int16_t kAac160 = 7;
constexpr int16_t kOpus128 = 6;
// moov ahead of the media: a browser or TV starts playing before the whole file arrived.
constexpr const char* kMp4Faststart = "-of lavf -lavfopts format=mp4:faststart -sws 9";
constexpr const char* kMkv = "-of lavf -lavfopts format=matroska -sws 9";
constexpr const char* kWebm = "-of lavf -lavfopts format=webm -sws 9";
// Interlaced sources (TV recordings, DVDs) are deinterlaced, progressive ones
// untouched; the source's frame rate is kept up to the model's.
constexpr const char* kUpTo60 = "autodeint,fpscap=60";
constexpr const char* kUpTo30 = "autodeint,fpscap=30";
// H.264 High at x264's "fast" speed; the level and the peak rate that
// players of each size accept.
constexpr const char* kH264Options2160 = ":profile=high:preset=fast:level_idc=51:vrc_maxrate=50000:vrc_buf_size=62500";
constexpr const char* kH264Options1080 = ":profile=high:preset=fast:level_idc=41:vrc_maxrate=20000:vrc_buf_size=25000";
constexpr const char* kH264Options720 = ":profile=high:preset=fast:level_idc=40:vrc_maxrate=10000:vrc_buf_size=12500";
constexpr const char* kH264Options480 = ":profile=high:preset=fast:level_idc=31:vrc_maxrate=4000:vrc_buf_size=5000";
constexpr const char* kH264OptionsSource = ":profile=high:preset=fast";
constexpr const char* kH265Options2160 = ":o=preset=fast:vrc_maxrate=40000:vrc_buf_size=50000";
constexpr const char* kH265Options1080 = ":o=preset=fast:vrc_maxrate=12000:vrc_buf_size=15000";
constexpr const char* kH265Options720 = ":o=preset=fast:vrc_maxrate=6000:vrc_buf_size=7500";
constexpr const char* kH265OptionsSource = ":o=preset=fast";
// Main 10 when the source has more than 8 bits.
constexpr const char* kH265Options10Bit = ":o=preset=fast:highbitdepth";
constexpr const char* kAv1Options = ":o=preset=8";
constexpr const char* kVp9Options = ":o=deadline=good,cpu-used=4,row-mt=1";

// Values fixed by the devices' players; the worked command lines depend on
// every one of them.
constexpr std::array kDefaults = {
    // 手机. Format 0 does not reset volume normalisation; it is switched off
    // so that the phone 3GP stays independent of the previously shown model.
    DefaultsRow{kCategoryPhone,
                kAnyModel,
                0,
                kFormat3gp,
                {.videoCodec = 1,
                 .videoBitrateIndex = 0,
                 .frameSizeIndex = 4,
                 .frameRateIndex = 12,
                 .aspectIndex = 0,
                 .twoPass = 0,
                 .turbo = 0,
                 .deinterlace = 0,
                 .inverseTelecine = 0,
                 .qualityIndex = 0,
                 .pictureAdjust = 0,
                 .gamma = 10,
                 .contrast = 10,
                 .brightness = 0,
                 .saturation = 10,
                 .audioCodec = kAudioCodecAacMpeg4,
                 .sampleRateIndex = 0,
                 .audioStreamId = 0,
                 .channelMode = 0,
                 .volumeNormalize = 0,
                 .audioBitrateIndex = 0,
                 .mp3VbrQuality = 0,
                 .mp3Volume = 0,
                 .mp3Mode = 0,
                 .mp3Method = 0,
                 .mp3AlgorithmQuality = 0,
                 .aacObjectType = 1},
                R::None,
                {.extraVideoCodecOptions = kXvidOptions, .extraVideoFilters = kHarddup}},
    DefaultsRow{kCategoryPhone,
                kAnyModel,
                0,
                kFormatMp4X264,
                {.videoCodec = 2,
                 .videoBitrateIndex = 3,
                 .frameSizeIndex = 7,
                 .frameRateIndex = 3,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 4},
                R::Handheld,
                {kMp4Container, ":level_idc=12:nocabac:bframes=0:global_header:partitions=all", kHarddup, kRawAac}},
    DefaultsRow{kCategoryPhone,
                kAnyModel,
                0,
                kFormatMp4Xvid,
                {.videoCodec = 1,
                 .videoBitrateIndex = 1,
                 .frameSizeIndex = 7,
                 .frameRateIndex = 0,
                 .sampleRateIndex = 3,
                 .audioBitrateIndex = 0},
                R::Handheld,
                {kSws, kXvidOptions, kHarddup}},
    DefaultsRow{kCategoryPhone, kAnyModel, 0, kFormatMp3, {}, R::AudioOnly, {}},

    // IPOD: Touch, Classic and Nano share their defaults; Shuffle plays audio only.
    DefaultsRow{kCategoryIpod,
                0,
                2,
                kFormatMp4X264,
                {.videoCodec = 2,
                 .videoBitrateIndex = 7,
                 .frameSizeIndex = 16,
                 .frameRateIndex = 10,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 6},
                R::Handheld,
                {kMp4Container, ":level_idc=13:nocabac:global_header:partitions=all", kHarddup, kRawAac}},
    DefaultsRow{kCategoryIpod,
                0,
                2,
                kFormatMp4Xvid,
                {.videoCodec = 1,
                 .videoBitrateIndex = 7,
                 .frameSizeIndex = 16,
                 .frameRateIndex = 10,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 6},
                R::Handheld,
                {kSws, kXvidOptions, kHarddup}},
    DefaultsRow{kCategoryIpod,
                0,
                2,
                kFormatMp4Divx,
                {.videoCodec = 0,
                 .videoBitrateIndex = 7,
                 .frameSizeIndex = 16,
                 .frameRateIndex = 10,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 6},
                R::Handheld,
                {kMp4Container, kDivxOptions, kHarddup, kRawAac}},
    DefaultsRow{kCategoryIpod, 0, 2, kFormatMp3, {}, R::AudioOnly, {}},
    DefaultsRow{kCategoryIpod, 3, 3, kAnyFormat, {}, R::AudioOnly, {}},

    // PSP.
    DefaultsRow{kCategoryPsp,
                kAnyModel,
                0,
                kFormatPmp,
                {.videoCodec = 2,
                 .videoBitrateIndex = 7,
                 .frameSizeIndex = 11,
                 .frameRateIndex = 0,
                 .sampleRateIndex = 3,
                 .audioBitrateIndex = 4},
                R::Handheld,
                {kSws, ":level_idc=13:pictiming:nopsnr:nossim", kHarddup}},
    DefaultsRow{kCategoryPsp,
                kAnyModel,
                0,
                kFormatPspMp4X264,
                {.videoCodec = 2,
                 .videoBitrateIndex = 7,
                 .frameSizeIndex = 10,
                 .frameRateIndex = 10,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 4},
                R::Handheld,
                {kMp4Container, ":level_idc=30:bframes=3:frameref=2:global_header:partitions=all", kHarddup, kRawAac}},
    DefaultsRow{kCategoryPsp,
                kAnyModel,
                0,
                kFormatPspMp4Xvid,
                {.videoCodec = 1,
                 .videoBitrateIndex = 7,
                 .frameSizeIndex = 10,
                 .frameRateIndex = 10,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 2},
                R::Handheld,
                {kSws, kXvidOptions, kHarddup}},
    DefaultsRow{kCategoryPsp,
                kAnyModel,
                0,
                kFormatPspMp4Divx,
                {.videoCodec = 0,
                 .videoBitrateIndex = 7,
                 .frameSizeIndex = 10,
                 .frameRateIndex = 10,
                 .sampleRateIndex = 1,
                 .audioBitrateIndex = 2},
                R::Handheld,
                {kMp4Container, kDivxOptions, kHarddup, kRawAac}},
    DefaultsRow{kCategoryPsp, kAnyModel, 0, kFormatMp3, {}, R::AudioOnly, {}},

    // Flash Player.
    DefaultsRow{kCategoryFlash,
                kAnyModel,
                0,
                kAnyFormat,
                {.videoCodec = 3,
                 .videoBitrateIndex = 7,
                 .frameSizeIndex = 7,
                 .frameRateIndex = 0,
                 .aspectIndex = 0,
                 .twoPass = 0,
                 .turbo = 0,
                 .deinterlace = 0,
                 .inverseTelecine = 0,
                 .qualityIndex = 0,
                 .pictureAdjust = 0,
                 .gamma = 10,
                 .contrast = 10,
                 .brightness = 0,
                 .saturation = 10,
                 .audioCodec = kAudioCodecMp3,
                 .sampleRateIndex = 3,
                 .audioStreamId = 0,
                 .channelMode = 0,
                 .volumeNormalize = 1,
                 .audioBitrateIndex = 4,
                 .mp3VbrQuality = 5,
                 .mp3Volume = 0,
                 .mp3Mode = 0,
                 .mp3Method = 1,
                 .mp3AlgorithmQuality = 0,
                 .aacObjectType = 1},
                R::None,
                {"-of lavf -lavfopts format=flv"}},

    // DVD and DVD-Film; a further model index gets what the two share.
    DefaultsRow{kCategoryDvd,
                0,
                0,
                kFormatMpgNtsc,
                {.videoCodec = 5,
                 .videoBitrateIndex = 18,
                 .frameSizeIndex = 17,
                 .frameRateIndex = 10,
                 .aspectIndex = 5,
                 .audioCodec = 3,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 6},
                R::Disc,
                {"-of mpeg -mpegopts format=dvd", ":trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600", kHarddup,
                 "", kDvdResample}},
    DefaultsRow{kCategoryDvd,
                0,
                0,
                kFormatMpgPal,
                {.videoCodec = 5,
                 .videoBitrateIndex = 18,
                 .frameSizeIndex = 18,
                 .frameRateIndex = 9,
                 .aspectIndex = 5,
                 .audioCodec = 3,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 6},
                R::Disc,
                {"-of mpeg -mpegopts format=dvd", ":trell:mbd=2:keyint=15:vrc_buf_size=1835:vrc_maxrate=9600", kHarddup,
                 "", kDvdResample}},
    DefaultsRow{kCategoryDvd,
                1,
                1,
                kFormatMpgNtsc,
                {.videoCodec = 5,
                 .videoBitrateIndex = 18,
                 .frameSizeIndex = 17,
                 .frameRateIndex = kFrameRateFilm,
                 .aspectIndex = 5,
                 .audioCodec = 3,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 6},
                R::Disc,
                {"-of mpeg -mpegopts format=dvd:tsaf:telecine",
                 ":trell:mbd=2:keyint=12:vrc_buf_size=1835:vrc_maxrate=9600", kHarddup, "", kDvdResample}},
    DefaultsRow{kCategoryDvd,
                1,
                1,
                kFormatMpgPal,
                {.videoCodec = 5,
                 .videoBitrateIndex = 18,
                 .frameSizeIndex = 18,
                 .frameRateIndex = kFrameRateFilm,
                 .aspectIndex = 5,
                 .audioCodec = 3,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 6},
                R::Disc,
                {"-of mpeg -mpegopts format=dvd:tsaf:telecine",
                 ":trell:mbd=2:keyint=12:vrc_buf_size=1835:vrc_maxrate=9600", kHarddup, "", kDvdResample}},
    DefaultsRow{kCategoryDvd,
                kModelsFrom2,
                0,
                kFormatMpgNtsc,
                {.videoCodec = 5,
                 .videoBitrateIndex = 18,
                 .frameSizeIndex = 17,
                 .aspectIndex = 5,
                 .audioCodec = 3,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 6},
                R::Disc,
                {.extraVideoFilters = kHarddup, .extraAudioFilters = kDvdResample}},
    DefaultsRow{kCategoryDvd,
                kModelsFrom2,
                0,
                kFormatMpgPal,
                {.videoCodec = 5,
                 .videoBitrateIndex = 18,
                 .frameSizeIndex = 18,
                 .aspectIndex = 5,
                 .audioCodec = 3,
                 .sampleRateIndex = 4,
                 .audioBitrateIndex = 6},
                R::Disc,
                {.extraVideoFilters = kHarddup, .extraAudioFilters = kDvdResample}},

    // SVCD and XVCD; a further model index gets what the two share.
    DefaultsRow{kCategoryVcd,
                0,
                0,
                kFormatMpgNtsc,
                {.videoCodec = 5,
                 .videoBitrateIndex = 18,
                 .frameSizeIndex = 13,
                 .frameRateIndex = 10,
                 .aspectIndex = 0,
                 .audioCodec = 4,
                 .sampleRateIndex = 3,
                 .audioBitrateIndex = 6},
                R::Disc,
                {"-of mpeg -mpegopts format=xsvcd",
                 ":trell:mbd=2:keyint=18:vrc_buf_size=917:vrc_minrate=600:vrc_maxrate=2500", kHarddup, "",
                 kVcdResample}},
    DefaultsRow{kCategoryVcd,
                0,
                0,
                kFormatMpgPal,
                {.videoCodec = 5,
                 .videoBitrateIndex = 18,
                 .frameSizeIndex = 14,
                 .frameRateIndex = 9,
                 .aspectIndex = 0,
                 .audioCodec = 4,
                 .sampleRateIndex = 3,
                 .audioBitrateIndex = 6},
                R::Disc,
                {"-of mpeg -mpegopts format=xsvcd",
                 ":trell:mbd=2:keyint=15:vrc_buf_size=917:vrc_minrate=600:vrc_maxrate=2500", kHarddup, "",
                 kVcdResample}},
    DefaultsRow{kCategoryVcd,
                1,
                1,
                kFormatMpgNtsc,
                {.videoCodec = 4,
                 .videoBitrateIndex = 19,
                 .frameSizeIndex = 8,
                 .frameRateIndex = 10,
                 .aspectIndex = 0,
                 .audioCodec = 4,
                 .sampleRateIndex = 3,
                 .audioBitrateIndex = 9},
                R::Disc,
                {"-of mpeg -mpegopts format=xvcd", ":trell:mbd=2:keyint=18:vrc_buf_size=327:vrc_minrate=1152", kHarddup,
                 "", kVcdResample}},
    DefaultsRow{kCategoryVcd,
                1,
                1,
                kFormatMpgPal,
                {.videoCodec = 4,
                 .videoBitrateIndex = 19,
                 .frameSizeIndex = 9,
                 .frameRateIndex = 9,
                 .aspectIndex = 0,
                 .audioCodec = 4,
                 .sampleRateIndex = 3,
                 .audioBitrateIndex = 9},
                R::Disc,
                {"-of mpeg -mpegopts format=xvcd", ":trell:mbd=2:keyint=15:vrc_buf_size=327:vrc_minrate=1152", kHarddup,
                 "", kVcdResample}},
    DefaultsRow{kCategoryVcd,
                kModelsFrom2,
                0,
                kFormatMpgNtsc,
                {.frameRateIndex = 10, .aspectIndex = 0, .audioCodec = 4, .sampleRateIndex = 3},
                R::Disc,
                {.extraVideoFilters = kHarddup, .extraAudioFilters = kVcdResample}},
    DefaultsRow{kCategoryVcd,
                kModelsFrom2,
                0,
                kFormatMpgPal,
                {.frameRateIndex = 9, .aspectIndex = 0, .audioCodec = 4, .sampleRateIndex = 3},
                R::Disc,
                {.extraVideoFilters = kHarddup, .extraAudioFilters = kVcdResample}},

    // Windows Media: WMA is the WMV settings; the format itself takes the
    // video away (applyDefaults).
    DefaultsRow{
        kCategoryWindowsMedia, kAnyModel, 0, kFormatWmv, kWindowsMedia, R::None, {"-of lavf -lavfopts format=wmv"}},
    DefaultsRow{
        kCategoryWindowsMedia, kAnyModel, 0, kFormatWma, kWindowsMedia, R::None, {"-of lavf -lavfopts format=wmv"}},

    // MP3.
    DefaultsRow{kCategoryMp3, kAnyModel, 0, kAnyFormat, {}, R::AudioOnly, {}},

    // 通用高清: H.264 High + AAC-LC stereo in an MP4 for any phone, tablet,
    // computer or TV; 2160p, 1080p, 720p, 480p and the source's own size.
    DefaultsRow{kCategoryHd,
                0,
                0,
                kFormatHdMp4H264,
                modern(kVideoCodecX264, kVideoCrf22, kFrameBox2160, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kH264Options2160, kUpTo60}},
    DefaultsRow{kCategoryHd,
                1,
                1,
                kFormatHdMp4H264,
                modern(kVideoCodecX264, kVideoCrf22, kFrameBox1080, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kH264Options1080, kUpTo60}},
    DefaultsRow{kCategoryHd,
                2,
                2,
                kFormatHdMp4H264,
                modern(kVideoCodecX264, kVideoCrf22, kFrameBox720, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kH264Options720, kUpTo60}},
    DefaultsRow{kCategoryHd,
                3,
                3,
                kFormatHdMp4H264,
                modern(kVideoCodecX264, kVideoCrf22, kFrameBox480, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kH264Options480, kUpTo30}},
    DefaultsRow{kCategoryHd,
                4,
                4,
                kFormatHdMp4H264,
                modern(kVideoCodecX264, kVideoCrf22, 0, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kH264OptionsSource, kUpTo60}},

    // HEVC: smaller files for Apple and recent Android players.
    DefaultsRow{kCategoryHevc,
                0,
                0,
                kFormatMp4H265,
                modern(kVideoCodecH265, kVideoCrf28, kFrameBox2160, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kH265Options2160, kUpTo60}},
    DefaultsRow{kCategoryHevc,
                1,
                1,
                kFormatMp4H265,
                modern(kVideoCodecH265, kVideoCrf28, kFrameBox1080, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kH265Options1080, kUpTo60}},
    DefaultsRow{kCategoryHevc,
                2,
                2,
                kFormatMp4H265,
                modern(kVideoCodecH265, kVideoCrf28, kFrameBox720, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kH265Options720, kUpTo60}},
    DefaultsRow{kCategoryHevc,
                3,
                3,
                kFormatMp4H265,
                modern(kVideoCodecH265, kVideoCrf28, 0, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kH265OptionsSource, kUpTo60}},
    DefaultsRow{kCategoryHevc,
                4,
                4,
                kFormatMp4H265,
                modern(kVideoCodecH265, kVideoCrf28, 0, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kH265Options10Bit, kUpTo60}},

    // AV1 (SVT-AV1): Opus in Matroska, AAC in MP4.
    DefaultsRow{kCategoryAv1,
                0,
                0,
                kFormatMkvAv1,
                modern(kVideoCodecAv1, kVideoCrf35, kFrameBox1080, kAudioCodecOpus, k48000, kOpus128),
                R::None,
                {kMkv, kAv1Options, kUpTo60}},
    DefaultsRow{kCategoryAv1,
                0,
                0,
                kFormatMp4Av1,
                modern(kVideoCodecAv1, kVideoCrf35, kFrameBox1080, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kAv1Options, kUpTo60}},
    DefaultsRow{kCategoryAv1,
                1,
                1,
                kFormatMkvAv1,
                modern(kVideoCodecAv1, kVideoCrf35, kFrameBox720, kAudioCodecOpus, k48000, kOpus128),
                R::None,
                {kMkv, kAv1Options, kUpTo60}},
    DefaultsRow{kCategoryAv1,
                1,
                1,
                kFormatMp4Av1,
                modern(kVideoCodecAv1, kVideoCrf35, kFrameBox720, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kAv1Options, kUpTo60}},
    DefaultsRow{kCategoryAv1,
                2,
                2,
                kFormatMkvAv1,
                modern(kVideoCodecAv1, kVideoCrf35, 0, kAudioCodecOpus, k48000, kOpus128),
                R::None,
                {kMkv, kAv1Options, kUpTo60}},
    DefaultsRow{kCategoryAv1,
                2,
                2,
                kFormatMp4Av1,
                modern(kVideoCodecAv1, kVideoCrf35, 0, kAac, k48000, kAac160),
                R::None,
                {kMp4Faststart, kAv1Options, kUpTo60}},

    // 网页 WebM: VP9 + Opus for browsers.
    DefaultsRow{kCategoryWebm,
                0,
                0,
                kFormatWebmVp9,
                modern(kVideoCodecVp9, kVideoCrf32, kFrameBox1080, kAudioCodecOpus, k48000, kOpus128),
                R::None,
                {kWebm, kVp9Options, kUpTo60}},
    DefaultsRow{kCategoryWebm,
                1,
                1,
                kFormatWebmVp9,
                modern(kVideoCodecVp9, kVideoCrf32, kFrameBox720, kAudioCodecOpus, k48000, kOpus128),
                R::None,
                {kWebm, kVp9Options, kUpTo60}},
    DefaultsRow{kCategoryWebm,
                2,
                2,
                kFormatWebmVp9,
                modern(kVideoCodecVp9, kVideoCrf32, kFrameBox480, kAudioCodecOpus, k48000, kOpus128),
                R::None,
                {kWebm, kVp9Options, kUpTo30}},

    // 音乐/无损: AAC-LC in M4A at 256 kbit/s and the source's rate; FLAC
    // keeps the rate and up to eight channels; Opus at 160 kbit/s.
    DefaultsRow{kCategoryMusic,
                kAnyModel,
                0,
                kFormatM4a,
                modern(kVideoCodecNone, 0, 0, kAac, kSampleRateSource, 10),
                R::None,
                {}},
    DefaultsRow{kCategoryMusic,
                kAnyModel,
                0,
                kFormatFlac,
                modern(kVideoCodecNone, 0, 0, kAudioCodecFlac, kSampleRateSource, 6),
                R::None,
                {"-channels 8"}},
    DefaultsRow{kCategoryMusic,
                kAnyModel,
                0,
                kFormatOpus,
                modern(kVideoCodecNone, 0, 0, kAudioCodecOpus, k48000, 7),
                R::None,
                {}},
};

bool modelMatches(const DefaultsRow& row, int32_t model)
{
    if (row.modelFrom == kAnyModel)
        return true;
    if (row.modelFrom == kModelsFrom2)
        return model >= 2;
    return model >= row.modelFrom && model <= row.modelTo;
}

// ParameterValues mirrors the 27 integers of the record, in their order.
constexpr std::array<int16_t ParameterValues::*, ConversionSettings::kParameterCount> kValueSlots
    = {&ParameterValues::videoCodec,     &ParameterValues::videoBitrateIndex,   &ParameterValues::frameSizeIndex,
       &ParameterValues::frameRateIndex, &ParameterValues::aspectIndex,         &ParameterValues::twoPass,
       &ParameterValues::turbo,          &ParameterValues::deinterlace,         &ParameterValues::inverseTelecine,
       &ParameterValues::qualityIndex,   &ParameterValues::pictureAdjust,       &ParameterValues::gamma,
       &ParameterValues::contrast,       &ParameterValues::brightness,          &ParameterValues::saturation,
       &ParameterValues::audioCodec,     &ParameterValues::sampleRateIndex,     &ParameterValues::audioStreamId,
       &ParameterValues::channelMode,    &ParameterValues::volumeNormalize,     &ParameterValues::audioBitrateIndex,
       &ParameterValues::mp3VbrQuality,  &ParameterValues::mp3Volume,           &ParameterValues::mp3Mode,
       &ParameterValues::mp3Method,      &ParameterValues::mp3AlgorithmQuality, &ParameterValues::aacObjectType};

void apply(const ParameterValues& values, ConversionSettings& s)
{
    for (int i = 0; i < ConversionSettings::kParameterCount; ++i) {
        const int16_t v = values.*kValueSlots[static_cast<size_t>(i)];
        if (v != kKeep)
            s.parameter(i) = v;
    }
}

} // namespace

std::span<const DefaultsRow> defaultsTable() { return kDefaults; }

const DefaultsRow* findDefaults(int32_t category, int32_t model, int32_t format)
{
    for (const DefaultsRow& row : kDefaults)
        if (row.category == category && modelMatches(row, model) && (row.format == kAnyFormat || row.format == format))
            return &row;
    return nullptr;
}

void ConversionSettings::applyDefaults()
{
    const DefaultsRow* row = findDefaults(category, model, outputFormat);
    if (!row)
        return;
    apply(row->values, *this);
    switch (row->reset) {
    case DefaultsReset::None: break;
    case DefaultsReset::Handheld:
        apply(kHandheldReset, *this);
        qualityIndex = videoCodec == 0 ? 5 : 0;
        break;
    case DefaultsReset::Disc: apply(kDiscReset, *this); break;
    case DefaultsReset::AudioOnly: apply(kAudioOnlyReset, *this); break;
    }
    // A row made for one audio-only format leaves no video codec behind,
    // whatever values it shares with its video sibling.
    if (row->format != kAnyFormat)
        if (const FormatEntry* entry = formatEntry(row->format); entry && entry->audioOnly)
            videoCodec = kVideoCodecNone;
    containerOptions = row->strings.containerOptions;
    extraVideoCodecOptions = row->strings.extraVideoCodecOptions;
    extraVideoFilters = row->strings.extraVideoFilters;
    extraAudioCodecOptions = row->strings.extraAudioCodecOptions;
    extraAudioFilters = row->strings.extraAudioFilters;
}

} // namespace qf::convert
