// The player window's controls, where they stand, and its painting.

#include <QAction>
#include <QMenu>
#include <QPainter>

#include "player/player_settings.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_slider.h"
#include "ui/controls/small_button.h"
#include "ui/notify/floating_tip.h"
#include "ui/player/player_images.h"
#include "ui/player/player_window.h"
#include "ui/player/playlist_view.h"
#include "ui/player/video_window.h"
#include "ui/shell/shared_menu.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

using player_images::Glyph;

struct ButtonPlace {
    int id;
    QRect rect; // pixels, where the skin puts it
    Glyph glyph;
    const char* tip;
};

constexpr int kPanelLineY1 = 140;
constexpr int kPanelLineY2 = 142;

// Shows a hover tip for a control that has no tip of its own (the sliders);
// with `whileDisabled`, only while the control is disabled (why it is).
class TipFilter final : public QObject {
public:
    TipFilter(QObject* parent, QString text, bool whileDisabled = false)
        : QObject(parent), text_(std::move(text)), whileDisabled_(whileDisabled)
    {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Enter && !(whileDisabled_ && widget->isEnabled()))
            showHoverTip(widget, text_, false, false);
        else if (event->type() == QEvent::Leave)
            hideHoverTip();
        return false;
    }

private:
    QString text_;
    bool whileDisabled_;
};

} // namespace

QRect PlayerWindow::picturePanel() const
{
    return QRect(QPoint(videoArea_.right() + 1, kTopBarHeight), QPoint(width() - 1, videoArea_.bottom()));
}

void PlayerWindow::createControls()
{
    static const ButtonPlace kButtons[] = {
        {kPlay, {6, 502, 29, 29}, Glyph::Play, "播放"},     {kPause, {39, 502, 29, 29}, Glyph::Pause, "暂停"},
        {kStop, {72, 502, 29, 29}, Glyph::Stop, "停止"},    {kPrevious, {114, 505, 22, 23}, Glyph::Previous, "上一曲"},
        {kNext, {136, 505, 22, 23}, Glyph::Next, "下一曲"}, {kMute, {170, 505, 22, 23}, Glyph::Mute, "静音"},
    };
    for (const ButtonPlace& place : kButtons) {
        auto* b = new SkinButton(this);
        b->setObjectName(QString::number(place.id));
        b->setGeometry(place.rect);
        b->setImages(player_images::buttonStrip(place.glyph, place.rect.size()), QPoint(0, 0), place.rect.size(), 4);
        b->setTooltip(QString::fromUtf8(place.tip));
        b->setAccessibleName(QString::fromUtf8(place.tip));
        // The mute button keeps its pressed look while the sound is off.
        b->setSticky(place.id == kMute);
        connectButton(b, place.id);
    }

    static const ButtonPlace kSmall[] = {
        {kOpen, {skin::du(4), skin::du(3), skin::du(9), skin::du(9)}, Glyph::Open, "打开文件"},
        {kVideoSet, {skin::du(322), skin::du(3), skin::du(9), skin::du(9)}, Glyph::Menu, "播放控制"},
        {kSpare, {skin::du(334), skin::du(3), skin::du(9), skin::du(9)}, Glyph::Menu, ""},
        {kRewind, {0, skin::du(243), skin::du(12), skin::du(5)}, Glyph::Rewind, "快退"},
        {kForward, {skin::du(411), skin::du(243), skin::du(12), skin::du(5)}, Glyph::Forward, "快进"},
    };
    for (const ButtonPlace& place : kSmall) {
        auto* b = new SmallButton(this);
        b->setObjectName(QString::number(place.id));
        b->setGeometry(place.rect);
        const QSize cell = place.rect.size() - QSize(2, 2);
        b->setImages(player_images::smallButtonGrid(place.glyph, cell), QPoint(0, 0), cell, 1);
        b->setTooltip(QString::fromUtf8(place.tip));
        b->setAccessibleName(QString::fromUtf8(place.tip));
        b->setVisible(place.id != kSpare);
        connectButton(b, place.id);
    }

    struct SliderPlace {
        int id;
        QRect rect;
        SkinSlider::Variant variant;
        int minimum, maximum, value;
        bool shown;
    };
    const SliderPlace kSliders[] = {
        {kVolume,
         {194, 508, skin::du(41), skin::du(9)},
         SkinSlider::Variant::Bitmap,
         0,
         static_cast<int>(player::kMaxPlayerVolume),
         static_cast<int>(engine_.volume()),
         true},
        {kBrightness,
         {skin::du(338), skin::du(18), skin::du(85), skin::du(11)},
         SkinSlider::Variant::Bar,
         -100,
         100,
         1,
         true},
        {kContrast,
         {skin::du(338), skin::du(31), skin::du(85), skin::du(11)},
         SkinSlider::Variant::Bar,
         -100,
         100,
         1,
         true},
        {kUnusedSlider,
         {skin::du(338), skin::du(44), skin::du(85), skin::du(11)},
         SkinSlider::Variant::Bar,
         -300,
         300,
         1,
         false},
        {kHue, {skin::du(338), skin::du(44), skin::du(85), skin::du(11)}, SkinSlider::Variant::Bar, 0, 100, 0, true},
        {kSaturation,
         {skin::du(338), skin::du(57), skin::du(85), skin::du(11)},
         SkinSlider::Variant::Bar,
         -100,
         100,
         1,
         true},
        {kPosition,
         {skin::du(12), skin::du(243), skin::du(399), skin::du(5)},
         SkinSlider::Variant::Bitmap,
         0,
         0,
         0,
         true},
    };
    const QPixmap back = QPixmap::fromImage(player_images::background(size()));
    for (const SliderPlace& place : kSliders) {
        auto* s = new SkinSlider(place.variant, this);
        s->setObjectName(QString::number(place.id));
        s->setGeometry(place.rect);
        s->setRange(place.minimum, place.maximum);
        s->setValue(place.value);
        s->setVisible(place.shown);
        if (place.variant != SkinSlider::Variant::Bitmap)
            s->setPanelBackground(back, place.rect.topLeft());
        if (place.id == kVolume) {
            s->installEventFilter(new TipFilter(s, QStringLiteral("音量")));
            s->setAccessibleName(QStringLiteral("音量"));
        } else if (place.variant == SkinSlider::Variant::Bar) {
            s->installEventFilter(new TipFilter(s, noPictureControlsText(), true));
        }
    }

    list_ = new PlaylistView(playlist_, this, [this](int id) { command(id); });
    list_->setGeometry(skin::du(322), skin::du(72), skin::du(101), skin::du(169));
}

