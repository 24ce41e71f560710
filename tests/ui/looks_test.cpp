// What the controls and the message box look like as drawn: caption colours
// per state, where things sit, and the link label's behaviour.
#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>

#include "ui/notify/confirm_box.h"
#include "ui/notify/floating_tip.h"
#include "ui/controls/glow_button.h"
#include "ui/controls/link_label.h"
#include "ui/skin/skin.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_check_box.h"
#include "ui/controls/small_button.h"
#include "ui/notify/tray_icon.h"
#include "ui_test_support.h"

using namespace qf::ui;
using namespace qf::ui::test;

namespace {

// Text without antialiasing, so every inked pixel has exactly the pen colour.
QFont solidFont(int pixels = 20)
{
    QFont f = skin::smallFont();
    f.setPixelSize(pixels);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

int countColour(const QImage& img, QColor colour, QRect area = QRect())
{
    if (area.isNull())
        area = img.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixelColor(x, y) == colour;
    return n;
}

// The bounding box of the pixels of a colour (empty when there are none).
QRect inkBox(const QImage& img, QColor colour, QRect area = QRect())
{
    if (area.isNull())
        area = img.rect();
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixelColor(x, y) == colour)
                box |= QRect(x, y, 1, 1);
    return box;
}

QImage solidImage(QSize size, QColor colour)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

} // namespace

TEST(SkinButtonLooks, CaptionColourFollowsTheState)
{
    SkinButton b(QStringLiteral("一二三"));
    b.setFont(solidFont());
    b.resize(90, 30);
    const QColor normal = skin::colorRef(0x632900), pressed = skin::colorRef(0x00FFFF);
    auto inked = [&](QColor c) { return countColour(b.grab().toImage(), c, b.rect().adjusted(3, 3, -3, -3)); };
    EXPECT_GT(inked(normal), 10) << "default normal colour";
    EXPECT_EQ(inked(pressed), 0);
    enter(&b);
    EXPECT_GT(inked(normal), 10) << "hover keeps the normal colour by default";
    b.setDown(true);
    EXPECT_GT(inked(pressed), 10);
    EXPECT_EQ(inked(normal), 0);
    b.setDown(false);
    b.setSticky(true);
    b.select();
    EXPECT_GT(inked(pressed), 10) << "a selected sticky button writes in the pressed colour";
    b.deselect();
    leave(&b);
    // The message box's colours: white, 0x80FFFF on hover, 0x00FFFF pressed;
    // disabled writes in the normal colour.
    b.setTextColours(skin::kWhite, skin::kHoverTextColour, skin::kButtonPressedTextColour);
    EXPECT_GT(inked(Qt::white), 10);
    enter(&b);
    EXPECT_GT(inked(skin::colorRef(skin::kHoverTextColour)), 10);
    EXPECT_EQ(inked(Qt::white), 0);
    b.setEnabled(false);
    EXPECT_GT(inked(Qt::white), 10);
    // Centred on one line.
    const QRect ink = inkBox(b.grab().toImage(), Qt::white);
    EXPECT_LE(std::abs((ink.left() + ink.right()) / 2 - 45), 2);
}

TEST(ConfirmBoxLooks, LiveGeometryFromTheMeasuredText)
{
    const QString line1 = QStringLiteral("转换任务正在进行,"), line2 = QStringLiteral("你确认要关闭程序？");
    const QString check = QStringLiteral("以后不要再弹出这个提示。");
    ConfirmBox box(nullptr, line1 + QStringLiteral("\r\n") + line2, 12, check);
    const QFontMetrics msg(skin::font(QStringLiteral("新宋体"), 11));
    const QFontMetrics small(skin::font(QStringLiteral("新宋体"), 9.6));
    const int t = std::max({msg.horizontalAdvance(line1), msg.horizontalAdvance(line2), 140});
    const int c = small.horizontalAdvance(check) + 26;
    const int w = (t < c ? c : t) + 40;
    const int h = 2 * (msg.height() + 4) + 90;
    EXPECT_EQ(box.size(), QSize(w, h));
    EXPECT_EQ(box.button(0)->geometry(), QRect(w / 2 - 64, h - 32, 56, 18));
    EXPECT_EQ(box.button(1)->geometry(), QRect(w / 2 + 8, h - 32, 56, 18));
    EXPECT_TRUE(box.button(0)->isVisibleTo(&box));
    EXPECT_TRUE(box.button(1)->isVisibleTo(&box));
    EXPECT_FALSE(box.button(2)->isVisibleTo(&box));
    EXPECT_EQ(box.button(0)->text(), QStringLiteral("是"));
    EXPECT_EQ(box.button(1)->text(), QStringLiteral("否"));
    EXPECT_EQ(box.checkBox()->geometry(), QRect(w / 2 - c / 2, h - 60, c, 21));
    EXPECT_TRUE(box.checkBox()->isVisibleTo(&box));
    EXPECT_EQ(box.checkBox()->text(), check);
    EXPECT_EQ(box.layout().textRect, QRect(w / 2 - t / 2, 20, t, 2 * (msg.height() + 4)));

    ConfirmBox one(nullptr, QStringLiteral("好"), 1);
    EXPECT_EQ(one.size(), QSize(180, msg.height() + 4 + 60));
    EXPECT_EQ(one.button(0)->geometry(), QRect(90 - 28, one.height() - 32, 56, 18));
    EXPECT_EQ(one.button(0)->text(), QStringLiteral("确定"));
    EXPECT_FALSE(one.checkBox()->isVisibleTo(&one));
}

