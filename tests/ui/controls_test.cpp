// The skinned controls: looks per state, hover, animations, notifications.
#include <QCoreApplication>
#include <QHeaderView>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimeEdit>

#include <gtest/gtest.h>

#include "core/messages.h"
#include "ui/notify/floating_tip.h"
#include "ui/controls/glow_button.h"
#include "ui/shell/message_dispatch.h"
#include "ui/skin/skin.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_check_box.h"
#include "ui/controls/skin_header.h"
#include "ui/controls/skin_slider.h"
#include "ui/controls/skin_time_picker.h"
#include "ui/controls/small_button.h"
#include "ui/controls/switch_button.h"
#include "ui_test_support.h"

using namespace qf::ui;
using namespace qf::ui::test;

namespace {

// A strip of four 20 x 10 images, each one solid colour.
QImage fourStateStrip()
{
    QImage strip(20, 40, QImage::Format_RGB32);
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::gray};
    for (int i = 0; i < 4; ++i)
        QPainter(&strip).fillRect(QRect(0, i * 10, 20, 10), colours[i]);
    return strip;
}

} // namespace

TEST(SkinButton, StatePicksTheImageRow)
{
    struct Case {
        bool enabled, pressed, selected, hover;
        int states, row;
    };
    const Case cases[] = {
        {true, false, false, false, 4, 0},  {true, false, false, true, 4, 1},  {true, true, false, true, 4, 2},
        {true, false, true, true, 4, 2},    {false, false, false, true, 4, 3}, {false, true, true, true, 4, 3},
        {false, false, false, false, 3, 0}, // a three-state strip has no disabled look
        {true, false, false, true, 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SkinButton::imageRow(c.enabled, c.pressed, c.selected, c.hover, c.states), c.row)
            << c.enabled << c.pressed << c.selected << c.hover << c.states;
}

TEST(SkinButton, DrawsTheRowOfItsStateAndStickySelectionSurvivesHover)
{
    SkinButton b;
    b.resize(20, 10);
    b.setImages(fourStateStrip(), QPoint(0, 0), QSize(20, 10), 4);
    EXPECT_EQ(pixel(&b, 2, 2), QColor(Qt::red));
    enter(&b);
    EXPECT_EQ(pixel(&b, 2, 2), QColor(Qt::green));
    b.setDown(true);
    EXPECT_EQ(pixel(&b, 2, 2), QColor(Qt::blue));
    b.setDown(false);
    b.setSticky(true);
    b.select();
    EXPECT_EQ(pixel(&b, 2, 2), QColor(Qt::blue)) << "a selected sticky button stays pressed under hover";
    leave(&b);
    EXPECT_EQ(pixel(&b, 2, 2), QColor(Qt::blue));
    b.deselect();
    b.setEnabled(false);
    EXPECT_EQ(pixel(&b, 2, 2), QColor(Qt::gray));
}

TEST(SkinButton, WithoutImagesItIsFramedOnTheSkin)
{
    SkinButton b(QStringLiteral("确定"));
    b.resize(56, 18);
    const QImage img = b.grab().toImage();
    EXPECT_EQ(img.pixelColor(28, 0), skin::colorRef(skin::kFrameColour));
    EXPECT_EQ(img.pixelColor(2, 9), skin::skinColor());
}

TEST(SkinButton, OnlyOneHoverTipAndMovingOnReplacesIt)
{
    setFloatingTipsEnabled(true);
    QWidget window;
    window.resize(400, 300);
    SkinButton a(&window), b(&window);
    a.setGeometry(10, 10, 30, 30);
    b.setGeometry(50, 10, 30, 30);
    a.setTooltip(QStringLiteral("关闭"));
    b.setTooltip(QStringLiteral("最小化"));
    window.show();
    enter(&a);
    ASSERT_NE(currentHoverTip(), nullptr);
    EXPECT_EQ(currentHoverTip()->text(), QStringLiteral("关闭"));
    leave(&a);
    EXPECT_EQ(currentHoverTip(), nullptr);
    enter(&a);
    enter(&b); // no leave in between: the new tip still replaces the old
    ASSERT_NE(currentHoverTip(), nullptr);
    EXPECT_EQ(currentHoverTip()->text(), QStringLiteral("最小化"));
    setFloatingTipsEnabled(false);
    enter(&a);
    EXPECT_EQ(currentHoverTip(), nullptr) << "with tips off, none is shown and the old one is gone";
    setFloatingTipsEnabled(true);
    QCoreApplication::processEvents();
}

TEST(GlowButton, EnteringAgainDoesNotRestartTheSweepOrTheSound)
{
    SoundLog log;
    GlowButton b;
    b.setImages(skin::bitmap(skin::kBottomButtons), QPoint(37, 0));
    enter(&b);
    EXPECT_EQ(b.animation(), GlowButton::Animation::Sweep);
    EXPECT_EQ(b.counter(), GlowButton::kSweepTicks);
    for (int i = 0; i < 5; ++i)
        b.advance();
    leave(&b);
    enter(&b);
    EXPECT_EQ(b.counter(), GlowButton::kSweepTicks - 5);
    EXPECT_EQ(log.played, (std::vector<Sound>{Sound::Wave154}));
    // A press replaces the sweep by the ripple and plays the click.
    mouse(&b, QEvent::MouseButtonPress, QPoint(18, 18));
    EXPECT_EQ(b.animation(), GlowButton::Animation::Ripple);
    EXPECT_EQ(b.counter(), GlowButton::kRippleTicks);
    EXPECT_EQ(log.played.back(), Sound::DingFile);
    mouse(&b, QEvent::MouseButtonRelease, QPoint(18, 18));
    for (int i = 0; i < GlowButton::kRippleTicks; ++i)
        b.advance();
    EXPECT_EQ(b.animation(), GlowButton::Animation::None);
    enter(&b);
    EXPECT_EQ(b.animation(), GlowButton::Animation::Sweep) << "once idle, entering sweeps again";
}

TEST(GlowButton, RippleRingsShrinkThenGrowPastTheEdge)
{
    const QSize s(37, 37);
    EXPECT_EQ(GlowButton::rippleRings(s, 30), (QList<QRect>{QRect(13, 13, 11, 11)}));
    // Turned inside out: drawn normalised, growing beyond the button.
    const QList<QRect> late = GlowButton::rippleRings(s, 2);
    ASSERT_EQ(late.size(), 3);
    EXPECT_GT(late[0].width(), 37);
    EXPECT_EQ(late[1].width(), late[0].width() + 10);
    EXPECT_EQ(GlowButton::sweepOffset(20), QPoint(4, -4));
    EXPECT_EQ(GlowButton::sweepOffset(0), QPoint(24, -24));
}

TEST(SmallButton, ToggleFlipsBeforeTheParentSeesTheClickAndPicksItsRow)
{
    SmallButton b;
    b.resize(18, 18);
    b.setImages(skin::bitmap(skin::kSmallButtons), QPoint(0, 0), QSize(16, 16), 2);
    b.setToggleMode(true);
    b.setState(1);
    int seen = -1;
    QObject::connect(&b, &QAbstractButton::clicked, &b, [&] { seen = b.state(); });
    click(&b, QPoint(9, 9));
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(SmallButton::imageCell(false, true, 1, 2), QPoint(0, 0));
    EXPECT_EQ(SmallButton::imageCell(true, true, 0, 2), QPoint(1, 1));
    EXPECT_EQ(SmallButton::imageCell(true, false, 0, 1), QPoint(1, 0));
    // The skin shows round the 1-pixel inset.
    EXPECT_EQ(pixel(&b, 0, 0), skin::skinColor());
}

TEST(SwitchButton, PressFlipsAndPostsTheNewStateToItsParent)
{
    MessageWidget parent;
    std::vector<std::pair<uint64_t, intptr_t>> seen;
    parent.messages().onAny(qf::core::WM_SWITCH_NOTIFY, [&](const qf::core::Message& m) -> intptr_t {
        seen.emplace_back(m.wParam, m.lParam);
        return 0;
    });
    auto* sw = new SwitchButton(&parent);
    sw->resize(14, 14);
    mouse(sw, QEvent::MouseButtonPress, QPoint(7, 7));
    mouse(sw, QEvent::MouseButtonPress, QPoint(7, 7));
    sw->setToggleEnabled(false);
    mouse(sw, QEvent::MouseButtonPress, QPoint(7, 7));
    sw->setState(true); // set by the program: no message
    QCoreApplication::processEvents();
    const intptr_t self = controlParam(sw);
    EXPECT_EQ(seen, (std::vector<std::pair<uint64_t, intptr_t>>{{1, self}, {0, self}}));
}

TEST(SkinSlider, ThumbGeometryKeepsItInsideAndMapsClicks)
{
    struct Case {
        int value, left;
    };
    for (const Case& c : {Case{0, 0}, Case{100, 100}, Case{50, 50}, Case{-5, 0}, Case{500, 100}})
        EXPECT_EQ(SkinSlider::thumbLeft(c.value, 0, 100, 120, 20), c.left) << c.value;
    struct Click {
        int x, value;
    };
    for (const Click& c : {Click{0, 0}, Click{10, 0}, Click{60, 50}, Click{110, 100}, Click{119, 100}})
        EXPECT_EQ(SkinSlider::valueAt(c.x, 0, 100, 120, 20), c.value) << c.x;
    EXPECT_EQ(SkinSlider::valueAt(60, -100, 100, 120, 20), 0);
}

TEST(SkinSlider, ClickOnTheTrackMovesTheThumbAndNotifiesTheParent)
{
    MessageWidget parent;
    int notices = 0;
    parent.messages().on(qf::core::WM_PLAYER_NOTIFY, qf::core::PLAYER_SLIDER_MOVED,
                         [&](const qf::core::Message&) -> intptr_t {
                             ++notices;
                             return 0;
                         });
    auto* slider = new SkinSlider(SkinSlider::Variant::Bitmap, &parent);
    slider->setRange(0, 100);
    slider->resize(120, 18);
    slider->setValue(0);
    click(slider, QPoint(85, 9));
    EXPECT_EQ(slider->value(), 75);
    slider->setValue(10); // the program moving it does not notify
    QCoreApplication::processEvents();
    EXPECT_EQ(notices, 1);
    // Dragging notifies on every change.
    mouse(slider, QEvent::MouseButtonPress, QPoint(slider->thumbRect().center()));
    mouse(slider, QEvent::MouseMove, QPoint(100, 9));
    mouse(slider, QEvent::MouseButtonRelease, QPoint(100, 9));
    QCoreApplication::processEvents();
    EXPECT_EQ(notices, 2);
    EXPECT_GT(slider->value(), 75);
}

TEST(SkinSlider, ThumbAtTheMinimumIsDrawnFlushAndWhole)
{
    for (auto variant : {SkinSlider::Variant::Bitmap, SkinSlider::Variant::Channel, SkinSlider::Variant::Bar}) {
        SkinSlider slider(variant);
        slider.setRange(0, 100);
        slider.resize(120, 18);
        slider.setValue(0);
        const QRect thumb = slider.thumbRect();
        EXPECT_EQ(thumb.left(), 0);
        const QImage img = slider.grab().toImage();
        // The thumb's outline sits in column 0 and its face right of it.
        EXPECT_NE(img.pixelColor(0, thumb.center().y()), skin::skinColor());
        const QColor face = img.pixelColor(thumb.center().x(), thumb.top() + 3);
        EXPECT_GT(face.red(), 180) << "thumb face is light";
        slider.setValue(100);
        EXPECT_EQ(slider.thumbRect().right(), 119);
        // With the focus only a ring is added: track and thumb stay as they were.
        slider.setValue(50);
        const QImage plain = slider.grab().toImage();
        slider.show();
        QApplication::setActiveWindow(&slider);
        slider.setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(slider.hasFocus());
        const QImage focused = slider.grab().toImage();
        for (const QPoint at : {QPoint(30, 9), QPoint(90, 4), slider.thumbRect().center()})
            EXPECT_EQ(focused.pixelColor(at), plain.pixelColor(at)) << at.x() << "," << at.y();
        int ring = 0;
        for (int x = 0; x < focused.width(); ++x)
            ring += focused.pixelColor(x, 0) != plain.pixelColor(x, 0);
        EXPECT_GT(ring, 20) << "the focus ring";
    }
}

TEST(SkinCheckBox, FrameAndCaptionColoursFollowTheState)
{
    SkinCheckBox box(QStringLiteral("显示浮动提示"));
    box.resize(124, 22);
    EXPECT_EQ(pixel(&box, 60, 0), skin::colorRef(skin::kFrameColour));
    box.setEnabled(false);
    EXPECT_EQ(pixel(&box, 60, 0), skin::colorRef(skin::kDisabledColour));
    EXPECT_EQ(SkinCheckBox::captionColour(true, false, false), skin::kWhite);
    EXPECT_EQ(SkinCheckBox::captionColour(true, false, true), skin::kHoverTextColour);
    EXPECT_EQ(SkinCheckBox::captionColour(true, true, true), skin::kPressedTextColour);
    EXPECT_EQ(SkinCheckBox::captionColour(false, true, true), skin::kDisabledTextColour);
    box.setEnabled(true);
    click(&box, QPoint(60, 11));
    EXPECT_TRUE(box.isChecked());
    click(&box, QPoint(60, 11));
    EXPECT_FALSE(box.isChecked());
    box.setRadioMode(true);
    click(&box, QPoint(60, 11));
    click(&box, QPoint(60, 11));
    EXPECT_TRUE(box.isChecked()) << "a radio box is only ever set by a click";
}

TEST(SkinHeader, CheckAllBoxCallsTheOwnerAndDings)
{
    SoundLog log;
    QStandardItemModel model(2, 3);
    model.setHorizontalHeaderLabels({QString(), QStringLiteral("文件名"), QStringLiteral("状态")});
    QTableView view;
    auto* header = new SkinHeader(&view);
    view.setHorizontalHeader(header);
    view.setModel(&model);
    view.resize(400, 200);
    header->resizeSection(0, 30);
    view.show();
    std::vector<bool> calls;
    header->setCheckAllAction([&](bool on) { calls.push_back(on); });
    EXPECT_EQ(header->sectionResizeMode(0), QHeaderView::Fixed);
    const QPoint box = header->checkBoxRect().center();
    mouse(header->viewport(), QEvent::MouseButtonPress, box);
    mouse(header->viewport(), QEvent::MouseButtonPress, box + QPoint(header->checkBoxRect().width() / 2 + 2, 0));
    EXPECT_EQ(calls, (std::vector<bool>{true, false}));
    EXPECT_EQ(log.played, (std::vector<Sound>{Sound::Ding, Sound::Ding}));
    header->setCheckAll(false); // unchanged: silent
    header->setCheckAll(true); // changed: dings, but the owner is not called
    EXPECT_EQ(log.played.size(), 3u);
    EXPECT_EQ(calls.size(), 2u);
    const QImage img = header->viewport()->grab().toImage();
    EXPECT_EQ(img.pixelColor(100, 0), skin::colorRef(skin::kHeaderLightColour));
    EXPECT_EQ(img.pixelColor(100, img.height() - 1), skin::colorRef(skin::kHeaderDarkColour));
    EXPECT_EQ(img.pixelColor(header->sectionViewportPosition(1), 5), skin::colorRef(skin::kHeaderLightColour));
    EXPECT_EQ(img.pixelColor(header->sectionViewportPosition(1) + 3, 3), skin::colorRef(skin::kHeaderColumnColour));
}

TEST(SkinTimePicker, TextRules)
{
    SkinTimePicker picker;
    EXPECT_EQ(picker.dateTime(), QDateTime(QDate(2009, 1, 1), QTime(0, 0, 0)));
    EXPECT_EQ(picker.editor()->displayFormat(), QStringLiteral(" HH:mm:ss"));
    struct Case {
        const char* text;
        const char* shown;
        bool checked;
    };
    const Case cases[] = {
        {"01:02:03", "01:02:03", true},  {"00:00:00", "00:00:00", false}, {"23:59:59", "23:59:59", true},
        {"24:00:00", "00:00:00", false}, {"1:02:03", "00:00:00", false},  {"00:00:01", "00:00:01", true},
    };
    for (const Case& c : cases) {
        picker.setFromText("12:00:00");
        picker.setFromText(c.text);
        EXPECT_EQ(picker.timeText(), QString::fromUtf8(c.shown)) << c.text;
        EXPECT_EQ(picker.isChecked(), c.checked) << c.text;
    }
    picker.setFromText("00:00:10");
    picker.resize(picker.sizeHint());
    mouse(picker.spin(), QEvent::MouseButtonPress, QPoint(3, 1));
    EXPECT_EQ(picker.spin()->pressedArrow(), 0);
    mouse(picker.spin(), QEvent::MouseButtonRelease, QPoint(3, 1));
    EXPECT_NE(picker.timeText(), QStringLiteral("00:00:10"));
}

TEST(Skin, BitmapsHaveTheirSizesAndTheGradientRunsDiagonally)
{
    const std::pair<int, QSize> sizes[] = {
        {skin::kFrameParts, {65, 122}},  {skin::kTitleButtons, {120, 90}}, {skin::kTabStrip, {64, 114}},
        {skin::kSmallButtons, {64, 48}}, {skin::kBottomButtons, {74, 74}}, {skin::kActivity, {240, 16}},
        {skin::kCheckOff, {13, 13}},     {skin::kCheckOn, {13, 13}},       {skin::kTrayMenuItem, {13, 13}},
    };
    for (const auto& [id, size] : sizes)
        EXPECT_EQ(skin::bitmap(id).size(), size) << id;
    EXPECT_TRUE(skin::bitmap(999).isNull());
    EXPECT_NE(skin::bitmap(skin::kCheckOff), skin::bitmap(skin::kCheckOn));
    // W + H = 6 lines from black to grey 60: line i has 10 * i.
    const QImage g = skin::gradientImage(QSize(4, 2), Qt::black, QColor(60, 60, 60), skin::kGradientDown);
    EXPECT_EQ(g.pixelColor(0, 0), QColor(0, 0, 0));
    EXPECT_EQ(g.pixelColor(3, 1), QColor(40, 40, 40));
    EXPECT_EQ(g.pixelColor(1, 1), QColor(20, 20, 20));
    const QImage up = skin::gradientImage(QSize(4, 2), Qt::black, QColor(60, 60, 60), skin::kGradientUp);
    EXPECT_EQ(up.pixelColor(3, 0), QColor(0, 0, 0));
    EXPECT_EQ(up.pixelColor(0, 1), QColor(40, 40, 40));
    EXPECT_EQ(skin::colorRef(skin::kSkinColour), QColor(0x36, 0x6A, 0xB3));
    EXPECT_EQ(skin::du(430), 860);
    EXPECT_EQ(skin::mediumFont().pixelSize(), 15);
}