void PlayerWindow::connectButton(QWidget* button, int id)
{
    auto* b = static_cast<QAbstractButton*>(button);
    connect(b, &QAbstractButton::clicked, this, [this, id] { command(id); });
}

QWidget* PlayerWindow::control(int id) const
{
    if (id == PlaylistView::kControlId)
        return list_;
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

SkinSlider* PlayerWindow::slider(int id) const { return qobject_cast<SkinSlider*>(control(id)); }

void PlayerWindow::tickVideoSetMenu() const
{
    const int ticked = displayMode_ == DisplayMode::ActualSize ? kMenuActualSize
        : displayMode_ == DisplayMode::FitArea                 ? kMenuFitArea
                                                               : kMenuFullScreen;
    for (int id : {kMenuActualSize, kMenuFitArea, kMenuFullScreen})
        if (QAction* a = sharedMenuAction(SharedPopup::VideoSet, id))
            a->setChecked(id == ticked);
}

void PlayerWindow::showVideoSetMenu()
{
    QMenu* menu = sharedPopup(SharedPopup::VideoSet);
    tickVideoSetMenu();
    QWidget* button = control(kVideoSet);
    const QAction* chosen = menu->exec(button->mapToGlobal(QPoint(0, button->height())));
    if (chosen)
        command(menuCommandOf(chosen));
}

void PlayerWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QColor skin = skin::skinColor();
    p.fillRect(0, 0, width(), kTopBarHeight, skin);
    const QImage& back = player_images::background(size());
    p.drawImage(QRect(0, kTopBarHeight, width(), height() - kTopBarHeight), back,
                QRect(0, kTopBarHeight, width(), height() - kTopBarHeight));
    p.fillRect(videoArea_, QColor(16, 16, 16));

    const QColor light = skin::lighter(skin, 48);
    const QColor dark = skin::darker(skin, 32);
    const QColor lines[] = {light, dark, light};
    for (int i = 0; i < 3; ++i) {
        p.setPen(lines[i]);
        p.drawLine(0, kTopBarHeight + i, width() - 1, kTopBarHeight + i);
    }
    const QRect panel = picturePanel();
    const QColor edges[] = {light, QColor(80, 80, 80), light};
    for (int i = 0; i < 3; ++i) {
        p.setPen(edges[i]);
        p.drawLine(panel.left() + i, 0, panel.left() + i, panel.bottom());
    }
    p.setPen(light);
    p.drawLine(panel.left() + 3, kPanelLineY1, panel.right(), kPanelLineY1);
    p.drawLine(panel.left() + 3, kPanelLineY2, panel.right(), kPanelLineY2);

    p.setPen(Qt::white);
    p.setFont(skin::smallFont());
    p.drawText(timeReadoutRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, timeText());
    const char* labels[] = {"亮度", "对比", "色调", "饱和"};
    for (int i = 0; i < 4; ++i)
        p.drawText(QRect(panel.left() + 10, panel.top() + 12 + 26 * i, 40, 16), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromUtf8(labels[i]));
}

} // namespace qf::ui