TEST(ConfirmBoxLooks, MessageInWhiteCentredOrLineByLine)
{
    // Ink is where a box differs from the same box with blank lines.
    auto ink = [](const QString& message, const QString& blank, QRect* textRect) {
        ConfirmBox box(nullptr, message, 1), empty(nullptr, blank, 1);
        EXPECT_EQ(box.size(), empty.size());
        const QImage a = box.grab().toImage(), b = empty.grab().toImage();
        *textRect = box.layout().textRect;
        QImage mask(a.size(), QImage::Format_RGB32);
        mask.fill(Qt::black);
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
                if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue())
                    > 60) {
                    EXPECT_GT(p.lightness(), q.lightness()) << "white text";
                    mask.setPixelColor(x, y, Qt::white);
                }
            }
        return mask;
    };
    QRect text;
    const QImage single = ink(QStringLiteral("一二"), QStringLiteral(" "), &text);
    const QRect one = inkBox(single, Qt::white);
    ASSERT_FALSE(one.isEmpty());
    EXPECT_TRUE(text.contains(one));
    EXPECT_LE(std::abs(one.center().x() - text.center().x()), 2) << "one line is centred";
    EXPECT_LE(std::abs(one.center().y() - text.center().y()), 3);

    const QImage many = ink(QStringLiteral("一二\n三四\n五六"), QStringLiteral(" \n \n "), &text);
    const int step = QFontMetrics(skin::font(QStringLiteral("新宋体"), 11)).height() + 4;
    EXPECT_EQ(text.height(), 3 * step);
    for (int i = 0; i < 3; ++i) {
        const QRect line = inkBox(many, Qt::white, QRect(0, text.top() + i * step, many.width(), step));
        ASSERT_FALSE(line.isEmpty()) << "line " << i;
        EXPECT_LE(line.left() - text.left(), 3) << "line " << i << " starts at the left of the text rectangle";
    }
    EXPECT_TRUE(text.contains(inkBox(many, Qt::white)));
}

TEST(ConfirmBoxLooks, ButtonCaptionsUseTheBoxColours)
{
    ConfirmBox box(nullptr, QStringLiteral("是否覆盖？"), 16);
    SkinButton* b = box.button(2);
    b->setFont(solidFont(14));
    EXPECT_EQ(b->text(), QStringLiteral("全部是"));
    EXPECT_GT(countColour(b->grab().toImage(), Qt::white), 5);
    enter(b);
    EXPECT_GT(countColour(b->grab().toImage(), skin::colorRef(skin::kHoverTextColour)), 5);
    b->setDown(true);
    EXPECT_GT(countColour(b->grab().toImage(), skin::colorRef(skin::kButtonPressedTextColour)), 5);
    b->setDown(false);
    leave(b);
    QCoreApplication::processEvents();
}

TEST(FloatingTipLooks, OutlinedAllRoundWithTheTextInset)
{
    setFloatingTipsEnabled(true);
    QWidget owner;
    owner.resize(300, 200);
    owner.show();
    showHoverTip(&owner, QStringLiteral("一二\n三"), false, false);
    FloatingTip* tip = currentHoverTip();
    ASSERT_NE(tip, nullptr);
    const QImage img = tip->grab().toImage();
    const int w = img.width(), h = img.height();
    for (const QPoint& edge : {QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(0, h / 2), QPoint(w - 1, h / 2)})
        EXPECT_EQ(img.pixelColor(edge), QColor(Qt::black)) << edge.x() << "," << edge.y();
    QRect ink;
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x)
            if (img.pixelColor(x, y).lightness() < 128)
                ink |= QRect(x, y, 1, 1);
    ASSERT_FALSE(ink.isEmpty()) << "black text";
    EXPECT_GE(ink.left(), 8);
    EXPECT_GE(ink.top(), 6);
    EXPECT_LE(ink.right(), w - 1 - 8);
    EXPECT_LE(ink.bottom(), h - 1 - 6);
    EXPECT_GT(ink.height(), QFontMetrics(skin::mediumFont()).height()) << "two lines";
    // Below the owner by 8 pixels.
    EXPECT_EQ(tip->pos().y(), owner.mapToGlobal(QPoint(0, 0)).y() + owner.height() + 8);
    hideHoverTip();
    QCoreApplication::processEvents();
}

