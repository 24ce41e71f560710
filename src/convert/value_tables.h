#pragma once
// The value tables of the conversion parameters: for every combo-box row of
// the parameter panel, the row text and the text the encoder receives. The
// command builder, the CLI and the parameter panel all read these tables;
// nothing else spells the values.
//
// Every lookup takes the stored row index as it is (a record may hold any
// integer) and answers an empty text for an index outside its table.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <tuple>

namespace qf::convert {

// Device categories (combo 1019).
// Categories 8.. serve today's players: any phone, tablet, computer or TV,
// browsers, and music libraries. They stand after the old ones so that
// every stored category keeps its meaning.
inline constexpr int kCategoryCount = 13;
inline constexpr std::array<const char*, kCategoryCount> kCategoryNames
    = {"手机", "IPOD",     "PSP",  "Flash Player", "DVD",       "VCD",      "Windows Media",
       "MP3",  "通用高清", "HEVC", "AV1",          "网页 WebM", "音乐/无损"};

enum Category : int32_t {
    kCategoryPhone = 0,
    kCategoryIpod = 1,
    kCategoryPsp = 2,
    kCategoryFlash = 3,
    kCategoryDvd = 4,
    kCategoryVcd = 5,
    kCategoryWindowsMedia = 6,
    kCategoryMp3 = 7,
    kCategoryHd = 8,
    kCategoryHevc = 9,
    kCategoryAv1 = 10,
    kCategoryWebm = 11,
    kCategoryMusic = 12,
};

// Output formats. Everything the builder, the panel, the task run and the
// preset reader know about a format stands on its row, so a format is added
// by adding a row.
inline constexpr int kFormatCount = 22;

enum OutputFormat : int32_t {
    kFormat3gp = 0,
    kFormatPmp = 1,
    kFormatPspMp4X264 = 2,
    kFormatPspMp4Xvid = 3,
    kFormatPspMp4Divx = 4,
    kFormatMp4X264 = 5,
    kFormatMp4Xvid = 6,
    kFormatMp4Divx = 7,
    kFormatMp3 = 8,
    kFormatFlv = 9,
    kFormatMpgNtsc = 10,
    kFormatMpgPal = 11,
    kFormatWmv = 12,
    kFormatWma = 13,
    kFormatHdMp4H264 = 14,
    kFormatMp4H265 = 15,
    kFormatMp4Av1 = 16,
    kFormatMkvAv1 = 17,
    kFormatWebmVp9 = 18,
    kFormatM4a = 19,
    kFormatFlac = 20,
    kFormatOpus = 21,
};

// How buildCommands assembles a format's command lines.
enum class CommandLayout : uint8_t {
    // The main command alone, written to the intermediate base (the output
    // path up to its last ".") plus the row's intermediateExtension.
    Intermediate,
    // One pass straight into the output: head, audio filters, sample rate,
    // the row's optional parts, audio and video codec.
    SingleLine,
    // The pass-one command first, then the main command into the output.
    TwoPass,
};

// The optional fragments of a single-line command.
struct SingleLineParts {
    bool audioStream = false; // the stream choice, after the sample rate
    bool videoFilters = false; // the video filter chain, before the codecs
    bool extraVideoOptions = false; // the preset's video codec options, last
};

// What turns the encoder's file into the output afterwards.
enum class PostProcessing : uint8_t {
    None, // the encoder writes the output itself
    Mux3gp, // AVI split into streams, muxed to 3GP
    MuxPmp, // AVI split into streams, muxed to PMP
    MuxMp4WithAtoms, // muxed to MP4, then the handheld atom edit
    MuxMp4, // muxed to MP4
};

// A text replaced, every occurrence left to right, in a finished command's
// options (never in the quoted encoder and source paths before them).
struct TextReplacement {
    const char* from;
    const char* to;
};

// PMP: a 500 kbit/s row turns into constant-quality encoding, and the
// player's decoder takes two channels only.
inline constexpr std::array<TextReplacement, 2> kPmpRewrites = {{
    {"bitrate=500", "crf=22"},
    {"-vf-add", "-channels 2 -vf-add"},
}};

struct FormatEntry {
    const char* label = ""; // what the task list shows
    const char* panelLabel = ""; // what the format combo shows (only flv differs)
    const char* suffix = ""; // appended to the source's file name in the output folder
    // No video stream: the builder forces "no video", the panel's video
    // combos are off, and a source without audio has nothing to give.
    bool audioOnly = false;
    // The encoder options fix the channels: the panel's channel combo is off.
    bool fixedChannels = false;
    CommandLayout layout = CommandLayout::SingleLine;
    const char* intermediateExtension = ""; // Intermediate layout: ".avi" or ".mp4"
    SingleLineParts singleLine = {};
    std::span<const TextReplacement> optionRewrites = {};
    PostProcessing postProcessing = PostProcessing::None;
};

inline constexpr std::array<FormatEntry, kFormatCount> kFormats = {{
    {.label = "3gp",
     .panelLabel = "3gp",
     .suffix = "-3gp.3gp",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".avi",
     .postProcessing = PostProcessing::Mux3gp},
    {.label = "pmp-X264,AAC",
     .panelLabel = "pmp-X264,AAC",
     .suffix = "-pmp.pmp",
     .fixedChannels = true,
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".avi",
     .optionRewrites = kPmpRewrites,
     .postProcessing = PostProcessing::MuxPmp},
    {.label = "mp4-X264,AAC",
     .panelLabel = "mp4-X264,AAC",
     .suffix = "-mp4.mp4",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".mp4"},
    {.label = "mp4-XVID,AAC",
     .panelLabel = "mp4-XVID,AAC",
     .suffix = "-mp4.mp4",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".avi",
     .postProcessing = PostProcessing::MuxMp4WithAtoms},
    {.label = "mp4-DIVX,AAC",
     .panelLabel = "mp4-DIVX,AAC",
     .suffix = "-mp4.mp4",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".mp4"},
    {.label = "mp4-X264,AAC",
     .panelLabel = "mp4-X264,AAC",
     .suffix = "-mp4.mp4",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".mp4"},
    {.label = "mp4-XVID,AAC",
     .panelLabel = "mp4-XVID,AAC",
     .suffix = "-mp4.mp4",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".avi",
     .postProcessing = PostProcessing::MuxMp4},
    {.label = "mp4-DIVX,AAC",
     .panelLabel = "mp4-DIVX,AAC",
     .suffix = "-mp4.mp4",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".mp4"},
    {.label = "mp3",
     .panelLabel = "mp3",
     .suffix = "-mp3.mp3",
     .audioOnly = true,
     .layout = CommandLayout::SingleLine,
     .singleLine = {.audioStream = true}},
    {.label = "flv-Flash",
     .panelLabel = "flv",
     .suffix = "-flv.flv",
     .layout = CommandLayout::SingleLine,
     .singleLine = {.videoFilters = true, .extraVideoOptions = true}},
    {.label = "mpg-NTSC", .panelLabel = "mpg-NTSC", .suffix = "-mpg.mpg", .layout = CommandLayout::TwoPass},
    {.label = "mpg-PAL", .panelLabel = "mpg-PAL", .suffix = "-mpg.mpg", .layout = CommandLayout::TwoPass},
    {.label = "wmv-WMVideo",
     .panelLabel = "wmv-WMVideo",
     .suffix = "-wmv.wmv",
     .layout = CommandLayout::SingleLine,
     .singleLine = {.videoFilters = true, .extraVideoOptions = true}},
    {.label = "wma-WMAudio",
     .panelLabel = "wma-WMAudio",
     .suffix = "-wma.wma",
     .audioOnly = true,
     .layout = CommandLayout::SingleLine,
     .singleLine = {.audioStream = true, .extraVideoOptions = true}},
    // Today's formats: the encoder writes the output itself (the main
    // command), in one pass; the sound-only ones as the MP3 line does.
    {.label = "mp4-H264,AAC",
     .panelLabel = "mp4-H264,AAC",
     .suffix = "-mp4.mp4",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".mp4"},
    {.label = "mp4-H265,AAC",
     .panelLabel = "mp4-H265,AAC",
     .suffix = "-mp4.mp4",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".mp4"},
    {.label = "mp4-AV1,AAC",
     .panelLabel = "mp4-AV1,AAC",
     .suffix = "-mp4.mp4",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".mp4"},
    {.label = "mkv-AV1,Opus",
     .panelLabel = "mkv-AV1,Opus",
     .suffix = "-mkv.mkv",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".mkv"},
    {.label = "webm-VP9,Opus",
     .panelLabel = "webm-VP9,Opus",
     .suffix = "-webm.webm",
     .layout = CommandLayout::Intermediate,
     .intermediateExtension = ".webm"},
    {.label = "m4a-AAC",
     .panelLabel = "m4a-AAC",
     .suffix = "-m4a.m4a",
     .audioOnly = true,
     .layout = CommandLayout::SingleLine,
     .singleLine = {.audioStream = true}},
    {.label = "flac",
     .panelLabel = "flac",
     .suffix = "-flac.flac",
     .audioOnly = true,
     .layout = CommandLayout::SingleLine,
     .singleLine = {.audioStream = true}},
    {.label = "opus",
     .panelLabel = "opus",
     .suffix = "-opus.opus",
     .audioOnly = true,
     .layout = CommandLayout::SingleLine,
     .singleLine = {.audioStream = true}},
}};

// The format table that the builder, the panel, the task run and the preset
// reader consult: kFormats unless another was installed. A table is
// installed before any panel or task exists (at start-up, or by a test) and
// is read-only afterwards, so any thread may read it.
std::span<const FormatEntry> formatTable();
// Installs `table` (an empty one: kFormats again) and returns the one it
// replaces. The caller keeps `table` alive while it is installed.
std::span<const FormatEntry> installFormatTable(std::span<const FormatEntry> table);
// The row of a format value, or null outside the table.
const FormatEntry* formatEntry(int32_t format);

// ---- Video ----

// videoCodec (combo 1022) and the head of its encoder options. The heads of
// the built-in codec library end in ":v" so that "bitrate=" forms vbitrate;
// XVID and X264 end in a blank so that it forms their own bitrate option.
// Codecs 8 and 9 are complete fragments.
inline constexpr int kVideoCodecCopy = 8;
inline constexpr int kVideoCodecNone = 9;

struct VideoCodecEntry {
    const char* rowText;
    const char* head;
};

// Rows 10.. are the codecs of today, by the encoder's codec library; HEVC
// carries the "hvc1" tag that Apple's players ask of an MP4.
inline constexpr std::array<VideoCodecEntry, 13> kVideoCodecs = {{
    {"DIVX", " -ovc lavc -ffourcc DIVX -lavcopts vcodec=mpeg4:v"},
    {"XVID", " -ovc xvid -xvidencopts "},
    {"X264", " -ovc x264 -ffourcc H264 -x264encopts "},
    {"Flash", " -ovc lavc -lavcopts vcodec=flv:v"},
    {"MPEG1", " -ovc lavc -lavcopts vcodec=mpeg1video:v"},
    {"MPEG2", " -ovc lavc -lavcopts vcodec=mpeg2video:v"},
    {"WMVideo1", " -ovc lavc -lavcopts vcodec=wmv1:v"},
    {"WMVideo2", " -ovc lavc -lavcopts vcodec=wmv2:v"},
    {"原始复制", " -ovc copy"},
    {"无视频", " -ovc frameno -of rawaudio"},
    {"H265", " -ovc lavc -ffourcc hvc1 -lavcopts vcodec=libx265:v"},
    {"VP9", " -ovc lavc -lavcopts vcodec=libvpx-vp9:v"},
    {"AV1", " -ovc lavc -lavcopts vcodec=libsvtav1:v"},
}};
inline constexpr int kVideoCodecX264 = 2;
inline constexpr int kVideoCodecH265 = 10;
inline constexpr int kVideoCodecVp9 = 11;
inline constexpr int kVideoCodecAv1 = 12;

// videoBitrateIndex (combo 1024, rows "<n> kbps"). The VCD rate stands
// after 2000; the rates of high-definition video follow it (the encoder
// reads up to 16000 as kbit/s). The last rows ask for constant quality
// instead of a rate: their value is the whole option ("crf=23"), and the
// row reads "CRF 23".
inline constexpr std::array<const char*, 40> kVideoBitrates
    = {"100",    "128",    "200",    "256",    "300",    "384",    "400",    "500",    "512",    "600",
       "640",    "700",    "800",    "900",    "1000",   "1200",   "1500",   "1800",   "2000",   "1152",
       "2500",   "3000",   "4000",   "5000",   "6000",   "8000",   "10000",  "12000",  "16000",  "crf=18",
       "crf=20", "crf=22", "crf=23", "crf=24", "crf=26", "crf=28", "crf=30", "crf=32", "crf=35", "crf=38"};
inline constexpr const char* kConstantQualityPrefix = "crf=";
inline constexpr int kVideoCrf18 = 29;
inline constexpr int kVideoCrf22 = 31;
inline constexpr int kVideoCrf23 = 32;
inline constexpr int kVideoCrf28 = 35;
inline constexpr int kVideoCrf32 = 37;
inline constexpr int kVideoCrf35 = 38;

// frameSizeIndex (combo 1025): row 0 keeps the source size; rows 1..18 are
// "<w>*<h>" and give the scale filter "scale=<w>:<h>".
struct FrameSizeEntry {
    int width;
    int height;
    const char* rowText;
    const char* scaleFilter;
};

// Rows 19.. are boxes, not frames: the picture is fitted inside keeping its
// shape (turned upright first), never enlarged, at even sizes ("dsize" sets
// the largest display size, "scale=0:0" scales to it).
inline constexpr std::array<FrameSizeEntry, 23> kFrameSizes = {{
    {0, 0, "原始大小", ""},
    {128, 96, "128*96", "scale=128:96"},
    {128, 128, "128*128", "scale=128:128"},
    {160, 128, "160*128", "scale=160:128"},
    {176, 114, "176*114", "scale=176:114"},
    {176, 144, "176*144", "scale=176:144"},
    {220, 176, "220*176", "scale=220:176"},
    {320, 240, "320*240", "scale=320:240"},
    {352, 240, "352*240", "scale=352:240"},
    {352, 288, "352*288", "scale=352:288"},
    {368, 208, "368*208", "scale=368:208"},
    {480, 272, "480*272", "scale=480:272"},
    {480, 320, "480*320", "scale=480:320"},
    {480, 480, "480*480", "scale=480:480"},
    {480, 576, "480*576", "scale=480:576"},
    {512, 384, "512*384", "scale=512:384"},
    {640, 480, "640*480", "scale=640:480"},
    {720, 480, "720*480", "scale=720:480"},
    {720, 576, "720*576", "scale=720:576"},
    {854, 480, "854*480", "dsize=854:480:0:2,scale=0:0"},
    {1280, 720, "1280*720", "dsize=1280:720:0:2,scale=0:0"},
    {1920, 1080, "1920*1080", "dsize=1920:1080:0:2,scale=0:0"},
    {3840, 2160, "3840*2160", "dsize=3840:2160:0:2,scale=0:0"},
}};
inline constexpr int kFrameBox480 = 19;
inline constexpr int kFrameBox720 = 20;
inline constexpr int kFrameBox1080 = 21;
inline constexpr int kFrameBox2160 = 22;

// A row text and the encoder's text for it; row 0 of these combos keeps the
// source's value and gives the encoder nothing.
struct RowValue {
    const char* rowText;
    const char* value;
};

// frameRateIndex (combo 1026). 10 fps stands last.
inline constexpr std::array<RowValue, 13> kFrameRates = {{
    {"原始帧速", ""},
    {"13 fps", "13"},
    {"14.985 fps", "14.985"},
    {"15 fps", "15"},
    {"18 fps", "18"},
    {"20 fps", "20"},
    {"23 fps", "23"},
    {"23.976 fps", "24000/1001"},
    {"24 fps", "24"},
    {"25 fps", "25"},
    {"29.970 fps", "30000/1001"},
    {"30 fps", "30"},
    {"10 fps", "10"},
}};
inline constexpr int kFrameRateFilm = 7; // 24000/1001

// aspectIndex (combo 1036). Rows 4, 6 and 7 show no decimal point; the values do.
inline constexpr std::array<RowValue, 8> kAspects = {{
    {"原始比例", ""},
    {"1/1", "1/1"},
    {"40/33", "40/33"},
    {"4/3", "4/3"},
    {"166/1", "1.66/1"},
    {"16/9", "16/9"},
    {"185/1", "1.85/1"},
    {"239/1", "2.39/1"},
}};

// qualityIndex (the quality slider): macroblock decision options.
inline constexpr std::array<const char*, 6> kQualities
    = {"", ":mbd=0", ":mbd=1", ":mbd=1:mv0", ":mbd=2:mv0", ":mbd=2:mv0:trell"};

// ---- Audio ----

// audioCodec (combo 1027) and its encoder head. MP3 and AAC heads are
// followed by their own options; 3..6 and 9 by the bitrate; 7, 8 and 10 are
// complete (FLAC is lossless: no rate).
inline constexpr int kAudioCodecMp3 = 0;
inline constexpr int kAudioCodecAacMpeg2 = 1;
inline constexpr int kAudioCodecAacMpeg4 = 2;
inline constexpr int kAudioCodecCopy = 7;
inline constexpr int kAudioCodecNone = 8;
inline constexpr int kAudioCodecOpus = 9;
inline constexpr int kAudioCodecFlac = 10;

struct AudioCodecEntry {
    const char* rowText;
    const char* head;
};

inline constexpr std::array<AudioCodecEntry, 11> kAudioCodecs = {{
    {"MP3", " -oac mp3lame -lameopts "},
    {"AAC Mpeg2", " -oac faac -faacopts "},
    {"AAC Mpeg4", " -oac faac -faacopts "},
    {"AC3", " -oac lavc -lavcopts acodec=ac3:abitrate="},
    {"MP2", " -oac lavc -lavcopts acodec=mp2:abitrate="},
    {"WMAudio1", " -oac lavc -lavcopts acodec=wmav1:abitrate="},
    {"WMAudio2", " -oac lavc -lavcopts acodec=wmav2:abitrate="},
    {"原始复制", " -oac copy"},
    {"无音频", " -nosound -of rawvideo"},
    {"Opus", " -oac lavc -lavcopts acodec=libopus:abitrate="},
    {"FLAC", " -oac lavc -lavcopts acodec=flac"},
}};

// sampleRateIndex (combo 1028, rows "<n> Hz") and its option. The last row
// keeps the source's rate (a lossless copy of the sound).
struct SampleRateEntry {
    const char* rowText;
    const char* option;
};

inline constexpr std::array<SampleRateEntry, 6> kSampleRates = {{
    {"22050 Hz", " -srate 22050"},
    {"24000 Hz", " -srate 24000"},
    {"32000 Hz", " -srate 32000"},
    {"44100 Hz", " -srate 44100"},
    {"48000 Hz", " -srate 48000"},
    {"原始采样", ""},
}};
inline constexpr int kSampleRateSource = 5;

// channelMode (combo 1029) and its channel filter; row 0 has none.
inline constexpr std::array<RowValue, 5> kChannelModes = {{
    {"无", ""},
    {"立体声", " -af channels=2:2:0:0:0:1"},
    {"左声道", " -af channels=1:1:0:0"},
    {"右声道", " -af channels=1:1:1:0"},
    {"混合", " -af pan=1:0.5:0.5"},
}};

// audioBitrateIndex (combo 1030, rows "<n> kbps").
inline constexpr std::array<const char*, 12> kAudioBitrates
    = {"32", "48", "64", "80", "96", "112", "128", "160", "192", "224", "256", "320"};

// mp3Mode (combo 1032): the encoder receives the row index plus one.
inline constexpr std::array<const char*, 4> kMp3Modes = {"Stereo", "Joint", "Dual", "Mono"};

// mp3Method (combo 1033): rows 0 and 1 take audioBitrateIndex, 2..5 mp3VbrQuality.
inline constexpr std::array<RowValue, 6> kMp3Methods = {{
    {"abr", "abr"},
    {"cbr", "cbr"},
    {"vbr1", "vbr=1"},
    {"vbr2", "vbr=2"},
    {"vbr3", "vbr=3"},
    {"vbr4", "vbr=4"},
}};
inline constexpr int kMp3LastBitrateMethod = 1;

// The numeric combos: mp3VbrQuality (1035) rows "0".."9" are 0..9;
// mp3Volume (1031) rows "默认","0".."10" are 0..11; mp3AlgorithmQuality (1034)
// rows "默认","0".."9" are 0..10; audioStreamId (1037) rows "原始","1".."9" are 0..9.
inline constexpr std::array<const char*, 10> kMp3VbrQualityRows = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
inline constexpr std::array<const char*, 12> kMp3VolumeRows
    = {"默认", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
inline constexpr std::array<const char*, 11> kMp3AlgorithmQualityRows
    = {"默认", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
inline constexpr std::array<const char*, 10> kAudioStreamRows = {"原始", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

// The valid values of the 27 parameter integers, in their record order:
// the rows of each combo's table, 0/1 switches and the sliders' ranges.
struct ValueRange {
    int32_t min;
    int32_t max;
};

// The row indexes of a table: 0 .. its size - 1.
template <typename Table> constexpr ValueRange rowsOf(const Table&)
{
    return {0, static_cast<int32_t>(std::tuple_size_v<Table>) - 1};
}

inline constexpr ValueRange kSwitchValues = {0, 1};
// The picture sliders, in tenths.
inline constexpr ValueRange kGammaRange = {1, 100};
inline constexpr ValueRange kContrastRange = {-20, 20};
inline constexpr ValueRange kBrightnessRange = {-10, 10};
inline constexpr ValueRange kSaturationRange = {0, 30};
// AAC object types 1..4, stored minus one; only defaults and presets set them.
inline constexpr int32_t kAacObjectTypeCount = 4;

inline constexpr std::array<ValueRange, 27> kParameterRanges = {{
    rowsOf(kVideoCodecs), // videoCodec
    rowsOf(kVideoBitrates), // videoBitrateIndex
    rowsOf(kFrameSizes), // frameSizeIndex
    rowsOf(kFrameRates), // frameRateIndex
    rowsOf(kAspects), // aspectIndex
    kSwitchValues, // twoPass
    kSwitchValues, // turbo
    kSwitchValues, // deinterlace
    kSwitchValues, // inverseTelecine
    rowsOf(kQualities), // qualityIndex
    kSwitchValues, // pictureAdjust
    kGammaRange, // gamma
    kContrastRange, // contrast
    kBrightnessRange, // brightness
    kSaturationRange, // saturation
    rowsOf(kAudioCodecs), // audioCodec
    rowsOf(kSampleRates), // sampleRateIndex
    rowsOf(kAudioStreamRows), // audioStreamId
    rowsOf(kChannelModes), // channelMode
    kSwitchValues, // volumeNormalize
    rowsOf(kAudioBitrates), // audioBitrateIndex
    rowsOf(kMp3VbrQualityRows), // mp3VbrQuality
    rowsOf(kMp3VolumeRows), // mp3Volume
    rowsOf(kMp3Modes), // mp3Mode
    rowsOf(kMp3Methods), // mp3Method
    rowsOf(kMp3AlgorithmQualityRows), // mp3AlgorithmQuality
    {0, kAacObjectTypeCount - 1}, // aacObjectType
}};

// Row lookups that tolerate any stored integer.
template <typename T, std::size_t N> constexpr const T* tableEntry(const std::array<T, N>& table, int32_t index)
{
    return index >= 0 && static_cast<std::size_t>(index) < N ? &table[static_cast<std::size_t>(index)] : nullptr;
}

template <std::size_t N> constexpr const char* tableText(const std::array<const char*, N>& table, int32_t index)
{
    const char* const* p = tableEntry(table, index);
    return p ? *p : "";
}

// Name of a category, or "" outside 0..7.
constexpr const char* categoryName(int32_t category) { return tableText(kCategoryNames, category); }
// The category whose name is `name`, or -1.
int32_t categoryByName(std::string_view name);

} // namespace qf::convert
