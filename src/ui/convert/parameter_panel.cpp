#include "ui/convert/parameter_panel.h"

#include <QScopedValueRollback>
#include <QSignalBlocker>

#include "convert/value_tables.h"
#include "core/messages.h"
#include "settings/settings.h"
#include "ui/controls/skin_combo_box.h"
#include "ui/controls/skin_slider.h"
#include "ui/controls/skin_time_picker.h"
#include "ui/controls/switch_button.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

using convert::ConversionSettings;

// The combos whose row is stored straight into a member of the record.
struct MemberCombo {
    int id;
    int32_t ConversionSettings::*member;
};

constexpr std::array<MemberCombo, 15> kMemberCombos = {{
    {kVideoCodecCombo, &ConversionSettings::videoCodec},
    {kVideoBitrateCombo, &ConversionSettings::videoBitrateIndex},
    {kFrameSizeCombo, &ConversionSettings::frameSizeIndex},
    {kFrameRateCombo, &ConversionSettings::frameRateIndex},
    {kAspectCombo, &ConversionSettings::aspectIndex},
    {kAudioCodecCombo, &ConversionSettings::audioCodec},
    {kSampleRateCombo, &ConversionSettings::sampleRateIndex},
    {kAudioStreamCombo, &ConversionSettings::audioStreamId},
    {kChannelCombo, &ConversionSettings::channelMode},
    {kAudioBitrateCombo, &ConversionSettings::audioBitrateIndex},
    {kMp3QualityCombo, &ConversionSettings::mp3VbrQuality},
    {kMp3VolumeCombo, &ConversionSettings::mp3Volume},
    {kMp3ModeCombo, &ConversionSettings::mp3Mode},
    {kMp3MethodCombo, &ConversionSettings::mp3Method},
    {kMp3AlgorithmCombo, &ConversionSettings::mp3AlgorithmQuality},
}};

constexpr std::array<int, 5> kVideoCombos
    = {kVideoCodecCombo, kVideoBitrateCombo, kFrameSizeCombo, kFrameRateCombo, kAspectCombo};
constexpr std::array<int, 5> kMp3Combos
    = {kMp3QualityCombo, kMp3VolumeCombo, kMp3ModeCombo, kMp3MethodCombo, kMp3AlgorithmCombo};

// The picture switches and their sliders, with the member each slider shows
// and its neutral value.
struct PictureControl {
    int switchId;
    int sliderId;
    int32_t ConversionSettings::*member;
    int32_t neutral;
};

constexpr std::array<PictureControl, 4> kPicture = {{
    {kGammaSwitch, kGammaSlider, &ConversionSettings::gamma, 10},
    {kContrastSwitch, kContrastSlider, &ConversionSettings::contrast, 10},
    {kBrightnessSwitch, kBrightnessSlider, &ConversionSettings::brightness, 0},
    {kSaturationSwitch, kSaturationSlider, &ConversionSettings::saturation, 10},
}};

// Turning the quality switch on starts at this level.
constexpr int32_t kQualityOnLevel = 3;

bool isAudioOnly(int32_t format)
{
    const convert::FormatEntry* entry = convert::formatEntry(format);
    return entry && entry->audioOnly;
}

bool hasFixedChannels(int32_t format)
{
    const convert::FormatEntry* entry = convert::formatEntry(format);
    return entry && entry->fixedChannels;
}

bool isBitrateMethod(int32_t method) { return method >= 0 && method <= convert::kMp3LastBitrateMethod; }

bool isVbrMethod(int32_t method)
{
    return method > convert::kMp3LastBitrateMethod && method < static_cast<int32_t>(convert::kMp3Methods.size());
}

// The time of a picker as the record stores it: empty when unchecked.
core::TextString pickerText(const SkinTimePicker* picker)
{
    return picker->isChecked() ? toText(picker->timeText()) : core::TextString();
}

} // namespace

