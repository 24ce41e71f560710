// The parameter panel: the category -> model -> format chain, the enable
// rules, the switches and sliders, the time pickers, showing a task's
// settings, a new preset, and the painted labels.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <vector>

#include "convert/device_models.h"
#include "core/messages.h"
#include "settings/settings.h"
#include "support/format_table.h"
#include "ui/controls/skin_combo_box.h"
#include "ui/controls/skin_slider.h"
#include "ui/controls/skin_time_picker.h"
#include "ui/controls/switch_button.h"
#include "ui/convert/parameter_panel.h"
#include "ui/shell/message_dispatch.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"
#include "ui/ui_test_support.h"

using namespace qf;
using namespace qf::ui;
using qf::convert::ConversionSettings;

namespace {

// The main window's side of WM_MAIN_REQUEST: every request in arrival order.
class RequestHub : public MessageWidget {
public:
    struct Request {
        uint32_t code;
        intptr_t lParam;
    };

    RequestHub()
    {
        messages().onAny(core::WM_MAIN_REQUEST, [this](const core::Message& m) {
            requests.push_back({MessageTable::codeOf(m), m.lParam});
            return intptr_t{1};
        });
    }

    std::vector<Request> of(uint32_t code) const
    {
        std::vector<Request> out;
        for (const Request& r : requests)
            if (r.code == code)
                out.push_back(r);
        return out;
    }

    std::vector<Request> requests;
};

// Every test starts without user presets and leaves the process-wide list as it found it.
class PanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = settings::current().record().presets;
        settings::current().record().presets.clear();
    }
    void TearDown() override { settings::current().record().presets = saved_; }

    // Chooses a row as the user does; the combo's selection logic runs.
    static void choose(ParameterPanel& panel, int id, int row) { panel.combo(id)->setCurrentIndex(row); }
    static bool enabled(ParameterPanel& panel, int id) { return panel.control(id)->isEnabled(); }
    static QStringList rows(ParameterPanel& panel, int id)
    {
        QStringList out;
        for (int i = 0; i < panel.combo(id)->count(); ++i)
            out.append(panel.combo(id)->itemText(i));
        return out;
    }

    RequestHub hub;

private:
    convert::DeviceModelList saved_;
};

// The 27 integers and the five preset strings of two records agree.
void expectSameParameters(const ConversionSettings& actual, const ConversionSettings& expected)
{
    for (int i = 0; i < ConversionSettings::kParameterCount; ++i)
        EXPECT_EQ(actual.parameter(i), expected.parameter(i)) << ConversionSettings::parameterName(i);
    EXPECT_EQ(actual.containerOptions, expected.containerOptions);
    EXPECT_EQ(actual.extraVideoCodecOptions, expected.extraVideoCodecOptions);
    EXPECT_EQ(actual.extraVideoFilters, expected.extraVideoFilters);
    EXPECT_EQ(actual.extraAudioCodecOptions, expected.extraAudioCodecOptions);
    EXPECT_EQ(actual.extraAudioFilters, expected.extraAudioFilters);
}

void clickSwitch(ParameterPanel& panel, int id)
{
    test::click(panel.switchButton(id), QPoint(7, 7));
    QCoreApplication::processEvents();
}

constexpr int kVideoCombos[] = {1022, 1024, 1025, 1026, 1036};
constexpr int kMp3Combos[] = {1035, 1031, 1032, 1033, 1034};
constexpr int kPictureSwitches[] = {1008, 1010, 1012, 1014};
constexpr int kPictureSliders[] = {1007, 1009, 1011, 1013};

} // namespace