TEST(FloatingTipLooks, PopupLeftOfTheCursorAndGoneWhenDeactivated)
{
    setFloatingTipsEnabled(true);
    QWidget owner;
    owner.resize(300, 200);
    owner.show();
    QCursor::setPos(500, 300);
    ASSERT_EQ(QCursor::pos(), QPoint(500, 300));
    showInfoPopup(&owner, QStringLiteral("视频: 320x240"));
    FloatingTip* popup = currentInfoPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->pos(), QPoint(500 - popup->width(), 300));
    EXPECT_FALSE(popup->testAttribute(Qt::WA_ShowWithoutActivating));
    QCoreApplication::processEvents();
    QWidget other;
    other.show();
    other.activateWindow();
    QCoreApplication::processEvents();
    ASSERT_TRUE(other.isActiveWindow());
    EXPECT_FALSE(popup->isVisible()) << "the popup hides when the user turns elsewhere";
    EXPECT_EQ(currentInfoPopup(), popup) << "hidden, not replaced";
}

TEST(SmallButtonLooks, GridCellsAndThePressedShift)
{
    // Columns: normal, hover; rows: on, off.
    QImage grid(32, 32, QImage::Format_RGB32);
    {
        QPainter p(&grid);
        p.fillRect(0, 0, 16, 16, Qt::red);
        p.fillRect(16, 0, 16, 16, Qt::green);
        p.fillRect(0, 16, 16, 16, Qt::blue);
        p.fillRect(16, 16, 16, 16, Qt::yellow);
    }
    SmallButton b;
    b.resize(18, 18);
    b.setImages(grid, QPoint(0, 0), QSize(16, 16), 2);
    b.setToggleMode(true);
    b.setState(1);
    EXPECT_EQ(pixel(&b, 0, 0), skin::skinColor());
    EXPECT_EQ(pixel(&b, 1, 1), QColor(Qt::red));
    EXPECT_EQ(pixel(&b, 16, 16), QColor(Qt::red));
    enter(&b);
    EXPECT_EQ(pixel(&b, 1, 1), QColor(Qt::green));
    b.setDown(true);
    EXPECT_EQ(pixel(&b, 1, 1), skin::skinColor()) << "pressed moves the image right and down";
    EXPECT_EQ(pixel(&b, 2, 2), QColor(Qt::green));
    b.setDown(false);
    leave(&b);
    b.setState(0);
    EXPECT_EQ(pixel(&b, 1, 1), QColor(Qt::blue));
}

TEST(SkinCheckBoxLooks, BoxAtThreeAndCaptionAtTwentyThree)
{
    SkinCheckBox box(QStringLiteral("一二三"));
    box.setFont(solidFont(13));
    box.resize(124, 22);
    const QImage& check = skin::bitmap(skin::kCheckOff);
    const QRect square = SkinCheckBox::boxRect(box.size(), check.size());
    EXPECT_EQ(square, QRect(3, (22 - 15) / 2, 15, 15));
    QImage img = box.grab().toImage();
    EXPECT_EQ(img.pixelColor(3, square.center().y()), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(2, square.center().y()), skin::skinColor());
    const QRect caption = inkBox(img, Qt::white, QRect(19, 2, 100, 18));
    ASSERT_FALSE(caption.isEmpty());
    EXPECT_GE(caption.left(), 23);
    EXPECT_LE(caption.left(), 26);
    box.setEnabled(false);
    img = box.grab().toImage();
    EXPECT_EQ(img.pixelColor(3, square.center().y()), skin::colorRef(skin::kDisabledColour));
    EXPECT_EQ(countColour(img, Qt::white, QRect(19, 2, 100, 18)), 0) << "disabled caption is grey";
}

TEST(GlowButtonLooks, RingsAreWhiteThenPale)
{
    SoundLog log;
    GlowButton b;
    b.setImages(solidImage(QSize(37, 37), QColor(40, 40, 40)), QPoint(0, 0));
    mouse(&b, QEvent::MouseButtonPress, QPoint(18, 18));
    mouse(&b, QEvent::MouseButtonRelease, QPoint(18, 18));
    auto near = [](QColor a, QColor c) {
        return std::abs(a.red() - c.red()) + std::abs(a.green() - c.green()) + std::abs(a.blue() - c.blue()) <= 6;
    };
    auto has = [&](QColor c) {
        const QImage img = b.grab().toImage();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (near(img.pixelColor(x, y), c))
                    return true;
        return false;
    };
    const QColor pale = skin::colorRef(0xFCE2D2);
    EXPECT_TRUE(has(Qt::white));
    EXPECT_FALSE(has(pale));
    while (b.counter() > 10)
        b.advance();
    EXPECT_TRUE(has(pale));
    EXPECT_FALSE(has(Qt::white));
    EXPECT_EQ(log.played, (std::vector<Sound>{Sound::DingFile}));
}

