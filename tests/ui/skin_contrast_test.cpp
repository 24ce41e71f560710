// Legibility of the skin: the contrast ratio between every text the skin
// images carry and each background pixel under it, and a visible focus mark
// on the controls outside the Convert view; and every kind of text as the
// widgets draw it, measured on their own pictures.
#include <QAbstractItemView>
#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <QStandardItemModel>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "ui/controls/skin_button.h"
#include "ui/controls/skin_check_box.h"
#include "ui/controls/skin_combo_box.h"
#include "ui/controls/skin_header.h"
#include "ui/convert/parameter_panel.h"
#include "ui/convert/task_row_painter.h"
#include "ui/notify/confirm_box.h"
#include "ui/player/playlist_view.h"
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
    EXPECT_GE(QFontMetrics(fitted).horizontalAdvance(caption) * 10, QFontMetrics(font).horizontalAdvance(caption) * 9)
        << "narrowed by a tenth at most";
    // A caption that fits keeps the font; a far longer one is not squeezed.
    EXPECT_EQ(SkinCheckBox::fittedCaptionFont(font, QStringLiteral("显示浮动提示"), width), font);
    EXPECT_EQ(SkinCheckBox::fittedCaptionFont(font, caption + caption, width), font);
}

namespace {

// A text as it is on screen: the picture, the same place without the text
// (null: each column's pixel on the region's top row, which the text must
// leave free), and the region that holds the text.
struct TextShot {
    QImage shot;
    QImage blank;
    QRect region;
};

// The strongest contrast of any glyph pixel against what lies under it; the
// anti-aliased rim of a stroke is weaker by nature, so this is the stroke's
// core as the eye reads it.
double strongestGlyphContrast(const TextShot& t, int* glyphPixels)
{
    const QImage shot = t.shot.convertToFormat(QImage::Format_RGB32);
    const QImage blank = t.blank.isNull() ? QImage() : t.blank.convertToFormat(QImage::Format_RGB32);
    double best = 1;
    *glyphPixels = 0;
    for (int y = t.region.top(); y <= t.region.bottom(); ++y) {
        for (int x = t.region.left(); x <= t.region.right(); ++x) {
            const QColor under = blank.isNull() ? shot.pixelColor(x, t.region.top()) : blank.pixelColor(x, y);
            const QColor c = shot.pixelColor(x, y);
            if (qAbs(c.red() - under.red()) + qAbs(c.green() - under.green()) + qAbs(c.blue() - under.blue()) < 24)
                continue;
            ++*glyphPixels;
            best = std::max(best, contrastRatio(c, under));
        }
    }
    return best;
}

QImage grabOf(QWidget& w)
{
    QApplication::processEvents();
    return w.grab().toImage();
}

// The widget with its text and again without it.
template <typename W> TextShot withAndWithout(W& w, const QString& text)
{
    w.setText(text);
    TextShot t{grabOf(w), {}, w.rect()};
    w.setText(QString());
    t.blank = grabOf(w);
    w.setText(text);
    return t;
}

TextShot tab(int look)
{
    SkinButton b(QStringLiteral("转换"));
    b.setImages(skin::bitmap(skin::kTabStrip), QPoint(0, 0), QSize(64, 38), 3);
    b.setSticky(true);
    b.setFont(skin::smallFont());
    b.setTextColours(skin::kButtonTextColour, skin::kButtonTextColour, skin::kButtonPressedTextColour);
    b.resize(64, 38);
    if (look == 1) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&b, &enter);
    }
    if (look == 2)
        b.select();
    return withAndWithout(b, b.text());
}

TextShot panelLabel(size_t index)
{
    ParameterPanel panel(nullptr);
    panel.resize(parameterPanelSize());
    const PanelLabel& l = panelLabels()[index];
    const QFontMetrics fm(panel.font());
    return {grabOf(panel), {}, QRect(l.x, l.y - 1, fm.horizontalAdvance(toQ(l.text)), fm.height() + 1)};
}

TextShot taskRow(bool selected)
{
    QImage shot(300, tasklist::kRowHeight, QImage::Format_RGB32);
    tasklist::TaskRowLook look;
    look.row = shot.rect();
    look.checkBox = tasklist::rowCheckBoxRect(0, 10, 8);
    look.cells[1] = QRect(24, 0, 180, tasklist::kRowHeight - 1);
    look.cells[2] = QRect(204, 0, 96, tasklist::kRowHeight - 1);
    look.selected = selected;
    QImage blank = shot;
    for (QImage* image : {&blank, &shot}) {
        QPainter p(image);
        tasklist::paintTaskRow(p, look, skin::mediumFont());
        look.texts[1] = QStringLiteral("演示片段.mp4");
        look.texts[2] = QStringLiteral("00:01:05");
    }
    return {shot, blank, look.cells[1].united(look.cells[2]).adjusted(2, 2, -2, -2)};
}

TextShot headerCaption()
{
    QStandardItemModel model(0, 3);
    SkinHeader header;
    header.setModel(&model);
    header.resize(300, header.sizeHint().height());
    const auto shoot = [&](const QString& caption) {
        model.setHeaderData(1, Qt::Horizontal, caption);
        return grabOf(*header.viewport());
    };
    TextShot t{shoot(QStringLiteral("文件名")), shoot(QString()), {}};
    const QRect section(header.sectionViewportPosition(1), 0, header.sectionSize(1), header.height());
    t.region = section.adjusted(2, 2, -2, -2);
    shoot(QStringLiteral("文件名"));
    return t;
}