TEST_F(PanelTest, SetUpShowsTheFirstCategoryAndPostsTheCaptureRequest)
{
    ParameterPanel panel(&hub);
    // The format change of the set-up is sent; the capture request is only posted.
    ASSERT_EQ(hub.of(core::REQ_REFRESH_SELECTED).size(), 1u);
    EXPECT_EQ(hub.of(core::REQ_REFRESH_SELECTED)[0].lParam, 0);
    EXPECT_TRUE(hub.of(core::REQ_CAPTURE_PANEL).empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(hub.of(core::REQ_CAPTURE_PANEL).size(), 1u);
    EXPECT_EQ(hub.of(core::REQ_CAPTURE_PANEL)[0].lParam, 0);
    EXPECT_EQ(hub.requests.back().code, core::REQ_CAPTURE_PANEL) << "capture comes after the set-up";

    EXPECT_EQ(panel.combo(1019)->currentText(), QStringLiteral("手机"));
    EXPECT_EQ(rows(panel, 1020), QStringList{QStringLiteral("默认参数")});
    EXPECT_EQ(rows(panel, 1021),
              (QStringList{QStringLiteral("3gp"), QStringLiteral("mp4-X264,AAC"), QStringLiteral("mp4-XVID,AAC"),
                           QStringLiteral("mp3")}));
    ConversionSettings expected;
    expected.selectModel(0, 0, 0);
    expectSameParameters(panel.settings(), expected);
    EXPECT_EQ(panel.settings().category, 0);
    EXPECT_EQ(panel.combo(1022)->currentText(), QStringLiteral("XVID"));
    EXPECT_EQ(panel.combo(1025)->currentText(), QStringLiteral("176*114"));
    EXPECT_EQ(panel.combo(1026)->currentText(), QStringLiteral("10 fps"));

    EXPECT_FALSE(panel.timePicker(1002)->isChecked());
    EXPECT_TRUE(panel.currentSettings()->endPosition.empty());
    EXPECT_TRUE(panel.currentSettings()->startTime.empty());

    ParameterPanel orphan(nullptr); // a panel without a hub sets itself up all the same
    QCoreApplication::processEvents();
    EXPECT_EQ(orphan.settings().category, 0);
}

TEST_F(PanelTest, TheChainFillsTheRecordWithTheDefaultsOfTheChosenModelAndFormat)
{
    ParameterPanel panel(&hub);
    QCoreApplication::processEvents();
    hub.requests.clear();

    choose(panel, 1019, 2); // PSP
    EXPECT_EQ(rows(panel, 1020), QStringList{QStringLiteral("默认参数")});
    EXPECT_EQ(rows(panel, 1021).size(), 5);
    EXPECT_EQ(panel.settings().outputFormat, 1) << "the first format of the model is chosen";
    choose(panel, 1021, 1); // mp4-X264,AAC for the PSP: format 2

    ConversionSettings expected;
    expected.selectModel(2, 0, 2);
    expectSameParameters(panel.settings(), expected);
    const ConversionSettings& s = panel.settings();
    EXPECT_EQ(s.category, 2);
    EXPECT_EQ(s.outputFormat, 2);
    EXPECT_EQ(s.videoCodec, 2);
    EXPECT_EQ(s.videoBitrateIndex, 7);
    EXPECT_EQ(s.frameSizeIndex, 10);
    EXPECT_EQ(s.sampleRateIndex, 4);
    EXPECT_EQ(s.extraVideoCodecOptions, ":level_idc=30:bframes=3:frameref=2:global_header:partitions=all");
    EXPECT_EQ(panel.combo(1022)->currentText(), QStringLiteral("X264"));
    EXPECT_EQ(panel.combo(1024)->currentText(), QStringLiteral("500 kbps"));
    EXPECT_EQ(panel.combo(1025)->currentText(), QStringLiteral("368*208"));
    EXPECT_EQ(panel.combo(1028)->currentText(), QStringLiteral("48000 Hz"));

    // Every format change is reported with its format: 1 from the category change, then 2.
    const auto refreshes = hub.of(core::REQ_REFRESH_SELECTED);
    ASSERT_EQ(refreshes.size(), 2u);
    EXPECT_EQ(refreshes[0].lParam, 1);
    EXPECT_EQ(refreshes[1].lParam, 2);

    // A model change runs the chain from the model: IPOD Shuffle lists mp3 only.
    choose(panel, 1019, 1);
    EXPECT_EQ(rows(panel, 1020).size(), 4);
    choose(panel, 1020, 3);
    EXPECT_EQ(rows(panel, 1021), QStringList{QStringLiteral("mp3")});
    EXPECT_EQ(panel.settings().model, 3);
    EXPECT_EQ(panel.settings().outputFormat, 8);
    EXPECT_EQ(panel.settings().videoCodec, 9);
    EXPECT_EQ(hub.requests.back().lParam, 8);

    // A value combo only stores its row.
    choose(panel, 1019, 3); // Flash Player
    EXPECT_EQ(rows(panel, 1021), QStringList{QStringLiteral("flv")});
    hub.requests.clear();
    choose(panel, 1024, 19);
    choose(panel, 1036, 4);
    EXPECT_EQ(panel.settings().videoBitrateIndex, 19);
    EXPECT_EQ(panel.settings().aspectIndex, 4);
    EXPECT_EQ(panel.combo(1024)->currentText(), QStringLiteral("1152 kbps"));
    EXPECT_EQ(panel.combo(1036)->currentText(), QStringLiteral("166/1"));
    EXPECT_TRUE(hub.requests.empty());

    // Today's categories show their models and defaults from the same tables:
    // constant quality reads "CRF", the box is a size row.
    choose(panel, 1019, 8); // 通用高清
    EXPECT_EQ(rows(panel, 1020),
              (QStringList{QStringLiteral("2160p"), QStringLiteral("1080p"), QStringLiteral("720p"),
                           QStringLiteral("480p"), QStringLiteral("原始大小")}));
    choose(panel, 1020, 1);
    EXPECT_EQ(rows(panel, 1021), QStringList{QStringLiteral("mp4-H264,AAC")});
    EXPECT_EQ(panel.combo(1024)->currentText(), QStringLiteral("CRF 22"));
    EXPECT_EQ(panel.combo(1025)->currentText(), QStringLiteral("1920*1080"));
    EXPECT_EQ(panel.combo(1022)->currentText(), QStringLiteral("X264"));
    choose(panel, 1019, 12); // 音乐/无损: m4a, flac, opus
    choose(panel, 1021, 1);
    EXPECT_EQ(panel.settings().outputFormat, 20);
    EXPECT_EQ(panel.combo(1027)->currentText(), QStringLiteral("FLAC"));
    EXPECT_EQ(panel.combo(1028)->currentText(), QStringLiteral("原始采样"));
    for (int id : kVideoCombos)
        EXPECT_FALSE(enabled(panel, id)) << id;
}

TEST_F(PanelTest, AudioOnlyFormatsDisableTheVideoCombosAndPmpTheChannelCombo)
{
    ParameterPanel panel(&hub);
    for (int id : kVideoCombos)
        EXPECT_TRUE(enabled(panel, id)) << id;
    choose(panel, 1021, 3); // 手机: mp3
    for (int id : kVideoCombos)
        EXPECT_FALSE(enabled(panel, id)) << id;
    choose(panel, 1021, 1); // mp4
    for (int id : kVideoCombos)
        EXPECT_TRUE(enabled(panel, id)) << id;

    choose(panel, 1019, 6); // Windows Media: wmv, wma
    for (int id : kVideoCombos)
        EXPECT_TRUE(enabled(panel, id)) << id;
    choose(panel, 1021, 1);
    EXPECT_EQ(panel.settings().outputFormat, 13);
    for (int id : kVideoCombos)
        EXPECT_FALSE(enabled(panel, id)) << id;

    EXPECT_TRUE(enabled(panel, 1029));
    choose(panel, 1019, 2); // PSP, first format pmp
    EXPECT_EQ(panel.settings().outputFormat, 1);
    EXPECT_FALSE(enabled(panel, 1029));
    EXPECT_EQ(panel.settings().channelMode, 0) << "the defaults' value stays";
    EXPECT_TRUE(enabled(panel, 1028));
    choose(panel, 1021, 1);
    EXPECT_TRUE(enabled(panel, 1029));
}

TEST_F(PanelTest, AnAddedFormatRowBringsItsLabelAndItsEnableRules)
{
    using convert::test::ExtendedFormatTable;
    const ExtendedFormatTable table{convert::test::kTestAudioFormat, convert::test::kTestMuxedFormat};
    // The user's presets are the way a format that no built-in model lists reaches the combo.
    convert::DeviceModelList list;
    ConversionSettings song;
    song.selectModel(7, 0, ExtendedFormatTable::added(0));
    ASSERT_GE(settings::addPreset("歌", song, list), 0);
    ConversionSettings film;
    film.selectModel(2, 0, ExtendedFormatTable::added(1));
    ASSERT_GE(settings::addPreset("片", film, list), 0);

    ParameterPanel panel(&hub);
    choose(panel, 1019, 2);
    EXPECT_EQ(panel.combo(1020)->currentText(), QStringLiteral("片"));
    EXPECT_EQ(rows(panel, 1021), QStringList{QStringLiteral("tab-mp4")});
    EXPECT_EQ(panel.settings().outputFormat, ExtendedFormatTable::added(1));
    for (int id : kVideoCombos)
        EXPECT_TRUE(enabled(panel, id)) << id;
    EXPECT_TRUE(enabled(panel, 1029));
    const ConversionSettings fromPreset = *panel.currentSettings();

    choose(panel, 1019, 7);
    EXPECT_EQ(panel.combo(1020)->currentText(), QStringLiteral("歌"));
    EXPECT_EQ(rows(panel, 1021), QStringList{QStringLiteral("m4a")});
    EXPECT_EQ(panel.settings().outputFormat, ExtendedFormatTable::added(0));
    for (int id : kVideoCombos)
        EXPECT_FALSE(enabled(panel, id)) << id;
    EXPECT_FALSE(enabled(panel, 1029)) << "its options fix the channels";

    // A task made with the added format shows it again, with its rules.
    panel.applySettings(fromPreset);
    EXPECT_EQ(panel.combo(1021)->currentText(), QStringLiteral("tab-mp4"));
    for (int id : kVideoCombos)
        EXPECT_TRUE(enabled(panel, id)) << id;
    EXPECT_TRUE(enabled(panel, 1029));
}

TEST_F(PanelTest, TheMp3CombosFollowTheAudioCodecAndTheRateMethod)
{
    ParameterPanel panel(&hub);
    choose(panel, 1019, 3); // Flash Player: MP3, cbr
    ASSERT_EQ(panel.settings().audioCodec, 0);
    ASSERT_EQ(panel.settings().mp3Method, 1);
    for (int id : {1031, 1032, 1033, 1034})
        EXPECT_TRUE(enabled(panel, id)) << id;
    EXPECT_TRUE(enabled(panel, 1030));
    EXPECT_FALSE(enabled(panel, 1035)) << "no VBR quality for cbr";

    choose(panel, 1033, 2); // vbr1
    EXPECT_EQ(panel.settings().mp3Method, 2);
    EXPECT_FALSE(enabled(panel, 1030));
    EXPECT_TRUE(enabled(panel, 1035));

    choose(panel, 1027, 3); // AC3
    EXPECT_EQ(panel.settings().audioCodec, 3);
    for (int id : kMp3Combos)
        EXPECT_FALSE(enabled(panel, id)) << id;
    EXPECT_TRUE(enabled(panel, 1030));

    choose(panel, 1027, 0); // back to MP3: the method's rule holds again
    for (int id : {1031, 1032, 1033, 1034, 1035})
        EXPECT_TRUE(enabled(panel, id)) << id;
    EXPECT_FALSE(enabled(panel, 1030));
    choose(panel, 1033, 0); // abr
    EXPECT_TRUE(enabled(panel, 1030));
    EXPECT_FALSE(enabled(panel, 1035));

    // A handheld format's AAC keeps the MP3 combos off.
    choose(panel, 1019, 0);
    choose(panel, 1021, 1);
    EXPECT_EQ(panel.settings().audioCodec, 2);
    for (int id : kMp3Combos)
        EXPECT_FALSE(enabled(panel, id)) << id;
    EXPECT_TRUE(enabled(panel, 1030));
}

TEST_F(PanelTest, TheQualitySwitchAlwaysStartsAtLevelThreeAndAMovedSliderCounts)
{
    ParameterPanel panel(&hub);
    ASSERT_EQ(panel.settings().qualityIndex, 0);
    EXPECT_FALSE(panel.switchButton(1006)->state());
    EXPECT_FALSE(enabled(panel, 1005));

    clickSwitch(panel, 1006);
    EXPECT_TRUE(panel.switchButton(1006)->state());
    EXPECT_TRUE(enabled(panel, 1005));
    EXPECT_EQ(panel.settings().qualityIndex, 3);
    EXPECT_EQ(panel.slider(1005)->value(), 3);

    // The user drags the level to the top: the record follows.
    SkinSlider* quality = panel.slider(1005);
    test::click(quality, QPoint(quality->width() - 1, quality->height() / 2));
    QCoreApplication::processEvents();
    EXPECT_EQ(quality->value(), 5);
    EXPECT_EQ(panel.settings().qualityIndex, 5);

    clickSwitch(panel, 1006);
    EXPECT_EQ(panel.settings().qualityIndex, 0);
    EXPECT_FALSE(enabled(panel, 1005));
    clickSwitch(panel, 1006);
    EXPECT_EQ(panel.settings().qualityIndex, 3) << "whatever the slider showed before";
    EXPECT_EQ(quality->value(), 3);

    // A DIVX format arrives with its level shown.
    choose(panel, 1019, 2);
    choose(panel, 1021, 3); // PSP mp4-DIVX: qualityIndex 5
    EXPECT_TRUE(panel.switchButton(1006)->state());
    EXPECT_TRUE(enabled(panel, 1005));
    EXPECT_EQ(quality->value(), 5);
    choose(panel, 1021, 1); // X264: none
    EXPECT_FALSE(panel.switchButton(1006)->state());
    EXPECT_FALSE(enabled(panel, 1005));
}

TEST_F(PanelTest, OnePictureSwitchTurnsAllFourOnWithNeutralValues)
{
    ParameterPanel panel(&hub);
    clickSwitch(panel, 1010);
    const ConversionSettings& s = panel.settings();
    EXPECT_EQ(s.pictureAdjust, 1);
    for (int id : kPictureSwitches)
        EXPECT_TRUE(panel.switchButton(id)->state()) << id;
    for (int id : kPictureSliders)
        EXPECT_TRUE(enabled(panel, id)) << id;
    EXPECT_EQ(s.gamma, 10);
    EXPECT_EQ(s.contrast, 10);
    EXPECT_EQ(s.brightness, 0);
    EXPECT_EQ(s.saturation, 10);

    // Moved sliders reach the record.
    SkinSlider* brightness = panel.slider(1011);
    test::click(brightness, QPoint(brightness->width() - 1, brightness->height() / 2));
    SkinSlider* gamma = panel.slider(1007);
    test::click(gamma, QPoint(0, gamma->height() / 2));
    QCoreApplication::processEvents();
    EXPECT_EQ(s.brightness, 10);
    EXPECT_EQ(s.gamma, 1);

    // Another switch turns all four off; the values stay but the sliders are dead.
    clickSwitch(panel, 1014);
    EXPECT_EQ(s.pictureAdjust, 0);
    for (int id : kPictureSwitches)
        EXPECT_FALSE(panel.switchButton(id)->state()) << id;
    for (int id : kPictureSliders)
        EXPECT_FALSE(enabled(panel, id)) << id;
    test::click(brightness, QPoint(0, brightness->height() / 2));
    QCoreApplication::processEvents();
    EXPECT_EQ(s.brightness, 10) << "a switched-off slider does not move";

    // On again: back to 10, 10, 0, 10, on the sliders too.
    clickSwitch(panel, 1008);
    EXPECT_EQ(s.gamma, 10);
    EXPECT_EQ(s.brightness, 0);
    EXPECT_EQ(gamma->value(), 10);
    EXPECT_EQ(brightness->value(), 0);
    EXPECT_EQ(panel.slider(1009)->value(), 10);
    EXPECT_EQ(panel.slider(1013)->value(), 10);
}

TEST_F(PanelTest, TimePickersGiveTheirTimeOnlyWhenChecked)
{
    ParameterPanel panel(&hub);
    SkinTimePicker* start = panel.timePicker(1001);
    SkinTimePicker* stop = panel.timePicker(1002);

    start->setFromText("00:00:00");
    EXPECT_FALSE(start->isChecked());
    EXPECT_TRUE(panel.currentSettings()->startTime.empty()) << "00:00:00 is no start time";

    start->setFromText("01:02:03");
    stop->setFromText("12:34:56");
    EXPECT_TRUE(start->isChecked());
    EXPECT_EQ(panel.currentSettings()->startTime, "01:02:03");
    EXPECT_EQ(panel.currentSettings()->endPosition, "12:34:56");

    stop->setChecked(false); // the user clears the stop time
    EXPECT_TRUE(panel.currentSettings()->endPosition.empty());

    start->setFromText("1:02:03");
    EXPECT_FALSE(start->isChecked());
    EXPECT_EQ(start->timeText(), QStringLiteral("00:00:00"));
    EXPECT_TRUE(panel.currentSettings()->startTime.empty());
}

TEST_F(PanelTest, ApplySettingsShowsARecordAndKeepsItsOwnValues)
{
    ParameterPanel panel(&hub);
    QCoreApplication::processEvents();

    ConversionSettings task;
    task.selectModel(4, 1, 11); // DVD-Film, mpg-PAL
    task.videoBitrateIndex = 5; // edited after the model was chosen
    task.audioCodec = 0;
    task.mp3Method = 3;
    task.pictureAdjust = 1;
    task.gamma = 20;
    task.brightness = -4;
    task.qualityIndex = 2;
    task.startTime = "00:01:00";
    task.endPosition = "00:00:00";
    task.sourcePath = "/films/a.avi";
    task.outputPath = "/out/a.avi-mpg.mpg";
    hub.requests.clear();

    panel.applySettings(task);
    EXPECT_TRUE(hub.requests.empty()) << "no selection logic ran";
    EXPECT_EQ(panel.combo(1019)->currentText(), QStringLiteral("DVD"));
    EXPECT_EQ(panel.combo(1020)->currentText(), QStringLiteral("DVD-Film"));
    EXPECT_EQ(panel.combo(1021)->currentText(), QStringLiteral("mpg-PAL"));
    EXPECT_EQ(panel.combo(1024)->currentText(), QStringLiteral("384 kbps"));
    EXPECT_TRUE(panel.switchButton(1006)->state());
    EXPECT_EQ(panel.slider(1005)->value(), 2);
    EXPECT_TRUE(panel.switchButton(1012)->state());
    EXPECT_EQ(panel.slider(1007)->value(), 20);
    EXPECT_EQ(panel.slider(1011)->value(), -4);
    EXPECT_FALSE(enabled(panel, 1030)) << "MP3 with vbr2";
    EXPECT_TRUE(enabled(panel, 1035));
    EXPECT_TRUE(panel.timePicker(1001)->isChecked());
    EXPECT_FALSE(panel.timePicker(1002)->isChecked());

    ConversionSettings* shown = panel.currentSettings();
    expectSameParameters(*shown, task);
    EXPECT_EQ(shown->category, 4);
    EXPECT_EQ(shown->model, 1);
    EXPECT_EQ(shown->outputFormat, 11);
    EXPECT_EQ(shown->startTime, "00:01:00");
    EXPECT_TRUE(shown->endPosition.empty());
    EXPECT_TRUE(shown->sourcePath.empty()) << "a task's paths never ride along into new tasks";
    EXPECT_TRUE(shown->outputPath.empty());

    // Showing an audio-only task of another category, then the first again.
    ConversionSettings song;
    song.selectModel(7, 0, 8);
    panel.applySettings(song);
    EXPECT_EQ(panel.combo(1019)->currentText(), QStringLiteral("MP3"));
    for (int id : kVideoCombos)
        EXPECT_FALSE(enabled(panel, id)) << id;
    EXPECT_FALSE(panel.switchButton(1008)->state());
    EXPECT_FALSE(enabled(panel, 1007));
    panel.applySettings(task);
    expectSameParameters(*panel.currentSettings(), task);
    for (int id : kVideoCombos)
        EXPECT_TRUE(enabled(panel, id)) << id;
    EXPECT_TRUE(hub.requests.empty());
}

TEST_F(PanelTest, ANewPresetIsSelectedInTheDroppedModelListWithoutReapplyingTheRecord)
{
    ParameterPanel panel(&hub);
    panel.show();
    choose(panel, 1019, 2);
    choose(panel, 1021, 1); // PSP format 2
    choose(panel, 1024, 12);
    panel.timePicker(1002)->setFromText("00:10:00");
    QCoreApplication::processEvents();
    hub.requests.clear();

    // The main window's save flow.
    const int row = settings::addPreset("我的PSP", *panel.currentSettings(), panel.modelList());
    ASSERT_EQ(row, 0);
    panel.showNewPreset(row);
    EXPECT_EQ(rows(panel, 1020), (QStringList{QStringLiteral("我的PSP"), QStringLiteral("默认参数")}));
    EXPECT_EQ(panel.combo(1020)->currentIndex(), 0);
    EXPECT_TRUE(panel.combo(1020)->isDropped());
    EXPECT_EQ(rows(panel, 1021), QStringList{QStringLiteral("mp4-X264,AAC")});
    EXPECT_EQ(panel.combo(1021)->currentIndex(), 0);
    EXPECT_EQ(panel.settings().videoBitrateIndex, 12) << "the record is not re-applied";
    EXPECT_EQ(panel.settings().model, 0);
    EXPECT_TRUE(hub.requests.empty());
    panel.combo(1020)->hidePopup();

    // The preset stands in the process-wide list and in every later list of its category.
    ASSERT_EQ(settings::current().record().presets.size(), 1);
    choose(panel, 1019, 0);
    choose(panel, 1019, 2);
    EXPECT_EQ(rows(panel, 1020).front(), QStringLiteral("我的PSP"));
    EXPECT_EQ(panel.settings().videoBitrateIndex, 12) << "choosing the preset loads its block";
    EXPECT_EQ(panel.settings().outputFormat, 2);
    choose(panel, 1020, 1);
    EXPECT_EQ(panel.settings().videoBitrateIndex, 7) << "the built-in model has its defaults";

    // A task made from the preset shows the preset again.
    choose(panel, 1020, 0);
    const ConversionSettings fromPreset = *panel.currentSettings();
    choose(panel, 1020, 1);
    panel.applySettings(fromPreset);
    EXPECT_EQ(panel.combo(1020)->currentText(), QStringLiteral("我的PSP"));
    EXPECT_EQ(panel.settings().videoBitrateIndex, 12);

    // A second preset goes after the first, before the built-in model.
    const int second = settings::addPreset("第二", *panel.currentSettings(), panel.modelList());
    EXPECT_EQ(second, 1);
    panel.showNewPreset(second);
    EXPECT_EQ(rows(panel, 1020),
              (QStringList{QStringLiteral("我的PSP"), QStringLiteral("第二"), QStringLiteral("默认参数")}));
    EXPECT_EQ(panel.combo(1020)->currentIndex(), 1);
    panel.combo(1020)->hidePopup();
}

TEST_F(PanelTest, ControlsStandAtTheirPlacesAndTheLabelsArePainted)
{
    ParameterPanel panel(&hub);
    EXPECT_EQ(panel.size(), QSize(846, 160));
    EXPECT_EQ(panel.control(1019)->geometry().topLeft(), QPoint(70, 4));
    EXPECT_EQ(panel.control(1019)->width(), 112);
    EXPECT_EQ(panel.control(1033)->geometry().topLeft(), QPoint(774, 132));
    EXPECT_EQ(panel.control(1033)->width(), 68);
    EXPECT_EQ(panel.control(1006)->geometry(), QRect(392, 8, 14, 14));
    EXPECT_EQ(panel.control(1013)->geometry(), QRect(406, 132, 146, 22));
    EXPECT_EQ(panel.control(1002)->geometry(), QRect(70, 132, 116, 26));
    EXPECT_EQ(panel.control(1000), nullptr);
    EXPECT_EQ(panel.control(1003), nullptr);
    EXPECT_EQ(panel.control(1023), nullptr);
    EXPECT_EQ(panel.control(1038), nullptr);
    EXPECT_EQ(panel.slider(1009)->minimum(), -20);
    EXPECT_EQ(panel.slider(1007)->maximum(), 100);
    EXPECT_EQ(panel.slider(1013)->value(), 10);

    // Text without antialiasing, so every inked pixel has exactly the pen colour.
    QFont solid = panel.font();
    solid.setStyleStrategy(QFont::NoAntialias);
    panel.setFont(solid);
    const QImage image = panel.grab().toImage();
    const QColor label(240, 240, 240);
    auto countIn = [&](const QRect& r, const QColor& c) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += image.pixelColor(x, y) == c;
        return n;
    };
    for (const PanelLabel& l : panelLabels()) {
        const QRect glyphs(l.x, l.y, 24, 13); // the first two characters
        EXPECT_GT(countIn(glyphs, label), 6) << l.text;
    }
    // Transparent: the label's cell shows the skin around its strokes.
    EXPECT_GT(countIn(QRect(6, 8, 60, 13), skin::skinColor()), 200);
    EXPECT_EQ(countIn(QRect(6, 24, 60, 12), label), 0) << "nothing between two rows of labels";
}
