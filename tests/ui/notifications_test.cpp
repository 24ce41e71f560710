// Tips, the confirmation box and the tray.
#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "ui/notify/confirm_box.h"
#include "ui/notify/floating_tip.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_check_box.h"
#include "ui/notify/tray_icon.h"
#include "ui_test_support.h"

using namespace qf::ui;
using namespace qf::ui::test;

TEST(TipPlacement, HoverTip)
{
    const QRect main(0, 0, 800, 600);
    const QSize tip(100, 30);
    struct Case {
        const char* what;
        QRect owner;
        bool above, atCursor;
        QPoint cursor, expected;
    };
    const Case cases[] = {
        {"centred below", QRect(300, 100, 40, 20), false, false, {}, QPoint(270, 128)},
        {"centred above", QRect(300, 100, 40, 20), true, false, {}, QPoint(270, 62)},
        {"right edge ends 10 inside", QRect(760, 100, 30, 30), false, false, {}, QPoint(690, 138)},
        {"left edge starts 10 inside", QRect(0, 100, 30, 30), false, false, {}, QPoint(10, 138)},
        {"above at the top goes off screen", QRect(300, 0, 40, 20), true, false, {}, QPoint(270, -38)},
        {"at the cursor", QRect(300, 100, 200, 20), false, true, QPoint(450, 110), QPoint(400, 128)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hoverTipPosition(tip, c.owner, c.above, c.atCursor, c.cursor, main), c.expected) << c.what;
    // An odd width halves down.
    EXPECT_EQ(hoverTipPosition(QSize(101, 30), QRect(300, 100, 40, 20), false, false, {}, main).x(), 270);
}

TEST(TipPlacement, InformationPopup)
{
    const QSize popup(200, 100);
    EXPECT_EQ(infoPopupPosition(popup, QPoint(500, 300), 768), QPoint(300, 300));
    EXPECT_EQ(infoPopupPosition(popup, QPoint(50, 300), 768), QPoint(50, 300)) << "no room on the left";
    EXPECT_EQ(infoPopupPosition(popup, QPoint(500, 740), 768), QPoint(300, 608)) << "60 above the bottom";
    EXPECT_EQ(infoPopupPosition(popup, QPoint(500, 608), 768), QPoint(300, 608));
    EXPECT_EQ(tipSizeForText(QSize(40, 14)), QSize(56, 26));
}

TEST(FloatingTips, PaintFadeAndReplace)
{
    ASSERT_TRUE(bindQtLayered());
    setFloatingTipsEnabled(true);
    QWidget owner;
    owner.resize(300, 200);
    owner.show();
    showHoverTip(&owner, QStringLiteral("选择要转换的影音文件"), true, false);
    FloatingTip* tip = currentHoverTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->size(), tipSizeFor(QStringLiteral("选择要转换的影音文件")));
    EXPECT_EQ(qRound(tip->windowOpacity() * 255), 80);
    EXPECT_TRUE(tip->fading());
    std::vector<int> seen;
    while (tip->fading())
        tip->stepFade(), seen.push_back(qRound(tip->windowOpacity() * 255));
    EXPECT_EQ(seen, (std::vector<int>{67, 84, 101, 118, 135, 152, 169, 220}));
    const QImage img = tip->grab().toImage();
    EXPECT_EQ(img.pixelColor(0, img.height() / 2), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(2, 2), skin::colorRef(skin::kFrameColour));
    EXPECT_TRUE(tip->testAttribute(Qt::WA_ShowWithoutActivating));

    showInfoPopup(&owner, QStringLiteral("视频: 320x240\n音频: 44100 Hz"));
    FloatingTip* popup = currentInfoPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->kind(), FloatingTip::Kind::Popup);
    EXPECT_EQ(popup->grab().toImage().pixelColor(3, 3), skin::colorRef(skin::kPopupColour));
    EXPECT_EQ(currentHoverTip(), tip) << "the popup leaves the hover tip alone";
    // Dragging moves it.
    const QPoint before = popup->pos();
    mouse(popup, QEvent::MouseButtonPress, QPoint(5, 5));
    mouse(popup, QEvent::MouseMove, QPoint(25, 15));
    mouse(popup, QEvent::MouseButtonRelease, QPoint(25, 15));
    EXPECT_EQ(popup->pos(), before + QPoint(20, 10));
    showInfoPopup(&owner, QStringLiteral("下一个"));
    EXPECT_NE(currentInfoPopup(), popup);
    setFloatingTipsEnabled(false);
    showInfoPopup(&owner, QStringLiteral("不显示"));
    EXPECT_EQ(currentInfoPopup(), nullptr);
    setFloatingTipsEnabled(true);
    hideHoverTip();
    QCoreApplication::processEvents();
}

