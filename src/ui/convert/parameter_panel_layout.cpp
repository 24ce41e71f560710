// The parameter panel's controls and painted labels: where each stands and
// which rows it lists. Row texts come from the value tables.
#include "ui/convert/parameter_panel.h"

#include <cstring>
#include <string_view>

#include <QPainter>

#include "convert/value_tables.h"
#include "ui/controls/skin_combo_box.h"
#include "ui/controls/skin_slider.h"
#include "ui/controls/skin_time_picker.h"
#include "ui/controls/switch_button.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

enum class Kind { Combo, TimePicker, Switch, Slider };

// Rectangles in dialog units. For a combo the height is that of the dropped
// list; the closed box is one row high.
struct ControlPlace {
    int id;
    Kind kind;
    int x, y, w, h;
    const char* name; // accessible name: the label beside it
};

constexpr std::array<ControlPlace, 30> kControls = {{
    {kCategoryCombo, Kind::Combo, 35, 2, 56, 165, "选择分类"},
    {kModelCombo, Kind::Combo, 35, 18, 56, 80, "选择机型"},
    {kFormatCombo, Kind::Combo, 35, 34, 56, 60, "转换输出"},
    {kStartTimePicker, Kind::TimePicker, 35, 50, 56, 12, "开始时间"},
    {kStopTimePicker, Kind::TimePicker, 35, 66, 56, 12, "停止时间"},
    {kVideoCodecCombo, Kind::Combo, 127, 2, 45, 100, "视频编码"},
    {kFrameSizeCombo, Kind::Combo, 127, 18, 45, 170, "视频大小"},
    {kFrameRateCombo, Kind::Combo, 127, 34, 45, 120, "视频帧速"},
    {kVideoBitrateCombo, Kind::Combo, 127, 50, 45, 180, "视频码率"},
    {kAspectCombo, Kind::Combo, 127, 66, 45, 100, "视频比例"},
    {kQualitySwitch, Kind::Switch, 196, 4, 7, 7, "品质开关"},
    {kQualitySlider, Kind::Slider, 203, 2, 73, 11, "品质"},
    {kGammaSwitch, Kind::Switch, 196, 20, 7, 7, "伽玛开关"},
    {kGammaSlider, Kind::Slider, 203, 18, 73, 11, "伽玛"},
    {kContrastSwitch, Kind::Switch, 196, 36, 7, 7, "对比开关"},
    {kContrastSlider, Kind::Slider, 203, 34, 73, 11, "对比"},
    {kBrightnessSwitch, Kind::Switch, 196, 52, 7, 7, "亮度开关"},
    {kBrightnessSlider, Kind::Slider, 203, 50, 73, 11, "亮度"},
    {kSaturationSwitch, Kind::Switch, 196, 68, 7, 7, "饱和开关"},
    {kSaturationSlider, Kind::Slider, 203, 66, 73, 11, "饱和"},
    {kAudioCodecCombo, Kind::Combo, 311, 2, 44, 100, "音频编码"},
    {kSampleRateCombo, Kind::Combo, 311, 18, 44, 60, "音频采样"},
    {kChannelCombo, Kind::Combo, 311, 34, 44, 70, "音频声道"},
    {kAudioBitrateCombo, Kind::Combo, 311, 50, 44, 110, "音频码率"},
    {kAudioStreamCombo, Kind::Combo, 311, 66, 44, 100, "音频流"},
    {kMp3QualityCombo, Kind::Combo, 387, 2, 34, 100, "MP3质量"},
    {kMp3VolumeCombo, Kind::Combo, 387, 18, 34, 120, "MP3音量"},
    {kMp3ModeCombo, Kind::Combo, 387, 34, 34, 50, "MP3声道"},
    {kMp3AlgorithmCombo, Kind::Combo, 387, 50, 34, 70, "MP3编码"},
    {kMp3MethodCombo, Kind::Combo, 387, 66, 34, 110, "MP3算法"},
}};

// A closed combo box is one 16-pixel row with its frame.
constexpr int kComboHeight = 22;
constexpr int kComboRowHeight = 16;

struct SliderRange {
    int id, minimum, maximum, position;
};

// The quality slider starts at row 1: row 0 (no option) is its switch being off.
constexpr std::array<SliderRange, 5> kSliderRanges = {{
    {kQualitySlider, 1, convert::rowsOf(convert::kQualities).max, 3},
    {kGammaSlider, convert::kGammaRange.min, convert::kGammaRange.max, 10},
    {kContrastSlider, convert::kContrastRange.min, convert::kContrastRange.max, 10},
    {kBrightnessSlider, convert::kBrightnessRange.min, convert::kBrightnessRange.max, 0},
    {kSaturationSlider, convert::kSaturationRange.min, convert::kSaturationRange.max, 10},
}};

