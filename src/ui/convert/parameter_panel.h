#pragma once
// ParameterPanel: the strip of the Convert view in which the user picks a
// device category, a model of it and an output format, and edits the video
// and audio parameters (846 x 160 pixels, every control at its place in
// dialog units x 2).
//
// Ownership: the panel owns one ConversionSettings record, which every combo
// box writes its row into, and the model list of the category on show. The
// main window copies the record into tasks; the panel never sees a task.
//
// Messages. The panel posts REQ_CAPTURE_PANEL (lParam 0) to its hub at the
// end of its set-up and sends REQ_REFRESH_SELECTED (lParam = the format)
// after every format change. It receives WM_SWITCH_NOTIFY from its switch
// buttons and WM_PLAYER_NOTIFY (slider moved) from its sliders.
//
// Selection changes made by the user run the category -> model -> format
// chain; selections that the panel sets itself (applySettings, refreshes)
// never do, so a record shown in the panel keeps its own values. Every other
// change the user makes is announced with edited(), naming what changed.
//
// UI thread only.

#include <QPointer>

#include <array>
#include <initializer_list>

#include "convert/conversion_settings.h"
#include "convert/device_models.h"
#include "core/notification_sink.h"
#include "tasks/task_list_model.h"
#include "ui/shell/message_dispatch.h"

class QComboBox;

namespace qf::ui {

class SkinComboBox;
class SkinSlider;
class SkinTimePicker;
class SwitchButton;

// The controls of the panel by their ids.
enum ParameterControl : int {
    kStartTimePicker = 1001,
    kStopTimePicker = 1002,
    kQualitySlider = 1005,
    kQualitySwitch = 1006,
    kGammaSlider = 1007,
    kGammaSwitch = 1008,
    kContrastSlider = 1009,
    kContrastSwitch = 1010,
    kBrightnessSlider = 1011,
    kBrightnessSwitch = 1012,
    kSaturationSlider = 1013,
    kSaturationSwitch = 1014,
    kCategoryCombo = 1019,
    kModelCombo = 1020,
    kFormatCombo = 1021,
    kVideoCodecCombo = 1022,
    kVideoBitrateCombo = 1024,
    kFrameSizeCombo = 1025,
    kFrameRateCombo = 1026,
    kAudioCodecCombo = 1027,
    kSampleRateCombo = 1028,
    kChannelCombo = 1029,
    kAudioBitrateCombo = 1030,
    kMp3VolumeCombo = 1031,
    kMp3ModeCombo = 1032,
    kMp3MethodCombo = 1033,
    kMp3AlgorithmCombo = 1034,
    kMp3QualityCombo = 1035,
    kAspectCombo = 1036,
    kAudioStreamCombo = 1037,
};

// The painted labels: text and top-left corner in pixels of the client area.
struct PanelLabel {
    int x;
    int y;
    const char* text;
};
const std::array<PanelLabel, 25>& panelLabels();
// RGB(240, 240, 240), the colour of the labels.
QColor panelLabelColour();
// The panel's size in pixels (423 x 80 dialog units).
QSize parameterPanelSize();

class ParameterPanel : public MessageWidget {
    Q_OBJECT
public:
    // hub: the receiver of WM_MAIN_REQUEST (the main window); may be null.
    explicit ParameterPanel(QObject* hub, QWidget* parent = nullptr);
    ~ParameterPanel() override;

    // Shows a task's settings: the record is copied in (without its paths:
    // the panel's record never stands for a file), the category, model and
    // format are selected and the controls refreshed. No selection-change
    // logic runs, so the record's own values stay.
    void applySettings(const convert::ConversionSettings& settings);
    // The panel's record, with the two time pickers read into it first.
    convert::ConversionSettings* currentSettings();
    // After convert::addPreset put a preset at listPosition of modelList():
    // refills the model combo, selects the new entry and drops the list down
    // (while the panel is visible), fills the format combo with the entry's
    // formats and selects the first. The record is not touched.
    void showNewPreset(int listPosition);
    convert::DeviceModelList& modelList() { return models_; }
    const convert::ConversionSettings& settings() const { return settings_; }

    // A control by its id (1001..1037), null if there is none.
    QWidget* control(int id) const;
    SkinComboBox* combo(int id) const;
    SwitchButton* switchButton(int id) const;
    SkinSlider* slider(int id) const;
    SkinTimePicker* timePicker(int id) const;

    QSize sizeHint() const override { return parameterPanelSize(); }

Q_SIGNALS:
    // The user changed a value other than the device and format choice
    // (that one is REQ_REFRESH_SELECTED): a combo, a switch, a slider or a time.
    void edited(const qf::tasks::SettingsEdit& edit);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // parameter_panel_layout.cpp
    void createControls();

    // The selection chain, run by the user's choices.
    void categoryChanged();
    void modelChanged();
    void formatChanged();
    void audioCodecChosen(int row);
    void mp3MethodChosen(int row);
    void valueChosen(int id, int row);

    // Bring the controls in line with the record for a format.
    void refreshControls(int32_t format);
    void applyAudioCodecRules();
    void applyMp3MethodRules();
    void showQuality();
    void showPicture();

    void announce(std::initializer_list<tasks::SettingsEdit::Member> members);
    void timeEdited(int id);
    intptr_t switchToggled(const core::Message& message);
    intptr_t sliderMoved(const core::Message& message);

    void fillModelCombo();
    void fillFormatCombo(const convert::DeviceModel* entry);
    // Selects a row without running the combo's selection logic.
    void setRow(int id, int row);
    void setRows(int id, const QStringList& rows);
    void enableControl(int id, bool enabled);
    int row(int id) const;

    QPointer<QObject> hub_;
    convert::ConversionSettings settings_;
    convert::DeviceModelList models_;
    std::array<QWidget*, 37> controls_{}; // by id - 1001
    bool showing_ = false; // a record is being shown: nothing the user did
};

} // namespace qf::ui