TextShot checkCaption(bool enabled)
{
    SkinCheckBox box;
    box.resize(124, 22);
    box.setEnabled(enabled);
    return withAndWithout(box, QStringLiteral("转换完成自动关机"));
}

TextShot comboText(bool enabled)
{
    SkinComboBox combo;
    combo.resize(120, 20);
    combo.addItems({QString(), QStringLiteral("mp4 视频")});
    combo.setEnabled(enabled);
    combo.setCurrentIndex(0);
    const QImage blank = grabOf(combo);
    combo.setCurrentIndex(1);
    return {grabOf(combo), blank, QRect(2, 2, 120 - 4 - SkinComboBox::dropButtonRect(combo.size()).width(), 16)};
}

TextShot comboPopupCurrent()
{
    SkinComboBox combo;
    combo.resize(120, 20);
    combo.addItems({QStringLiteral("自定义"), QStringLiteral("mp4 视频"), QStringLiteral("3gp 视频")});
    combo.setCurrentIndex(1);
    combo.show();
    combo.showPopup();
    QAbstractItemView* view = combo.view();
    const QRect item = view->visualRect(view->currentIndex());
    TextShot t{grabOf(*view->viewport()), {}, item.adjusted(1, 0, -1, 0)};
    combo.hidePopup();
    return t;
}

TextShot boxMessage(const char* message, int mode)
{
    ConfirmBox box(nullptr, toQ(message), mode);
    return {grabOf(box), {}, box.layout().textRect};
}

TextShot boxButton()
{
    ConfirmBox box(nullptr, QStringLiteral("转换任务正在进行,你确认要关闭程序？"), 12);
    SkinButton& b = *box.button(0);
    return withAndWithout(b, b.text());
}

TextShot playlistRow(bool playing, bool selected)
{
    qf::player::PlaylistModel model;
    model.addEntry(qf::probe::MediaSummary{}, "/clips/演示片段.mp4");
    model.addEntry(qf::probe::MediaSummary{}, "/clips/other.mp4");
    QWidget host;
    PlaylistView view(model, &host, [](int) {});
    view.setGeometry(0, 0, 202, 100);
    host.resize(202, 100);
    if (playing)
        model.markCurrent(model.entryAt(0));
    view.selectRows({selected ? 0 : 1});
    host.show();
    const QRect row = view.visualRect(view.model()->index(0, 0));
    return {grabOf(*view.viewport()), {}, row.adjusted(1, 1, -1, -1)};
}

struct TextKind {
    const char* what;
    std::function<TextShot()> shoot;
    double least; // disabled texts: 3 : 1, every other text 4.5 : 1
};

} // namespace

TEST(SkinContrast, EveryKindOfTextReadsOnScreen)
{
    const TextKind kinds[] = {
        {"tab caption", [] { return tab(0); }, 4.5},
        {"tab caption under the pointer", [] { return tab(1); }, 4.5},
        {"selected tab caption", [] { return tab(2); }, 4.5},
        {"panel label", [] { return panelLabel(0); }, 4.5},
        {"task row", [] { return taskRow(false); }, 4.5},
        {"selected task row", [] { return taskRow(true); }, 4.5},
        {"list header caption", [] { return headerCaption(); }, 4.5},
        {"check box caption", [] { return checkCaption(true); }, 4.5},
        {"disabled check box caption", [] { return checkCaption(false); }, 3},
        {"combo text", [] { return comboText(true); }, 4.5},
        {"disabled combo text", [] { return comboText(false); }, 3},
        {"combo popup's current item", comboPopupCurrent, 4.5},
        {"close box message", [] { return boxMessage("转换任务正在进行,你确认要关闭程序？", 12); }, 4.5},
        {"close box button", boxButton, 4.5},
        {"message box", [] { return boxMessage("请在列表中勾选要转换的条目,再点击开始。", 1); }, 4.5},
        {"playlist row", [] { return playlistRow(false, false); }, 4.5},
        {"selected playlist row", [] { return playlistRow(false, true); }, 4.5},
        {"playing playlist row", [] { return playlistRow(true, false); }, 4.5},
        {"playing and selected playlist row", [] { return playlistRow(true, true); }, 4.5},
    };
    for (const TextKind& k : kinds) {
        const TextShot t = k.shoot();
        ASSERT_FALSE(t.shot.isNull()) << k.what;
        int glyphs = 0;
        const double contrast = strongestGlyphContrast(t, &glyphs);
        EXPECT_GT(glyphs, 20) << k.what << ": no text found in its region";
        EXPECT_GE(contrast, k.least) << k.what;
        if (qEnvironmentVariableIsSet("QF_CONTRAST_SHOTS")) {
            std::printf("%-36s %5.2f\n", k.what, contrast);
            t.shot.copy(t.region).save(qEnvironmentVariable("QF_CONTRAST_SHOTS") + QLatin1Char('/')
                                       + QString::fromLatin1(k.what).replace(QLatin1Char(' '), QLatin1Char('_'))
                                       + QStringLiteral(".png"));
        }
    }
}