TEST(ConfirmBoxLayout, WidthsAndHeightsFromMeasuredText)
{
    EXPECT_EQ(confirmLayout(1, 1, 40, 15, -1).size, QSize(180, 79)) << "140 + 40; 19 + 90 - 30";
    EXPECT_EQ(confirmLayout(1, 1, 40, 15, 200).size, QSize(266, 109)) << "200 + 26 + 40";
    EXPECT_EQ(confirmLayout(1, 3, 300, 15, 50).size, QSize(340, 147));
    const ConfirmLayout l = confirmLayout(1, 2, 300, 15, 200);
    EXPECT_EQ(l.textRect, QRect(20, 20, 300, 38));
    EXPECT_EQ(l.checkRect, QRect(340 / 2 - 113, 128 - 60, 226, 21));
    EXPECT_EQ(l.buttonRects[0].topLeft(), QPoint(170 - 28, 128 - 32));
}

TEST(ConfirmBoxLayout, ModesButtonsCaptionsResultsAndEnter)
{
    struct Case {
        int mode;
        bool shown[3];
        const char* captions[3];
        int results[3];
        bool enter;
    };
    const Case cases[] = {
        {1, {true, false, false}, {"确定", "", ""}, {1, 2, 16}, true},
        {2, {true, true, false}, {"确定", "取消", ""}, {1, 2, 16}, false},
        {4, {true, false, false}, {"确定", "", ""}, {4, 8, 16}, true},
        {8, {true, true, false}, {"是", "否", ""}, {4, 8, 16}, false},
        {12, {true, true, false}, {"是", "否", ""}, {4, 8, 16}, false},
        {16, {true, true, true}, {"是", "否", "全部是"}, {4, 8, 16}, false},
    };
    for (const Case& c : cases) {
        const ConfirmLayout l = confirmLayout(c.mode, 1, 100, 15, -1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(l.buttonShown[i], c.shown[i]) << c.mode << " button " << i;
            if (c.shown[i]) {
                EXPECT_EQ(l.captions[i], QString::fromUtf8(c.captions[i])) << c.mode;
            }
            EXPECT_EQ(confirmButtonResult(c.mode, i), c.results[i]) << c.mode;
        }
        EXPECT_EQ(confirmEnterActs(c.mode), c.enter) << c.mode;
    }
    const ConfirmLayout three = confirmLayout(16, 1, 100, 15, -1);
    EXPECT_EQ(three.size.width(), 180);
    EXPECT_EQ(three.buttonRects[0].x(), 90 - 90);
    EXPECT_EQ(three.buttonRects[2].x(), 90 - 28);
    EXPECT_EQ(three.buttonRects[1].x(), 90 + 34);
    EXPECT_EQ(confirmLines(QStringLiteral("不能识别的文件类型。\r\n/a/b.xyz")).size(), 2);
}