TEST(GlowButtonLooks, TheSweepLightensWithoutHidingTheImage)
{
    SoundLog log;
    GlowButton b;
    b.setImages(solidImage(QSize(37, 37), Qt::black), QPoint(0, 0));
    enter(&b);
    ASSERT_EQ(b.animation(), GlowButton::Animation::Sweep);
    const QImage img = b.grab().toImage();
    int lit = 0, brightest = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const int l = img.pixelColor(x, y).lightness();
            lit += l > 40;
            brightest = std::max(brightest, l);
        }
    EXPECT_GT(lit, 20) << "the highlight shows";
    EXPECT_LT(brightest, 200) << "the image shows through it";
    leave(&b);
    QCoreApplication::processEvents();
}

TEST(LinkLabel, SizeColoursUnderlineAndActions)
{
    setFloatingTipsEnabled(true);
    QWidget parent;
    parent.resize(400, 100);
    const QFont font = solidFont(14);
    const QString text = QStringLiteral("一二三四");
    LinkLabel link(QPoint(10, 20), 300, &parent, text, QStringLiteral("/tmp/out"), font);
    const QFontMetrics fm(font);
    EXPECT_EQ(link.geometry(), QRect(10, 20, fm.horizontalAdvance(text), fm.height()));
    LinkLabel capped(QPoint(0, 0), 30, &parent, text, QString(), font);
    EXPECT_EQ(capped.width(), 30);

    const QColor normal = skin::colorRef(0x00FFFF), pressed = skin::colorRef(0xFFFF00);
    link.setColours(skin::kSkinColour, 0xFFFF00, 0x00FFFF);
    const int idle = countColour(link.grab().toImage(), normal);
    EXPECT_GT(idle, 10);
    EXPECT_EQ(countColour(link.grab().toImage(), pressed), 0);
    parent.show();
    enter(&link);
    EXPECT_GT(countColour(link.grab().toImage(), normal), idle) << "underlined while hovered";
    ASSERT_EQ(currentHoverTip(), nullptr) << "no tooltip text set";
    leave(&link);

    std::vector<std::pair<QWidget*, QString>> lefts, rights;
    link.setLeftAction([&](QWidget* w, const QString& t) { lefts.emplace_back(w, t); });
    link.setRightAction([&](QWidget* w, const QString& t) { rights.emplace_back(w, t); });
    mouse(&link, QEvent::MouseButtonPress, QPoint(3, 3));
    const QImage held = link.grab().toImage();
    EXPECT_GT(countColour(held, pressed), idle) << "pressed colour, underlined";
    EXPECT_EQ(countColour(held, normal), 0);
    mouse(&link, QEvent::MouseButtonRelease, QPoint(3, 3));
    ASSERT_EQ(lefts.size(), 1u);
    EXPECT_EQ(lefts[0].first, &parent);
    EXPECT_EQ(lefts[0].second, QStringLiteral("/tmp/out"));
    mouse(&link, QEvent::MouseButtonPress, QPoint(3, 3));
    mouse(&link, QEvent::MouseButtonRelease, QPoint(link.width() + 5, 3));
    EXPECT_EQ(lefts.size(), 1u) << "released outside: nothing";
    click(&link, QPoint(3, 3), Qt::RightButton);
    ASSERT_EQ(rights.size(), 1u);
    EXPECT_EQ(rights[0].second, QStringLiteral("/tmp/out"));

    // The tooltip goes below, centred on the cursor.
    link.setTooltip(QStringLiteral("打开输出文件夹"));
    enter(&link);
    ASSERT_NE(currentHoverTip(), nullptr);
    EXPECT_EQ(currentHoverTip()->pos().y(), link.mapToGlobal(QPoint(0, 0)).y() + link.height() + 8);
    leave(&link);
    EXPECT_EQ(currentHoverTip(), nullptr);
    QCoreApplication::processEvents();
}

TEST(TrayIconLooks, MenuCommandsAndTip)
{
    QWidget window;
    TrayIcon tray(&window);
    std::vector<int> commands;
    QObject::connect(&tray, &TrayIcon::command, &tray, [&](int id) { commands.push_back(id); });
    for (QAction* action : tray.menu()->actions())
        action->trigger();
    EXPECT_EQ(commands, (std::vector<int>{32772, 32776, 32773}));
    EXPECT_STREQ(kTrayTip, "Tarnwell\nQuillfer3.5");
}