ParameterPanel::ParameterPanel(QObject* hub, QWidget* parent) : MessageWidget(parent), hub_(hub)
{
    setFixedSize(parameterPanelSize());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("参数"));
    // The labels are painted in the panel's font: the shared small font.
    setFont(skin::smallFont());
    createControls();

    messages().on(core::WM_SWITCH_NOTIFY, MessageTable::kAnyCode,
                  [this](const core::Message& m) { return switchToggled(m); });
    messages().on(core::WM_PLAYER_NOTIFY, core::PLAYER_SLIDER_MOVED,
                  [this](const core::Message& m) { return sliderMoved(m); });

    connect(combo(kCategoryCombo), &QComboBox::currentIndexChanged, this, [this] { categoryChanged(); });
    connect(combo(kModelCombo), &QComboBox::currentIndexChanged, this, [this] { modelChanged(); });
    connect(combo(kFormatCombo), &QComboBox::currentIndexChanged, this, [this] { formatChanged(); });
    connect(combo(kAudioCodecCombo), &QComboBox::currentIndexChanged, this, [this](int r) { audioCodecChosen(r); });
    connect(combo(kMp3MethodCombo), &QComboBox::currentIndexChanged, this, [this](int r) { mp3MethodChosen(r); });
    for (const MemberCombo& c : kMemberCombos) {
        if (c.id == kAudioCodecCombo || c.id == kMp3MethodCombo)
            continue;
        connect(combo(c.id), &QComboBox::currentIndexChanged, this, [this, id = c.id](int r) { valueChosen(id, r); });
    }

    // Set-up: no stop time, then the first category's chain, then ask for the snapshot.
    timePicker(kStopTimePicker)->setChecked(false);
    for (const int id : {kStartTimePicker, kStopTimePicker})
        connect(timePicker(id), &SkinTimePicker::changed, this, [this, id] { timeEdited(id); });
    categoryChanged();
    postMessage(hub_, core::WM_MAIN_REQUEST, core::REQ_CAPTURE_PANEL, 0);
}

ParameterPanel::~ParameterPanel() = default;

QWidget* ParameterPanel::control(int id) const
{
    const int at = id - kStartTimePicker;
    return at >= 0 && at < static_cast<int>(controls_.size()) ? controls_[static_cast<size_t>(at)] : nullptr;
}

SkinComboBox* ParameterPanel::combo(int id) const { return qobject_cast<SkinComboBox*>(control(id)); }
SwitchButton* ParameterPanel::switchButton(int id) const { return qobject_cast<SwitchButton*>(control(id)); }
SkinSlider* ParameterPanel::slider(int id) const { return qobject_cast<SkinSlider*>(control(id)); }
SkinTimePicker* ParameterPanel::timePicker(int id) const { return qobject_cast<SkinTimePicker*>(control(id)); }

int ParameterPanel::row(int id) const { return combo(id)->currentIndex(); }

void ParameterPanel::setRow(int id, int row)
{
    SkinComboBox* c = combo(id);
    const QSignalBlocker block(c);
    c->setCurrentIndex(row >= 0 && row < c->count() ? row : -1);
}

void ParameterPanel::setRows(int id, const QStringList& rows)
{
    SkinComboBox* c = combo(id);
    const QSignalBlocker block(c);
    c->clear();
    c->addItems(rows);
}

void ParameterPanel::enableControl(int id, bool enabled) { control(id)->setEnabled(enabled); }

// ---- The selection chain ----

void ParameterPanel::categoryChanged()
{
    const int category = row(kCategoryCombo);
    if (category < 0)
        return;
    convert::buildCategoryList(category, settings::current().presets(), models_);
    fillModelCombo();
    setRow(kModelCombo, 0);
    modelChanged();
}

void ParameterPanel::modelChanged()
{
    const convert::DeviceModel* entry = models_.at(row(kModelCombo));
    if (!entry)
        return;
    fillFormatCombo(entry);
    setRow(kFormatCombo, 0);
    formatChanged();
}