namespace {

void key(QWidget* w, int k)
{
    QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

TEST(ConfirmBox, EnterEscapeButtonsAndTheCheckBox)
{
    {
        ConfirmBox box(nullptr, QStringLiteral("请在列表中勾选要转换的条目,再点击开始。"), 1,
                       QStringLiteral("以后不要再弹出这个提示。"));
        box.open();
        key(&box, Qt::Key_Escape);
        EXPECT_TRUE(box.isVisible()) << "Escape does nothing";
        box.checkBox()->setChecked(true);
        key(&box, Qt::Key_Return);
        EXPECT_FALSE(box.isVisible());
        EXPECT_EQ(box.result(), 1);
        EXPECT_TRUE(box.checkBoxTicked());
    }
    {
        ConfirmBox box(nullptr, QStringLiteral("转换任务正在进行,你确认要关闭程序？"), 12);
        box.open();
        EXPECT_FALSE(box.checkBox()->isVisible());
        box.close();
        EXPECT_TRUE(box.isVisible()) << "the window's close does not end the box";
        box.button(1)->click();
        EXPECT_FALSE(box.isVisible());
        EXPECT_EQ(box.result(), kConfirmNo);
        EXPECT_FALSE(box.checkBoxTicked());
    }
    // Enter presses the focused button, Escape the second one ("否").
    struct KeyCase {
        int focused;
        int key;
        int result;
    };
    for (const KeyCase& c : {KeyCase{-1, Qt::Key_Escape, kConfirmNo}, KeyCase{0, Qt::Key_Return, kConfirmYes},
                             KeyCase{1, Qt::Key_Enter, kConfirmNo}, KeyCase{0, Qt::Key_Escape, kConfirmNo}}) {
        ConfirmBox box(nullptr, QStringLiteral("转换任务正在进行,你确认要关闭程序？"), 12);
        box.show();
        QApplication::setActiveWindow(&box);
        if (c.focused >= 0)
            box.button(c.focused)->setFocus();
        QCoreApplication::processEvents();
        key(&box, c.key);
        EXPECT_FALSE(box.isVisible()) << c.key;
        EXPECT_EQ(box.result(), c.result) << c.focused << " " << c.key;
    }
    {
        ConfirmBox box(nullptr, QStringLiteral("是否覆盖？"), 16);
        box.open();
        box.button(2)->click();
        EXPECT_EQ(box.result(), kConfirmYesToAll);
    }
}

TEST(ConfirmBox, PaintedBackground)
{
    ConfirmBox box(nullptr, QStringLiteral("提示信息"), 1);
    const QImage img = box.grab().toImage();
    const int w = img.width(), h = img.height();
    EXPECT_EQ(box.size(), box.layout().size);
    EXPECT_EQ(img.pixelColor(1, h / 2), skin::colorRef(skin::kFrameColour)) << "the outer band";
    // The diagonal gradient runs from 0xD69D74 at the top left to the skin colour.
    const QColor nearEnd = img.pixelColor(w - 4, h - 4);
    EXPECT_LE(std::abs(nearEnd.red() - 0x36), 3);
    EXPECT_LE(std::abs(nearEnd.blue() - 0xB3), 3);
    // The corner mark is in the yellow-to-red gradient.
    const QColor mark = img.pixelColor(3, 6);
    EXPECT_EQ(mark.red(), 255);
    EXPECT_EQ(mark.blue(), 0);
}

TEST(TrayIcon, HideRestoreMenuAndNoTrayFallback)
{
    QWidget window;
    window.resize(200, 100);
    window.show();
    TrayIcon tray(&window);
    ASSERT_EQ(tray.menu()->actions().size(), 3);
    EXPECT_EQ(tray.menu()->actions()[0]->text(), QStringLiteral("显示窗口"));
    EXPECT_EQ(tray.menu()->actions()[1]->text(), QStringLiteral("官方网站"));
    EXPECT_EQ(tray.menu()->actions()[2]->text(), QStringLiteral("关闭程序"));
    std::vector<int> commands;
    QObject::connect(&tray, &TrayIcon::command, &tray, [&](int id) { commands.push_back(id); });
    tray.menu()->actions()[2]->trigger();
    EXPECT_EQ(commands, (std::vector<int>{kCmdCloseProgram}));

    tray.setTrayAvailable(false);
    tray.hideToTray();
    EXPECT_FALSE(tray.iconShown());
    EXPECT_TRUE(window.isVisible()) << "without a tray the window is only minimized";
    EXPECT_TRUE(window.isMinimized());
    const auto boxes = window.findChildren<ConfirmBox*>();
    ASSERT_EQ(boxes.size(), 1) << "a box says why the window is not in the tray";
    EXPECT_EQ(boxes[0]->lines().join(QString()), toQ(kNoTrayText));
    boxes[0]->button(0)->click();
    tray.restore();

    tray.setTrayAvailable(true);
    tray.hideToTray();
    EXPECT_TRUE(tray.iconShown());
    EXPECT_FALSE(window.isVisible());
    tray.handleNotify(0x200); // a mouse move: ignored
    EXPECT_FALSE(window.isVisible());
    tray.handleNotify(kTrayDoubleClick);
    EXPECT_FALSE(tray.iconShown());
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
}

TEST(ConfirmBoxDefault, YesNoQuestionsStartOnNoSoAStrayKeyLosesNothing)
{
    {
        ConfirmBox box(nullptr, QStringLiteral("转换任务正在进行,你确认要关闭程序？"), 12);
        EXPECT_EQ(box.focusWidget(), static_cast<QWidget*>(box.button(1)));
        QTimer::singleShot(0, &box, [&box] {
            QApplication::setActiveWindow(&box);
            QTest::keyClick(box.focusWidget(), Qt::Key_Space);
        });
        EXPECT_EQ(box.exec(), kConfirmNo);
    }
    {
        ConfirmBox box(nullptr, QStringLiteral("提示信息"), 1);
        EXPECT_EQ(box.focusWidget(), static_cast<QWidget*>(box.button(0)));
        QTimer::singleShot(0, &box, [&box] { QTest::keyClick(box.focusWidget(), Qt::Key_Space); });
        EXPECT_EQ(box.exec(), kConfirmOk);
    }
}
