// quillfer-gallery: every skinned control in each of its states on the skin,
// for looking at the skin during development. --screenshot FILE saves the
// window as a PNG and exits.
#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>

#include <cstdio>

#include "ui/notify/confirm_box.h"
#include "ui/notify/floating_tip.h"
#include "ui/controls/glow_button.h"
#include "ui/controls/link_label.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_check_box.h"
#include "ui/controls/skin_combo_box.h"
#include "ui/controls/skin_header.h"
#include "ui/controls/skin_slider.h"
#include "ui/controls/skin_time_picker.h"
#include "ui/controls/small_button.h"
#include "ui/skin/sounds.h"
#include "ui/controls/switch_button.h"

using namespace qf::ui;

namespace {

constexpr QSize kGallerySize(960, 720);

void hover(QWidget* w)
{
    QEnterEvent e(QPointF(2, 2), QPointF(2, 2), QPointF(w->mapToGlobal(QPoint(2, 2))));
    QApplication::sendEvent(w, &e);
}

void press(QWidget* w, QPoint at)
{
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void moveMouse(QWidget* w, QPoint at)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

class Gallery final : public QWidget {
public:
    Gallery()
    {
        setWindowTitle(QStringLiteral("Quillfer3.5 控件"));
        setWindowIcon(skin::programIcon());
        setFixedSize(kGallerySize);
        build();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QImage& f = skin::bitmap(skin::kFrameParts);
        const int w = width(), h = height();
        p.fillRect(rect(), skin::skinColor());
        p.drawImage(QRect(0, 0, 7, 63), f, QRect(0, 0, 7, 63));
        p.drawImage(QRect(w - 7, 0, 7, 63), f, QRect(7, 0, 7, 63));
        p.drawImage(QRect(7, 0, w - 14, 63), f, QRect(14, 0, 1, 63));
        p.drawImage(QRect(0, 63, 7, h - 119), f, QRect(0, 64, 7, 1));
        p.drawImage(QRect(w - 7, 63, 7, h - 119), f, QRect(7, 64, 7, 1));
        p.drawImage(QRect(0, h - 56, 7, 56), f, QRect(0, 66, 7, 56));
        p.drawImage(QRect(w - 7, h - 56, 7, 56), f, QRect(7, 66, 7, 56));
        p.drawImage(QRect(7, h - 56, w - 14, 56), f, QRect(14, 66, 1, 56));
        p.drawImage(QRect(277, h - 38, 40, 34), f, QRect(15, 0, 40, 34));
        p.drawImage(QRect(317, h - 38, w - 340, 34), f, QRect(55, 0, 1, 34));
        p.drawImage(QRect(w - 23, h - 38, 9, 34), f, QRect(56, 0, 9, 34));
        p.drawImage(QPoint(7, 5), skin::iconImage(16));
        p.setPen(skin::colorRef(0x006000));
        p.setFont(skin::font(QStringLiteral("System"), 9));
        p.drawText(QPoint(28, 17), QStringLiteral("Quillfer3.5"));
    }

public:
    // The animations run for a fraction of a second: start them again and
    // step them to a telling frame just before a picture is taken.
    void freezeAnimations()
    {
        hover(sweeping_);
        press(rippling_, QPoint(18, 18));
        for (int k = 0; k < 8; ++k)
            sweeping_->advance();
        for (int k = 0; k < 14; ++k)
            rippling_->advance();
    }

private:
    GlowButton* sweeping_ = nullptr;
    GlowButton* rippling_ = nullptr;

    QLabel* caption(const QString& text, int x, int y)
    {
        auto* l = new QLabel(text, this);
        l->setFont(skin::smallFont());
        l->setStyleSheet(QStringLiteral("color: #ffffc8; background: transparent;"));
        l->move(x, y);
        l->adjustSize();
        return l;
    }

    void build()
    {
        const QImage& titles = skin::bitmap(skin::kTitleButtons);
        // Title buttons: close, minimize, hide to tray, help; normal, hover, pressed.
        for (int col = 0; col < 4; ++col)
            for (int state = 0; state < 3; ++state) {
                auto* b = new SkinButton(this);
                b->setImages(titles, QPoint(col * 30, 0), QSize(30, 30), 3);
                b->setGeometry(width() - 7 - (4 - col) * 34 - (2 - state) * 140, 4, 30, 30);
                if (state == 1)
                    hover(b);
                if (state == 2)
                    b->setDown(true);
            }
        caption(QStringLiteral("标题按钮: 正常 / 悬停 / 按下"), 470, 40);
        // Tabs: selected, normal, hover, disabled look (a sticky strip has three).
        const char* tabs[] = {"转换", "播放", "帮助", "设置"};
        for (int i = 0; i < 4; ++i) {
            auto* t = new SkinButton(toQ(tabs[i]), this);
            t->setImages(skin::bitmap(skin::kTabStrip), QPoint(0, 0), QSize(64, 38), 3);
            t->setSticky(true);
            t->setGeometry(7 + i * 64 + (i >= 2 ? 32 : 0), 25, 64, 38);
            if (i == 0)
                t->select();
            if (i == 2)
                hover(t);
        }

        int y = 80;
        caption(QStringLiteral("SkinButton 框线样式: 正常 / 悬停 / 按下 / 禁用 / 选中"), 20, y);
        for (int i = 0; i < 5; ++i) {
            auto* b = new SkinButton(QStringLiteral("确定"), this);
            b->setTextColours(skin::kWhite, skin::kHoverTextColour, skin::kButtonPressedTextColour);
            b->setGeometry(20 + i * 66, y + 20, 56, 18);
            if (i == 1)
                hover(b);
            if (i == 2)
                b->setDown(true);
            if (i == 3)
                b->setEnabled(false);
            if (i == 4) {
                b->setSticky(true);
                b->select();
            }
        }
        auto* shortcut = new SkinButton(QStringLiteral("创建桌面快捷方式"), this);
        shortcut->setTextColours(skin::kWhite, skin::kHoverTextColour, skin::kPressedTextColour);
        shortcut->setGeometry(360, y + 20, 124, 22);

        y = 150;
        caption(QStringLiteral("GlowButton: 静止 / 高光扫过 / 按下波纹"), 20, y);
        const QPoint cells[] = {{0, 37}, {0, 0}, {37, 0}, {37, 37}};
        for (int i = 0; i < 4; ++i) {
            auto* g = new GlowButton(this);
            g->setImages(skin::bitmap(skin::kBottomButtons), cells[i]);
            g->setGeometry(20 + i * 62, y + 22, 37, 37);
            if (i == 1)
                sweeping_ = g;
            if (i == 2)
                rippling_ = g;
        }

        caption(QStringLiteral("SmallButton: 开 / 关 / 悬停 / 按下 / 保存 / 目录 / 刷新 / 主页"), 300, y);
        const QImage& small = skin::bitmap(skin::kSmallButtons);
        struct SmallCase {
            QPoint origin;
            int rows;
            int state;
            int look; // 0 idle, 1 hover, 2 pressed
        } smalls[] = {{{0, 0}, 2, 1, 0},  {{0, 0}, 2, 0, 0},   {{0, 0}, 2, 1, 1},  {{0, 0}, 2, 0, 2},
                      {{0, 32}, 1, 1, 0}, {{32, 32}, 1, 1, 1}, {{32, 0}, 1, 1, 0}, {{32, 16}, 1, 1, 0}};
        int x = 300;
        for (const SmallCase& c : smalls) {
            auto* b = new SmallButton(this);
            b->setImages(small, c.origin, QSize(16, 16), c.rows);
            b->setToggleMode(c.rows == 2);
            b->setState(c.state);
            b->setGeometry(x, y + 24, 18, 18);
            if (c.look == 1)
                hover(b);
            if (c.look == 2)
                b->setDown(true);
            x += 28;
        }
        caption(QStringLiteral("活动指示"), 780, y);
        auto* activity = new QLabel(this);
        activity->setPixmap(QPixmap::fromImage(skin::bitmap(skin::kActivity)));
        activity->move(700, y + 25);
        activity->adjustSize();

        y = 230;
        caption(QStringLiteral("SkinCheckBox: 未选 / 选中 / 悬停 / 禁用"), 20, y);
        const char* checks[] = {"显示浮动提示", "显示提示信息", "转换完成自动关机", "以后不要再弹出"};
        for (int i = 0; i < 4; ++i) {
            auto* c = new SkinCheckBox(toQ(checks[i]), this);
            c->setGeometry(20 + i * 134, y + 20, 124, 22);
            c->setChecked(i == 1 || i == 3);
            if (i == 2)
                hover(c);
            if (i == 3)
                c->setEnabled(false);
        }
        caption(QStringLiteral("SwitchButton: 关 / 开"), 580, y);
        for (int i = 0; i < 2; ++i) {
            auto* s = new SwitchButton(this);
            s->setState(i == 1);
            s->setGeometry(580 + i * 30, y + 24, 14, 14);
        }

        y = 290;
        caption(QStringLiteral("SkinComboBox: 可用 / 禁用"), 20, y);
        for (int i = 0; i < 2; ++i) {
            auto* combo = new SkinComboBox(this);
            combo->addItems({QStringLiteral("MP4 (H.264)"), QStringLiteral("3GP"), QStringLiteral("FLV")});
            combo->setGeometry(20 + i * 170, y + 20, 160, 22);
            combo->setEnabled(i == 0);
        }
        caption(QStringLiteral("SkinTimePicker: 开始 / 结束"), 370, y);
        auto* start = new SkinTimePicker(this);
        start->setFromText("00:01:30");
        start->setGeometry(370, y + 20, start->sizeHint().width(), 22);
        auto* stop = new SkinTimePicker(this);
        stop->setFromText("00:00:00");
        stop->setGeometry(370 + start->width() + 10, y + 20, start->width(), 22);

        y = 350;
        caption(QStringLiteral("SkinSlider 位图 / 通道 / 条形: 最小 / 中间 (悬停) / 最大 (拖动)"), 20, y);
        const SkinSlider::Variant variants[]
            = {SkinSlider::Variant::Bitmap, SkinSlider::Variant::Channel, SkinSlider::Variant::Bar};
        for (int v = 0; v < 3; ++v)
            for (int i = 0; i < 3; ++i) {
                auto* s = new SkinSlider(variants[v], this);
                s->setRange(0, 100);
                s->setValue(i * 50);
                s->setGeometry(20 + i * 180, y + 22 + v * 26, 160, 20);
                if (i == 1)
                    moveMouse(s, s->thumbRect().center());
                if (i == 2)
                    press(s, s->thumbRect().center());
            }
        auto* disabled = new SkinSlider(SkinSlider::Variant::Channel, this);
        disabled->setRange(0, 30);
        disabled->setValue(10);
        disabled->setEnabled(false);
        disabled->setGeometry(560, y + 48, 146, 20);
        caption(QStringLiteral("禁用"), 710, y + 50);

        y = 450;
        caption(QStringLiteral("LinkLabel: 正常 / 悬停 / 按下"), 20, y);
        for (int i = 0; i < 3; ++i) {
            auto* link
                = new LinkLabel(QPoint(20, y + 20 + i * 20), 750, this, QStringLiteral("/home/user/Tarnwell输出"),
                                QStringLiteral("/home/user/Tarnwell输出"), skin::mediumFont());
            link->setColours(skin::kSkinColour, 0xFFFF00, 0x00FFFF);
            if (i == 1)
                hover(link);
            if (i == 2)
                press(link, QPoint(3, 3));
        }

        caption(QStringLiteral("SkinHeader"), 300, y);
        auto* model = new QStandardItemModel(2, 4, this);
        model->setHorizontalHeaderLabels(
            {QString(), QStringLiteral("文件名"), QStringLiteral("状态"), QStringLiteral("进度")});
        auto* view = new QTableView(this);
        auto* header = new SkinHeader(view);
        view->setHorizontalHeader(header);
        view->setModel(model);
        header->resizeSection(0, 30);
        header->resizeSection(1, 200);
        header->setCheckAll(true);
        view->verticalHeader()->hide();
        view->setGeometry(300, y + 20, 420, 70);

        y = 550;
        caption(QStringLiteral("浮动提示 / 信息窗口 / ConfirmBox"), 20, y);
        addSnapshot(FloatingTip(FloatingTip::Kind::Hover, this, QStringLiteral("选择要转换的影音文件")).grab(), 20,
                    y + 22);
        addSnapshot(
            FloatingTip(FloatingTip::Kind::Popup, this, QStringLiteral("视频: 320x240 25fps\n音频: 44100 Hz 2 声道"))
                .grab(),
            20, y + 58);
        ConfirmBox box(this, QStringLiteral("请在列表中勾选要转换的条目,再点击开始。"), 1,
                       QStringLiteral("以后不要再弹出这个提示。"));
        addSnapshot(box.grab(), 260, y + 10);
        ConfirmBox close(this, QStringLiteral("转换任务正在进行,你确认要关闭程序？"), 12);
        addSnapshot(close.grab(), 600, y + 10);
        auto* icon = new QLabel(this);
        icon->setPixmap(QPixmap::fromImage(skin::iconImage(32)));
        icon->setGeometry(width() - 60, y - 40, 32, 32);
    }

    void addSnapshot(const QPixmap& pixmap, int x, int y)
    {
        auto* l = new QLabel(this);
        l->setPixmap(pixmap);
        l->setGeometry(QRect(QPoint(x, y), pixmap.size() / pixmap.devicePixelRatio()));
    }
};

} // namespace

int main(int argc, char** argv)
{
    chooseGuiPlatform();
    QApplication app(argc, argv);
    bindQtLayered();
    // Looking at the controls should be quiet.
    setSoundRecorder([](Sound) {});
    setFloatingTipsEnabled(false);
    QString screenshot;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--screenshot") && i + 1 < args.size()) {
            screenshot = args[++i];
        } else {
            std::fprintf(stderr, "usage: quillfer-gallery [--screenshot FILE]\n");
            return 2;
        }
    }
    Gallery gallery;
    gallery.show();
    if (screenshot.isEmpty())
        return app.exec();
    int status = 1;
    QTimer::singleShot(300, &gallery, [&] {
        gallery.freezeAnimations();
        if (gallery.grab().save(screenshot, "PNG"))
            status = 0;
        else
            std::fprintf(stderr, "quillfer-gallery: cannot save %s\n", qPrintable(screenshot));
        app.quit();
    });
    app.exec();
    return status;
}