constexpr std::array<PanelLabel, 25> kLabels = {{
    {6, 8, "选择分类:"},     {6, 40, "选择机型:"},    {6, 72, "转换输出:"},    {6, 104, "开始时间:"},
    {6, 136, "停止时间:"},   {190, 8, "视频编码:"},   {190, 40, "视频大小:"},  {190, 72, "视频帧速:"},
    {190, 104, "视频码率:"}, {190, 136, "视频比例:"}, {352, 8, "品质:"},       {352, 40, "伽玛:"},
    {352, 72, "对比:"},      {352, 104, "亮度:"},     {352, 136, "饱和:"},     {558, 8, "音频编码:"},
    {558, 40, "音频采样:"},  {558, 72, "音频声道:"},  {558, 104, "音频码率:"}, {558, 136, "音频流:"},
    {718, 8, "MP3质量:"},    {718, 40, "MP3音量:"},   {718, 72, "MP3声道:"},   {718, 104, "MP3编码:"},
    {718, 136, "MP3算法:"},
}};

template <typename T, std::size_t N, typename F> QStringList rowsFrom(const std::array<T, N>& table, F text)
{
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(N));
    for (const T& entry : table)
        rows.append(text(entry));
    return rows;
}

QStringList plainRows(const auto& table)
{
    return rowsFrom(table, [](const char* t) { return toQ(t); });
}

QStringList kbpsRows(const auto& table)
{
    return rowsFrom(table, [](const char* t) {
        // The constant-quality rows of the video rate combo read "CRF 23".
        const std::string_view value(t);
        if (value.starts_with(convert::kConstantQualityPrefix))
            return QStringLiteral("CRF ") + toQ(t + std::strlen(convert::kConstantQualityPrefix));
        return toQ(t) + QStringLiteral(" kbps");
    });
}

QStringList rowTexts(const auto& table)
{
    return rowsFrom(table, [](const auto& e) { return toQ(e.rowText); });
}

// The fixed rows of a combo; the model and format combos are filled from
// the model list instead.
QStringList fixedRows(int id)
{
    using namespace convert;
    switch (id) {
    case kCategoryCombo: return plainRows(kCategoryNames);
    case kVideoCodecCombo: return rowTexts(kVideoCodecs);
    case kVideoBitrateCombo: return kbpsRows(kVideoBitrates);
    case kFrameSizeCombo: return rowTexts(kFrameSizes);
    case kFrameRateCombo: return rowTexts(kFrameRates);
    case kAspectCombo: return rowTexts(kAspects);
    case kAudioCodecCombo: return rowTexts(kAudioCodecs);
    case kSampleRateCombo: return rowTexts(kSampleRates);
    case kChannelCombo: return rowTexts(kChannelModes);
    case kAudioBitrateCombo: return kbpsRows(kAudioBitrates);
    case kAudioStreamCombo: return plainRows(kAudioStreamRows);
    case kMp3QualityCombo: return plainRows(kMp3VbrQualityRows);
    case kMp3VolumeCombo: return plainRows(kMp3VolumeRows);
    case kMp3ModeCombo: return plainRows(kMp3Modes);
    case kMp3AlgorithmCombo: return plainRows(kMp3AlgorithmQualityRows);
    case kMp3MethodCombo: return rowTexts(kMp3Methods);
    default: return {};
    }
}

QRect pixels(const ControlPlace& c) { return QRect(skin::du(c.x), skin::du(c.y), skin::du(c.w), skin::du(c.h)); }

} // namespace

const std::array<PanelLabel, 25>& panelLabels() { return kLabels; }

QColor panelLabelColour() { return QColor(240, 240, 240); }

QSize parameterPanelSize() { return QSize(skin::du(423), skin::du(80)); }

void ParameterPanel::createControls()
{
    for (const ControlPlace& c : kControls) {
        QWidget* w = nullptr;
        const QRect r = pixels(c);
        switch (c.kind) {
        case Kind::Combo: {
            auto* combo = new SkinComboBox(this);
            combo->setGeometry(r.x(), r.y(), r.width(), kComboHeight);
            // The template's height is the dropped list's: as many rows as fit below the box.
            combo->setMaxVisibleItems(std::max(1, (r.height() - kComboHeight) / kComboRowHeight));
            combo->addItems(fixedRows(c.id));
            w = combo;
            break;
        }
        case Kind::TimePicker:
            w = new SkinTimePicker(this);
            // The picker is drawn 4 pixels wider and 2 higher than its template place.
            w->setGeometry(r.adjusted(0, 0, 4, 2));
            break;
        case Kind::Switch:
            w = new SwitchButton(this);
            w->setGeometry(r);
            break;
        case Kind::Slider:
            w = new SkinSlider(SkinSlider::Variant::Channel, this);
            w->setGeometry(r);
            break;
        }
        w->setAccessibleName(toQ(c.name));
        w->setObjectName(QStringLiteral("control%1").arg(c.id));
        controls_[static_cast<size_t>(c.id - kStartTimePicker)] = w;
    }
    for (const SliderRange& s : kSliderRanges) {
        SkinSlider* sl = slider(s.id);
        sl->setRange(s.minimum, s.maximum);
        sl->setValue(s.position);
    }
}

void ParameterPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::skinColor());
    p.setFont(font());
    p.setPen(panelLabelColour());
    for (const PanelLabel& l : kLabels)
        p.drawText(QRect(l.x, l.y, width() - l.x, height() - l.y), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   toQ(l.text));
}

} // namespace qf::ui
