// The settings record, model defaults, preset blocks and model lists.

#include <gtest/gtest.h>

#include <string>

#include "convert/conversion_settings.h"
#include "convert/device_models.h"
#include "convert/value_tables.h"

namespace qf::convert {
namespace {

std::string str(const core::TextString& t) { return t.c_str(); }

TEST(ConversionSettings, CopyFromKeepsATasksOwnPaths)
{
    ConversionSettings panel;
    panel.selectModel(4, 1, 10);
    panel.startTime = "00:00:05";
    panel.sourcePath = "/p/src.avi";
    panel.outputPath = "/p/out.mpg";

    ConversionSettings task;
    task.sourcePath = "/t/mine.avi";
    task.outputPath = "/t/mine.avi-flv.flv";
    task.copyFrom(panel);
    EXPECT_EQ(task.category, 4);
    EXPECT_EQ(task.model, 1);
    EXPECT_EQ(task.outputFormat, 10);
    for (int i = 0; i < ConversionSettings::kParameterCount; ++i)
        EXPECT_EQ(task.parameter(i), panel.parameter(i)) << ConversionSettings::parameterName(i);
    EXPECT_EQ(str(task.startTime), "00:00:05");
    EXPECT_EQ(str(task.containerOptions), "-of mpeg -mpegopts format=dvd:tsaf:telecine");
    EXPECT_EQ(str(task.sourcePath), "/t/mine.avi");
    EXPECT_EQ(str(task.outputPath), "/t/mine.avi-flv.flv");

    ConversionSettings fresh;
    fresh.copyFrom(panel);
    EXPECT_EQ(str(fresh.sourcePath), "/p/src.avi");
    EXPECT_EQ(str(fresh.outputPath), "/p/out.mpg");

    fresh.copyFrom(fresh);
    EXPECT_EQ(str(fresh.sourcePath), "/p/src.avi");
}

TEST(ConversionSettings, TakesTheProbedFlags)
{
    ConversionSettings s;
    EXPECT_TRUE(s.media.hasVideo);
    EXPECT_TRUE(s.media.hasAudio);
    probe::MediaFacts facts;
    facts.hasVideo = false;
    facts.hasAudio = true;
    facts.format = "Wave";
    facts.audioFormat = "PCM";
    s.takeMediaSummary(facts);
    EXPECT_FALSE(s.media.hasVideo);
    EXPECT_TRUE(s.media.hasAudio);
    EXPECT_EQ(str(s.media.format), "Wave");
    EXPECT_EQ(str(s.media.audioFormat), "PCM");
}

TEST(ModelDefaults, SelectingAModelForgetsThePreviousDevice)
{
    ConversionSettings s;
    s.selectModel(4, 0, 10);
    s.selectModel(0, 0, 0);
    EXPECT_EQ(str(s.extraAudioFilters), "");
    EXPECT_EQ(str(s.containerOptions), "");
    EXPECT_EQ(s.volumeNormalize, 0);
    EXPECT_EQ(s.twoPass, 0);

    s.selectModel(1, 0, 7);
    EXPECT_EQ(s.qualityIndex, 5);
    s.selectModel(1, 0, 5);
    EXPECT_EQ(s.qualityIndex, 0);
}

struct DefaultsCase {
    int32_t category, model, format;
    int32_t videoCodec, bitrate, size, rate, audioCodec, sampleRate, audioBitrate, twoPass, volnorm;
    const char* container;
};

// One row per kind of default: each reset and the rows with their own values.
const DefaultsCase kDefaultsCases[] = {
    {0, 0, 5, 2, 3, 7, 3, 2, 4, 4, 0, 1, "-of lavf -lavfopts format=mp4 -sws 9"},
    {0, 0, 6, 1, 1, 7, 0, 2, 3, 0, 0, 1, "-sws 9"},
    {1, 2, 6, 1, 7, 16, 10, 2, 4, 6, 0, 1, "-sws 9"},
    {1, 3, 8, 9, 0, 0, 0, 0, 4, 6, 0, 0, ""},
    {2, 0, 4, 0, 7, 10, 10, 2, 1, 2, 0, 1, "-of lavf -lavfopts format=mp4 -sws 9"},
    {2, 0, 8, 9, 0, 0, 0, 0, 4, 6, 0, 0, ""},
    {4, 0, 11, 5, 18, 18, 9, 3, 4, 6, 1, 1, "-of mpeg -mpegopts format=dvd"},
    {5, 0, 11, 5, 18, 14, 9, 4, 3, 6, 1, 1, "-of mpeg -mpegopts format=xsvcd"},
    {5, 1, 10, 4, 19, 8, 10, 4, 3, 9, 1, 1, "-of mpeg -mpegopts format=xvcd"},
    {5, 1, 11, 4, 19, 9, 9, 4, 3, 9, 1, 1, "-of mpeg -mpegopts format=xvcd"},
    {6, 0, 13, 9, 7, 7, 0, 6, 3, 4, 0, 1, "-of lavf -lavfopts format=wmv"},
    {7, 0, 8, 9, 0, 0, 0, 0, 4, 6, 0, 0, ""},
};

TEST(ModelDefaults, RepresentativeRows)
{
    for (const DefaultsCase& c : kDefaultsCases) {
        SCOPED_TRACE(std::to_string(c.category) + "/" + std::to_string(c.model) + "/" + std::to_string(c.format));
        ConversionSettings s;
        s.selectModel(c.category, c.model, c.format);
        EXPECT_EQ(s.videoCodec, c.videoCodec);
        EXPECT_EQ(s.videoBitrateIndex, c.bitrate);
        EXPECT_EQ(s.frameSizeIndex, c.size);
        EXPECT_EQ(s.frameRateIndex, c.rate);
        EXPECT_EQ(s.audioCodec, c.audioCodec);
        EXPECT_EQ(s.sampleRateIndex, c.sampleRate);
        EXPECT_EQ(s.audioBitrateIndex, c.audioBitrate);
        EXPECT_EQ(s.twoPass, c.twoPass);
        EXPECT_EQ(s.turbo, c.twoPass);
        EXPECT_EQ(s.volumeNormalize, c.volnorm);
        EXPECT_EQ(str(s.containerOptions), c.container);
    }
}

TEST(ModelDefaults, UnnamedCombinationsOnlyStoreTheChoice)
{
    ConversionSettings s;
    s.selectModel(3, 0, 9);
    ConversionSettings before = s;
    s.selectModel(1, 5, 5); // no such IPOD model
    EXPECT_EQ(s.category, 1);
    EXPECT_EQ(s.model, 5);
    for (int i = 0; i < ConversionSettings::kParameterCount; ++i)
        EXPECT_EQ(s.parameter(i), before.parameter(i));
    EXPECT_EQ(str(s.containerOptions), "");

    // A further DVD model index (a user preset's) gets what DVD and DVD-Film share.
    s.selectModel(4, 3, 11);
    EXPECT_EQ(s.videoCodec, 5);
    EXPECT_EQ(s.frameSizeIndex, 18);
    EXPECT_EQ(s.frameRateIndex, 0); // not shared: left as it was
    EXPECT_EQ(s.twoPass, 1);
    EXPECT_EQ(str(s.extraVideoFilters), "harddup");
    EXPECT_EQ(str(s.extraAudioFilters), ",lavcresample=48000");
    EXPECT_EQ(str(s.containerOptions), "");
    EXPECT_EQ(str(s.extraVideoCodecOptions), "");
}

TEST(PresetBlock, RoundTripsAndRefusesBrokenBlocks)
{
    ConversionSettings a;
    a.selectModel(4, 1, 10);
    a.contrast = -15;
    a.aacObjectType = 3;
    core::ByteBuffer block;
    a.saveParameters(block);
    EXPECT_EQ(block.length(),
              27u * 8 + 5 * 4 + a.containerOptions.length() + a.extraVideoCodecOptions.length()
                  + a.extraVideoFilters.length() + a.extraAudioCodecOptions.length() + a.extraAudioFilters.length());

    ConversionSettings b;
    b.selectModelFromPreset(4, 2, 10, block);
    EXPECT_EQ(b.model, 2);
    for (int i = 0; i < ConversionSettings::kParameterCount; ++i)
        EXPECT_EQ(b.parameter(i), a.parameter(i));
    EXPECT_EQ(str(b.containerOptions), str(a.containerOptions));
    EXPECT_EQ(str(b.extraAudioFilters), ",lavcresample=48000");

    // An integer item of length 3: the block is unreadable, the defaults apply.
    core::ByteBuffer bad;
    const uint8_t three[3] = {1, 0, 0};
    bad.appendBlock(three, 3);
    ConversionSettings c;
    c.selectModelFromPreset(2, 1, 1, bad);
    ConversionSettings expected;
    expected.selectModel(2, 1, 1);
    for (int i = 0; i < ConversionSettings::kParameterCount; ++i)
        EXPECT_EQ(c.parameter(i), expected.parameter(i));
    EXPECT_EQ(str(c.extraVideoCodecOptions), ":level_idc=13:pictiming:nopsnr:nossim");

    // A block cut inside the strings changes nothing at all.
    core::ByteBuffer cut;
    cut.appendBytes(block.data(), block.length() - 3);
    ConversionSettings d;
    d.selectModel(3, 0, 9);
    ConversionSettings unchanged = d;
    EXPECT_FALSE(d.loadParameters(cut));
    for (int i = 0; i < ConversionSettings::kParameterCount; ++i)
        EXPECT_EQ(d.parameter(i), unchanged.parameter(i));
    EXPECT_EQ(str(d.containerOptions), str(unchanged.containerOptions));
}

TEST(ModelList, PresetsFirstAndBuiltInModelsKeepTheirIndexes)
{
    DeviceModelList presets;
    DeviceModelList panel;
    buildCategoryList(4, presets, panel);
    ASSERT_EQ(panel.size(), 2);
    EXPECT_EQ(str(panel.at(1)->name), "DVD-Film");
    EXPECT_EQ(panel.at(1)->modelIndex, 1);
    ASSERT_EQ(panel.at(0)->formats.size(), 2u);
    EXPECT_EQ(str(panel.at(0)->formats[1].label), "mpg-PAL");

    ConversionSettings film;
    panel.at(1)->applyTo(film, 10);
    EXPECT_EQ(addPreset("我的影碟", film, presets, panel), 0);
    ConversionSettings phone;
    phone.selectModel(0, 0, 0);
    EXPECT_EQ(addPreset("phone", phone, presets, panel), 1); // into the panel's list all the same
    EXPECT_EQ(addPreset("none", ConversionSettings(), presets, panel), -1);

    buildCategoryList(4, presets, panel);
    ASSERT_EQ(panel.size(), 3);
    EXPECT_TRUE(panel.at(0)->isPreset);
    EXPECT_EQ(str(panel.at(0)->name), "我的影碟");
    EXPECT_EQ(panel.at(0)->modelIndex, 2);
    EXPECT_EQ(str(panel.at(1)->name), "DVD");
    EXPECT_EQ(panel.at(1)->modelIndex, 0);
    EXPECT_EQ(panel.at(2)->modelIndex, 1);
    EXPECT_EQ(panel.rowOfModel(1), 2);
    ASSERT_EQ(panel.at(0)->formats.size(), 1u);
    EXPECT_EQ(panel.at(0)->formats[0].format, 10);

    // DVD-Film's own defaults still reach it with a preset ahead of it.
    ConversionSettings s;
    panel.at(2)->applyTo(s, 10);
    EXPECT_EQ(s.model, 1);
    EXPECT_EQ(str(s.containerOptions), "-of mpeg -mpegopts format=dvd:tsaf:telecine");

    // The preset gives back the film settings.
    ConversionSettings fromPreset;
    panel.at(0)->applyTo(fromPreset, 10);
    EXPECT_EQ(fromPreset.frameRateIndex, 7);
    EXPECT_EQ(str(fromPreset.containerOptions), "-of mpeg -mpegopts format=dvd:tsaf:telecine");

    // Flash Player lists "flv" in its format combo; the task list says "flv-Flash".
    buildCategoryList(3, presets, panel);
    EXPECT_EQ(str(panel.at(0)->formats[0].label), "flv");
    buildCategoryList(kCategoryCount, presets, panel);
    EXPECT_EQ(panel.size(), 0);
}

TEST(ModelList, SaveInsertsAfterTheLeadingPresets)
{
    DeviceModelList presets;
    DeviceModelList panel;
    buildCategoryList(1, presets, panel);
    ConversionSettings s;
    s.selectModel(1, 0, 5);
    EXPECT_EQ(addPreset("a", s, presets, panel), 0);
    EXPECT_EQ(addPreset("b", s, presets, panel), 1);
    ASSERT_EQ(panel.size(), 6);
    EXPECT_EQ(str(panel.at(1)->name), "b");
    EXPECT_EQ(str(panel.at(2)->name), "Touch");
    EXPECT_EQ(panel.at(0)->modelIndex, 4);
    EXPECT_EQ(panel.at(1)->modelIndex, 5);
    EXPECT_EQ(panel.at(5)->modelIndex, 3);
    EXPECT_EQ(presets.size(), 2);
}

} // namespace
} // namespace qf::convert