void ParameterPanel::formatChanged()
{
    const convert::DeviceModel* entry = models_.at(row(kModelCombo));
    const int formatRow = row(kFormatCombo);
    if (!entry || formatRow < 0 || formatRow >= static_cast<int>(entry->formats.size()))
        return;
    const int32_t format = entry->formats[static_cast<size_t>(formatRow)].format;
    entry->applyTo(settings_, format);
    refreshControls(format);
    sendMessage(hub_, core::WM_MAIN_REQUEST, core::REQ_REFRESH_SELECTED, format);
}

void ParameterPanel::fillModelCombo()
{
    QStringList names;
    for (const convert::DeviceModel& m : models_)
        names.append(toQ(m.name));
    setRows(kModelCombo, names);
}

void ParameterPanel::fillFormatCombo(const convert::DeviceModel* entry)
{
    QStringList labels;
    if (entry)
        for (const convert::FormatChoice& f : entry->formats)
            labels.append(toQ(f.label));
    setRows(kFormatCombo, labels);
}

// ---- Refresh and enable rules ----

void ParameterPanel::refreshControls(int32_t format)
{
    const bool audioOnly = isAudioOnly(format);
    for (int id : kVideoCombos)
        enableControl(id, !audioOnly);
    for (const MemberCombo& c : kMemberCombos)
        setRow(c.id, settings_.*c.member);
    showQuality();
    showPicture();
    // A format whose options fix the channels keeps them.
    enableControl(kChannelCombo, !hasFixedChannels(format));
    applyAudioCodecRules();
}

void ParameterPanel::showQuality()
{
    const bool on = settings_.qualityIndex != 0;
    switchButton(kQualitySwitch)->setState(on);
    enableControl(kQualitySlider, on);
    if (on)
        slider(kQualitySlider)->setValue(settings_.qualityIndex);
}

void ParameterPanel::showPicture()
{
    const bool on = settings_.pictureAdjust != 0;
    for (const PictureControl& c : kPicture) {
        switchButton(c.switchId)->setState(on);
        enableControl(c.sliderId, on);
        if (on)
            slider(c.sliderId)->setValue(settings_.*c.member);
    }
}

void ParameterPanel::applyAudioCodecRules()
{
    const bool mp3 = settings_.audioCodec == convert::kAudioCodecMp3;
    for (int id : kMp3Combos)
        enableControl(id, mp3);
    if (mp3)
        applyMp3MethodRules();
    else
        enableControl(kAudioBitrateCombo, true);
}

void ParameterPanel::applyMp3MethodRules()
{
    enableControl(kAudioBitrateCombo, isBitrateMethod(settings_.mp3Method));
    enableControl(kMp3QualityCombo, isVbrMethod(settings_.mp3Method));
}

// ---- The user's choices ----

void ParameterPanel::announce(std::initializer_list<tasks::SettingsEdit::Member> members)
{
    if (showing_)
        return;
    tasks::SettingsEdit edit;
    edit.members.assign(members.begin(), members.end());
    Q_EMIT edited(edit);
}

void ParameterPanel::timeEdited(int id)
{
    if (showing_)
        return;
    tasks::SettingsEdit edit;
    (id == kStartTimePicker ? edit.startTime : edit.endPosition) = true;
    Q_EMIT edited(edit);
}

void ParameterPanel::audioCodecChosen(int row)
{
    settings_.audioCodec = row;
    applyAudioCodecRules();
    announce({&ConversionSettings::audioCodec});
}

void ParameterPanel::mp3MethodChosen(int row)
{
    settings_.mp3Method = row;
    applyMp3MethodRules();
    announce({&ConversionSettings::mp3Method});
}

void ParameterPanel::valueChosen(int id, int row)
{
    for (const MemberCombo& c : kMemberCombos) {
        if (c.id == id) {
            settings_.*c.member = row;
            announce({c.member});
        }
    }
}

