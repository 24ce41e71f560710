// The format table: a row added to it is all a new format needs for its
// command lines, names and presets; every row keeps the invariants that the
// output naming and the post-processing rely on; the parameter ranges follow
// the value tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "convert/command_line_builder.h"
#include "convert/device_models.h"
#include "convert/value_tables.h"
#include "support/format_table.h"

namespace qf::convert {
namespace {

using test::ExtendedFormatTable;

constexpr const char* kPrefix = R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi")";

std::string text(const core::TextString& s) { return s.c_str(); }

CommandLineBuilder builderFor(int32_t category, int32_t model, int32_t defaultsFormat, int32_t format,
                              const char* source = "D:\\in\\clip.avi")
{
    CommandLineBuilder::setEncoderPath("\"C:/Tools/Conv/ALDER.DAT\"");
    CommandLineBuilder b;
    b.sourcePath = source;
    b.selectModel(category, model, defaultsFormat);
    b.outputFormat = format;
    b.makeOutputPath("D:/out");
    return b;
}

TEST(FormatTable, AnAddedAudioRowGivesItsOwnSingleLineNameAndLabels)
{
    const ExtendedFormatTable table{test::kTestAudioFormat};
    const int32_t format = ExtendedFormatTable::added();
    CommandLineBuilder b = builderFor(kCategoryMp3, 0, format, format);
    b.videoCodec = 1; // an audio-only row takes the video away whatever the panel says
    b.audioStreamId = 2;
    b.extraVideoCodecOptions = ":x=1";
    b.buildCommands();

    EXPECT_EQ(text(b.outputPath), "D:/out/clip.avi-m4a.m4a");
    EXPECT_EQ(text(b.firstCommand()),
              std::string(kPrefix)
                  + R"(  -srate 48000 -aid 2 -oac mp3lame -lameopts abr:br=128:mode=1)"
                    R"( -ovc frameno -of rawaudio:x=1 -o "D:/out/clip.avi-m4a.m4a")");
    EXPECT_TRUE(b.secondCommand().empty());
    EXPECT_TRUE(b.intermediateBase().empty());
    EXPECT_EQ(b.videoCodec, kVideoCodecNone);
    EXPECT_STREQ(b.formatLabel(), "m4a-AAC");
    EXPECT_STREQ(formatChoiceLabel(format), "m4a");
    EXPECT_EQ(text(b.outputPathForFormat(kFormatMp3)), "D:/out/clip.avi-mp3.mp3");
    b.outputFormat = kFormatMp3;
    b.makeOutputPath("D:/out");
    EXPECT_EQ(text(b.outputPathForFormat(format)), "D:/out/clip.avi-m4a.m4a");
}

TEST(FormatTable, AnAddedIntermediateRowWritesItsIntermediateAndRewritesOnlyTheOptions)
{
    const ExtendedFormatTable table{test::kTestAudioFormat, test::kTestMuxedFormat};
    const int32_t format = ExtendedFormatTable::added(1);
    // The phone's XVID defaults; the source's own name holds the replaced text.
    CommandLineBuilder b = builderFor(kCategoryPhone, 0, kFormatMp4Xvid, format, "D:/in/harddup.avi");
    b.buildCommands();
    EXPECT_EQ(text(b.firstCommand()),
              R"("C:/Tools/Conv/ALDER.DAT" "D:/in/harddup.avi" -sws 9 -af volnorm -srate 44100)"
              R"( -vf-add scale=320:240,harddup,crop=16:16 -oac faac -faacopts br=32:mpeg=4:object=2)"
              R"( -ovc xvid -xvidencopts bitrate=128:max_bframes=0 -o "D:/out/harddup.avi-tab.avi")");
    EXPECT_EQ(text(b.intermediateBase()), "D:/out/harddup.avi-tab");
    EXPECT_TRUE(b.secondCommand().empty());
    EXPECT_EQ(b.videoCodec, 1) << "a video row keeps its codec";
}

TEST(FormatTable, PresetsOfAnAddedFormatLiveExactlyAsLongAsItsRow)
{
    DeviceModel entry;
    entry.isPreset = true;
    entry.category = kCategoryMp3;
    entry.name = "m4a";
    core::ByteBuffer record;
    DeviceModelList presets;
    DeviceModelList list;
    {
        const ExtendedFormatTable table{test::kTestAudioFormat};
        const int32_t format = ExtendedFormatTable::added();
        ConversionSettings settings;
        settings.selectModel(kCategoryMp3, 0, format);
        EXPECT_EQ(addPreset("m4a", settings, presets, list), 0);
        ASSERT_EQ(presets.size(), 1);
        EXPECT_EQ(text(presets.at(0)->formats.at(0).label), "m4a");
        presets.at(0)->encode(record);
        DeviceModel read;
        EXPECT_TRUE(read.decode(record));
        EXPECT_EQ(read.formats.at(0).format, format);
    }
    // Without the row the same record names a format nothing can make.
    DeviceModel read;
    EXPECT_FALSE(read.decode(record));
    ConversionSettings settings;
    settings.selectModel(kCategoryMp3, 0, ExtendedFormatTable::added());
    EXPECT_EQ(addPreset("m4a", settings, presets, list), -1);
    EXPECT_EQ(formatEntry(ExtendedFormatTable::added()), nullptr);
    EXPECT_EQ(formatTable().size(), kFormats.size());
}

// What makeOutputPath, outputPathForFormat, the builder and the
// post-processing assume of every row, the added ones included.
void expectSoundRow(const FormatEntry& row, const std::string& name)
{
    EXPECT_NE(*row.label, 0) << name;
    EXPECT_NE(*row.panelLabel, 0) << name;
    // outputPathForFormat cuts the path before its last "-": the suffix
    // holds exactly one, at its start, and ends in an extension.
    const std::string suffix = row.suffix;
    ASSERT_GE(suffix.size(), 3u) << name;
    EXPECT_EQ(suffix.rfind('-'), 0u) << name;
    EXPECT_NE(suffix.find('.'), std::string::npos) << name;
    const std::string intermediate = row.intermediateExtension;
    if (row.layout == CommandLayout::Intermediate) {
        ASSERT_FALSE(intermediate.empty()) << name;
        // The encoder's file is the output, or the muxing steps read an
        // AVI and name their file base + the container's extension.
        const std::string written = [&]() -> std::string {
            switch (row.postProcessing) {
            case PostProcessing::None: return intermediate;
            case PostProcessing::Mux3gp: return ".3gp";
            case PostProcessing::MuxPmp: return ".pmp";
            case PostProcessing::MuxMp4WithAtoms:
            case PostProcessing::MuxMp4: return ".mp4";
            }
            return "?";
        }();
        EXPECT_EQ(suffix.substr(suffix.size() - std::min(suffix.size(), written.size())), written) << name;
        if (row.postProcessing != PostProcessing::None) {
            EXPECT_EQ(intermediate, ".avi") << name << ": the muxing steps read an AVI";
        }
    } else {
        EXPECT_TRUE(intermediate.empty()) << name;
        EXPECT_EQ(row.postProcessing, PostProcessing::None) << name << ": nothing to post-process";
        EXPECT_TRUE(row.optionRewrites.empty()) << name << ": replacements are made on intermediate commands";
    }
    if (row.audioOnly) {
        EXPECT_NE(row.layout, CommandLayout::TwoPass) << name << ": the pass-one command is video only";
    }
}

TEST(FormatTable, EveryRowKeepsTheInvariantsOfNamingAndPostProcessing)
{
    for (size_t i = 0; i < kFormats.size(); ++i)
        expectSoundRow(kFormats[i], "built-in " + std::to_string(i));
    expectSoundRow(test::kTestAudioFormat, "test audio");
    expectSoundRow(test::kTestMuxedFormat, "test muxed");
    // Exactly the formats the builder forces to "no video" are audio-only.
    for (size_t i = 0; i < kFormats.size(); ++i) {
        const auto f = int32_t(i);
        EXPECT_EQ(kFormats[i].audioOnly,
                  f == kFormatMp3 || f == kFormatWma || f == kFormatM4a || f == kFormatFlac || f == kFormatOpus)
            << i;
    }
}

TEST(FormatTable, InstallingTheEmptyTableRestoresTheBuiltInRows)
{
    const FormatEntry one[] = {test::kTestAudioFormat};
    const std::span<const FormatEntry> before = installFormatTable(one);
    EXPECT_EQ(formatTable().size(), 1u);
    EXPECT_STREQ(formatSuffix(0), "-m4a.m4a");
    EXPECT_STREQ(formatSuffix(1), "");
    installFormatTable({});
    EXPECT_EQ(formatTable().data(), kFormats.data());
    installFormatTable(before);
}

TEST(ParameterRanges, FollowTheValueTablesAndTheSliders)
{
    // The CLI and the preset checks accept exactly these values.
    const ValueRange expected[ConversionSettings::kParameterCount]
        = {{0, 12}, {0, 39}, {0, 22},  {0, 12},   {0, 7},    {0, 1},  {0, 1},  {0, 1},  {0, 1},
           {0, 5},  {0, 1},  {1, 100}, {-20, 20}, {-10, 10}, {0, 30}, {0, 10}, {0, 5},  {0, 9},
           {0, 4},  {0, 1},  {0, 11},  {0, 9},    {0, 11},   {0, 3},  {0, 5},  {0, 10}, {0, 3}};
    for (int i = 0; i < ConversionSettings::kParameterCount; ++i) {
        EXPECT_EQ(kParameterRanges[size_t(i)].min, expected[i].min) << ConversionSettings::parameterName(i);
        EXPECT_EQ(kParameterRanges[size_t(i)].max, expected[i].max) << ConversionSettings::parameterName(i);
    }
}

} // namespace
} // namespace qf::convert
