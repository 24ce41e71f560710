// Legibility of the skin: the contrast ratio between every text the skin
// images carry and each background pixel under it, and a visible focus mark
// on the controls outside the Convert view.
#include <QApplication>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "ui/controls/skin_button.h"
#include "ui/controls/skin_check_box.h"
#include "ui/main/skin_frame.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"
#include "ui/support/contrast.h"

using namespace qf::ui;

namespace {

using test::contrastRatio;

// The text drawn alone, as the control draws it, into a coverage mask of
// the given size.
QImage textMask(QSize size, const QFont& font, const std::function<void(QPainter&)>& draw)
{
    QImage mask(size, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    QPainter p(&mask);
    p.setFont(font);
    p.setPen(Qt::black);
    draw(p);
    return mask;
}

// The lowest contrast between the text colour and the background pixels
// around and between the glyphs (within 2 pixels of any inked pixel).
double worstContrastUnderText(const QImage& background, const QImage& mask, QColor text, int* samples = nullptr)
{
    double worst = 1e9;
    int n = 0;
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x) {
            if (qAlpha(mask.pixel(x, y)) != 0)
                continue;
            bool nearInk = false;
            for (int dy = -2; dy <= 2 && !nearInk; ++dy)
                for (int dx = -2; dx <= 2 && !nearInk; ++dx)
                    nearInk = mask.rect().contains(x + dx, y + dy) && qAlpha(mask.pixel(x + dx, y + dy)) != 0;
            if (!nearInk)
                continue;
            worst = std::min(worst, contrastRatio(text, background.pixelColor(x, y)));
            ++n;
        }
    }
    if (samples)
        *samples = n;
    return worst;
}

QImage tabCell(int row)
{
    return skin::bitmap(skin::kTabStrip).copy(0, row * 38, 64, 38).convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(SkinContrast, TabCaptionsStandOutInEveryState)
{
    // The tab captions: dark blue on the normal and hover looks, yellow on
    // the pressed (selected) look, drawn centred one pixel low.
    const uint32_t colours[3] = {skin::kButtonTextColour, skin::kButtonTextColour, skin::kButtonPressedTextColour};
    for (const char* caption : {"转换", "播放", "帮助", "设置"}) {
        const QImage mask = textMask(QSize(64, 38), skin::smallFont(), [&](QPainter& p) {
            p.drawText(QRect(0, 1, 64, 38), Qt::AlignCenter | Qt::TextSingleLine, toQ(caption));
        });
        for (int row = 0; row < 3; ++row) {
            int samples = 0;
            const double worst = worstContrastUnderText(tabCell(row), mask, skin::colorRef(colours[row]), &samples);
            EXPECT_GT(samples, 20) << caption;
            EXPECT_GE(worst, 4.5) << caption << " on tab image row " << row;
        }
    }
}

TEST(SkinContrast, TitleStandsOutOnTheCaptionBand)
{
    // The frame paints the dark green title over its own caption band.
    QImage frame = SkinFrame::paint(SkinFrame::kClientSize);
    QFont font = skin::font(QStringLiteral("System"), 9);
    const QImage mask = textMask(frame.size(), font, [&](QPainter& p) {
        p.drawText(QPoint(28, 5 + QFontMetrics(font).ascent()), QStringLiteral("Quillfer3.5"));
    });
    // The background: the same frame painted from the same parts, where the
    // title's glyphs are not.
    int samples = 0;
    const double worst = worstContrastUnderText(frame, mask, skin::colorRef(0x006000), &samples);
    EXPECT_GT(samples, 40);
    EXPECT_GE(worst, 4.5);
}

namespace {

// A control on a skin-coloured window that can take the focus.
class FocusStage : public ::testing::Test {
protected:
    void SetUp() override
    {
        stage = std::make_unique<QWidget>();
        stage->resize(300, 120);
        QPalette pal = stage->palette();
        pal.setColor(QPalette::Window, skin::skinColor());
        stage->setPalette(pal);
        stage->setAutoFillBackground(true);
        parking = new QWidget(stage.get());
        parking->setFocusPolicy(Qt::StrongFocus);
        parking->setGeometry(290, 110, 1, 1);
    }

    // Grabs the control without and with the focus: the mark must change a
    // few pixels and stand out from what was there by at least 3 : 1.
    void expectFocusMark(QWidget* control, const char* what)
    {
        control->setParent(stage.get());
        control->move(10, 10);
        control->show();
        stage->show();
        QApplication::setActiveWindow(stage.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(stage.get())) << what;
        parking->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        const QImage without = control->grab().toImage().convertToFormat(QImage::Format_RGB32);
        control->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(control->hasFocus()) << what;
        const QImage with = control->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int changed = 0;
        double best = 1;
        for (int y = 0; y < with.height(); ++y) {
            for (int x = 0; x < with.width(); ++x) {
                if (with.pixel(x, y) == without.pixel(x, y))
                    continue;
                ++changed;
                best = std::max(best, contrastRatio(with.pixelColor(x, y), without.pixelColor(x, y)));
            }
        }
        EXPECT_GE(changed, 8) << what << ": the focus changes nothing visible";
        EXPECT_GE(best, 3.0) << what << ": the focus mark blends into its background";
    }

    std::unique_ptr<QWidget> stage;
    QWidget* parking = nullptr;
};

} // namespace

TEST_F(FocusStage, PlainButton) { expectFocusMark(new SkinButton(QStringLiteral("确定")), "plain button"); }

TEST_F(FocusStage, CheckBox)
{
    // The options page's boxes; the Convert view's controls are walked in
    // the real window (keyboard_test.cpp).
    auto* box = new SkinCheckBox(QStringLiteral("显示浮动提示"));
    box->resize(124, 22);
    expectFocusMark(box, "check box");
}

TEST(SkinCheckBoxCaption, ASlightlyLongCaptionIsNarrowedNotCut)
{
    const QFont font = skin::smallFont();
    const QString caption = QStringLiteral("转换完成自动关机");
    const int width = 124 - 25; // the box at the layout's 62 units, less its caption margins
    const QFont fitted = SkinCheckBox::fittedCaptionFont(font, caption, width);
    EXPECT_LE(QFontMetrics(fitted).horizontalAdvance(caption), width);
    EXPECT_EQ(QFontMetrics(fitted).elidedText(caption, Qt::ElideRight, width), caption);
    EXPECT_GE(fitted.stretch(), 90);
    // A caption that fits keeps the font; a far longer one is not squeezed.
    EXPECT_EQ(SkinCheckBox::fittedCaptionFont(font, QStringLiteral("显示浮动提示"), width), font);
    EXPECT_EQ(SkinCheckBox::fittedCaptionFont(font, caption + caption, width), font);
}