intptr_t ParameterPanel::switchToggled(const core::Message& message)
{
    const auto* source = reinterpret_cast<const QObject*>(message.lParam);
    const bool on = message.wParam != 0;
    if (source == control(kQualitySwitch)) {
        switchButton(kQualitySwitch)->setState(on);
        enableControl(kQualitySlider, on);
        settings_.qualityIndex = on ? kQualityOnLevel : 0;
        if (on)
            slider(kQualitySlider)->setValue(kQualityOnLevel);
        announce({&ConversionSettings::qualityIndex});
        return 1;
    }
    for (const PictureControl& p : kPicture) {
        if (source != control(p.switchId))
            continue;
        // The four picture values are one filter: they go on and off together.
        settings_.pictureAdjust = on ? 1 : 0;
        for (const PictureControl& c : kPicture) {
            switchButton(c.switchId)->setState(on);
            enableControl(c.sliderId, on);
            if (on) {
                settings_.*c.member = c.neutral;
                slider(c.sliderId)->setValue(c.neutral);
            }
        }
        announce({&ConversionSettings::pictureAdjust, &ConversionSettings::gamma, &ConversionSettings::contrast,
                  &ConversionSettings::brightness, &ConversionSettings::saturation});
        return 1;
    }
    return 0;
}

// A slider the user moves matters: its position reaches the record, but only
// while its switch is on (a switched-off value is not used anyway).
intptr_t ParameterPanel::sliderMoved(const core::Message& message)
{
    const auto* source = reinterpret_cast<const QObject*>(message.lParam);
    if (source == control(kQualitySlider)) {
        if (switchButton(kQualitySwitch)->state()) {
            settings_.qualityIndex = slider(kQualitySlider)->value();
            announce({&ConversionSettings::qualityIndex});
        }
        return 1;
    }
    for (const PictureControl& p : kPicture) {
        if (source == control(p.sliderId)) {
            if (settings_.pictureAdjust) {
                settings_.*p.member = slider(p.sliderId)->value();
                announce({p.member});
            }
            return 1;
        }
    }
    return 0;
}

// ---- What the main window calls ----

void ParameterPanel::applySettings(const convert::ConversionSettings& settings)
{
    const QScopedValueRollback<bool> showing(showing_, true);
    settings_.copyFrom(settings);
    // The panel's record stands for parameters, not for a file: a task's paths
    // must not ride along into the next task made from the panel.
    settings_.sourcePath.clear();
    settings_.outputPath.clear();
    const int32_t category = settings_.category;
    if (category >= 0 && category < convert::kCategoryCount) {
        setRow(kCategoryCombo, category);
        convert::buildCategoryList(category, settings::current().presets(), models_);
        fillModelCombo();
        const int modelRow = models_.rowOfModel(settings_.model);
        setRow(kModelCombo, modelRow >= 0 ? modelRow : 0);
        const convert::DeviceModel* entry = models_.at(row(kModelCombo));
        fillFormatCombo(entry);
        int formatRow = -1;
        if (entry)
            for (size_t i = 0; i < entry->formats.size(); ++i)
                if (entry->formats[i].format == settings_.outputFormat)
                    formatRow = static_cast<int>(i);
        setRow(kFormatCombo, formatRow);
    }
    refreshControls(settings_.outputFormat);
    timePicker(kStartTimePicker)->setFromText(settings_.startTime.c_str());
    timePicker(kStopTimePicker)->setFromText(settings_.endPosition.c_str());
}

convert::ConversionSettings* ParameterPanel::currentSettings()
{
    settings_.startTime = pickerText(timePicker(kStartTimePicker));
    settings_.endPosition = pickerText(timePicker(kStopTimePicker));
    return &settings_;
}

void ParameterPanel::showNewPreset(int listPosition)
{
    const convert::DeviceModel* entry = models_.at(listPosition);
    if (!entry)
        return;
    fillModelCombo();
    setRow(kModelCombo, listPosition);
    fillFormatCombo(entry);
    setRow(kFormatCombo, 0);
    // Dropping the list shows the user where the new preset went.
    if (isVisible())
        combo(kModelCombo)->showPopup();
}

} // namespace qf::ui
