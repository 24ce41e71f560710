// The parameter toolbar (its requests, the output-folder link and its
// folder choice) and the slide panel (steps, reversal, one timer, the
// snapshot it draws).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QTimerEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

#include "core/messages.h"
#include "settings/settings.h"
#include "ui/controls/link_label.h"
#include "ui/controls/small_button.h"
#include "ui/main/parameter_toolbar.h"
#include "ui/main/slide_panel.h"
#include "ui/shell/message_dispatch.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"
#include "ui/support/window_test_support.h"
#include "ui/ui_test_support.h"

using namespace qf::ui;
using namespace qf::ui::test;
using qf::core::WM_MAIN_REQUEST;

namespace {

// The main window's side of WM_MAIN_REQUEST: every request as (code, lParam).
class RecordingHub : public MessageWidget {
public:
    RecordingHub()
    {
        messages().onAny(WM_MAIN_REQUEST, [this](const qf::core::Message& m) -> intptr_t {
            requests.emplace_back(MessageTable::codeOf(m), m.lParam);
            return 1;
        });
    }
    std::vector<intptr_t> lParamsOf(uint32_t code) const
    {
        std::vector<intptr_t> out;
        for (const auto& [c, l] : requests)
            if (c == code)
                out.push_back(l);
        return out;
    }
    std::vector<std::pair<uint32_t, intptr_t>> requests;
};

// Keeps the process-wide output folder as it was.
class OutputFolderGuard {
public:
    OutputFolderGuard() : saved_(qf::settings::current().outputFolder()) {}
    ~OutputFolderGuard() { qf::settings::current().setOutputFolder(saved_); }

private:
    qf::core::TextString saved_;
};

QPoint centre(QWidget* w) { return w->rect().center(); }

// Collects the ids of the timers whose events reach a widget.
class TimerIds : public QObject {
public:
    explicit TimerIds(QObject* watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Timer)
            ids.insert(static_cast<QTimerEvent*>(e)->timerId());
        return false;
    }
    std::set<int> ids;
};

// A stand-in for the parameter panel: every row its own colour.
class StripedPanel : public QWidget {
public:
    explicit StripedPanel(QSize size) { resize(size); }
    static QColor rowColour(int y) { return QColor(y % 256, 255 - y % 256, 80); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        for (int y = 0; y < height(); ++y)
            p.fillRect(0, y, width(), 1, rowColour(y));
    }
};

struct Step {
    int height;
    bool finished;
    bool operator==(const Step&) const = default;
};

std::vector<Step> decode(const std::vector<intptr_t>& params)
{
    std::vector<Step> out;
    for (intptr_t p : params)
        out.push_back({static_cast<int>(p >> 16), (p & 0xFFFF) != 0});
    return out;
}

void runToEnd(SlidePanel& slide)
{
    for (int guard = 0; slide.sliding() && guard < 1000; ++guard)
        slide.step();
}

} // namespace

TEST(ParameterToolbar, ButtonsPostTheirRequestsAndTheToggleStartsOpen)
{
    RecordingHub hub;
    ParameterToolbar bar(&hub);
    SoundLog sounds;
    EXPECT_EQ(bar.toggleButton()->state(), 1);
    EXPECT_EQ(bar.toggleButton()->geometry(), QRect(8, 6, 18, 18));
    EXPECT_EQ(bar.saveButton()->geometry(), QRect(32, 6, 18, 18));
    EXPECT_EQ(bar.folderButton()->geometry(), QRect(56, 6, 18, 18));
    EXPECT_EQ(bar.folderLink()->pos(), QPoint(90, 7));

    click(bar.toggleButton(), centre(bar.toggleButton()));
    click(bar.toggleButton(), centre(bar.toggleButton()));
    click(bar.saveButton(), centre(bar.saveButton()));
    EXPECT_TRUE(hub.requests.empty()); // posted, not sent
    QCoreApplication::sendPostedEvents();
    using Request = std::pair<uint32_t, intptr_t>;
    EXPECT_EQ(hub.requests,
              (std::vector<Request>{
                  {qf::core::REQ_TOGGLE_PANEL, 0}, {qf::core::REQ_TOGGLE_PANEL, 1}, {qf::core::REQ_SAVE_PRESET, 0}}));
    EXPECT_EQ(sounds.played, (std::vector<Sound>{Sound::Chimes, Sound::Chimes}));

    // The save flow's flip to the open look asks for nothing.
    click(bar.toggleButton(), centre(bar.toggleButton()));
    QCoreApplication::sendPostedEvents();
    hub.requests.clear();
    bar.setToggleState(1);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(bar.toggleButton()->state(), 1);
    EXPECT_TRUE(hub.requests.empty());
}

TEST(ParameterToolbar, NormalisesTheChosenFolder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\Video", "D:/Video"},
        {"D:\\Video\\\\", "D:/Video"},
        {"D:\\", "D:"},
        {"/", "/"},
        {"//", "/"},
        {"/home/u/视频/", "/home/u/视频"},
        {"\\\\server\\share\\", "//server/share"},
        {"relative/", "relative"},
    };
    for (const auto& [picked, expected] : cases)
        EXPECT_EQ(ParameterToolbar::normalisedFolder(QString::fromUtf8(picked)), QString::fromUtf8(expected)) << picked;
}

TEST(ParameterToolbar, TheLinkShowsTheOutputFolderAndBothWaysChangeIt)
{
    OutputFolderGuard keep;
    qf::settings::current().setOutputFolder("/srv/旧目录");
    RecordingHub hub;
    ParameterToolbar bar(&hub);
    LinkLabel* link = bar.folderLink();
    EXPECT_EQ(link->text(), QStringLiteral("/srv/旧目录"));
    EXPECT_EQ(link->target(), link->text());

    std::vector<QString> answers
        = {QStringLiteral("D:\\Video"), QString(), QStringLiteral("D:\\"), QStringLiteral("/")};
    std::vector<QString> titles;
    bar.setFolderPicker([&](QWidget* parent, const QString& title) {
        EXPECT_EQ(parent, &bar);
        titles.push_back(title);
        const QString answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });

    click(link, centre(link), Qt::RightButton);
    EXPECT_STREQ(qf::settings::current().outputFolder().c_str(), "D:/Video");
    EXPECT_EQ(link->text(), QStringLiteral("D:/Video"));
    EXPECT_EQ(link->target(), QStringLiteral("D:/Video"));
    EXPECT_EQ(link->width(), QFontMetrics(link->font()).horizontalAdvance(QStringLiteral("D:/Video")));

    click(bar.folderButton(), centre(bar.folderButton())); // cancelled: nothing changes
    EXPECT_STREQ(qf::settings::current().outputFolder().c_str(), "D:/Video");
    EXPECT_EQ(link->text(), QStringLiteral("D:/Video"));

    click(bar.folderButton(), centre(bar.folderButton()));
    EXPECT_STREQ(qf::settings::current().outputFolder().c_str(), "D:");
    EXPECT_EQ(link->target(), QStringLiteral("D:"));

    bar.chooseOutputFolder();
    EXPECT_STREQ(qf::settings::current().outputFolder().c_str(), "/");
    EXPECT_EQ(titles, std::vector<QString>(4, QStringLiteral("更改转换输出目录")));
    EXPECT_TRUE(hub.requests.empty());

    // A long folder is cut at 750 pixels.
    const QString longFolder = QStringLiteral("/media/") + QString(200, u'长');
    bar.setFolderPicker([&](QWidget*, const QString&) { return longFolder; });
    bar.chooseOutputFolder();
    EXPECT_EQ(toQ(qf::settings::current().outputFolder()), longFolder);
    EXPECT_EQ(link->width(), ParameterToolbar::kLinkMaximumWidth);
}

TEST(ParameterToolbar, LeftClickOpensTheFolderThenPlaysNotify)
{
    OutputFolderGuard keep;
    qf::settings::current().setOutputFolder("/srv/out");
    ParameterToolbar bar(nullptr);
    SoundLog sounds;
    std::vector<QString> opened;
    bar.setFolderOpener([&](const QString& folder) {
        EXPECT_TRUE(sounds.played.empty()); // the sound comes after the opening
        opened.push_back(folder);
    });
    bar.setFolderPicker([](QWidget*, const QString&) -> QString {
        ADD_FAILURE() << "a left click must not ask for a folder";
        return {};
    });
    click(bar.folderLink(), centre(bar.folderLink()));
    EXPECT_EQ(opened, std::vector<QString>{QStringLiteral("/srv/out")});
    EXPECT_EQ(sounds.played, std::vector<Sound>{Sound::Notify});
}

TEST(ParameterToolbar, PaintsSkinWithTheLinkInItsColour)
{
    OutputFolderGuard keep;
    qf::settings::current().setOutputFolder("/home/user/Tarnwell输出");
    ParameterToolbar bar(nullptr);
    bar.resize(846, ParameterToolbar::kHeight);
    const QImage image = bar.grab().toImage();
    EXPECT_EQ(image.size(), QSize(846, 28));
    EXPECT_EQ(image.pixelColor(80, 2), skin::skinColor());
    EXPECT_EQ(image.pixelColor(845, 27), skin::skinColor());
    const QRect linkRect = bar.folderLink()->geometry();
    int linkPixels = 0;
    for (int y = linkRect.top(); y <= linkRect.bottom(); ++y)
        for (int x = linkRect.left(); x <= linkRect.right(); ++x)
            linkPixels += qRed(image.pixel(x, y)) > 200 && qGreen(image.pixel(x, y)) > 200
                && qBlue(image.pixel(x, y)) < 120; // yellow, smoothed
    EXPECT_GT(linkPixels, 50);
}

TEST(SlidePanel, ShutsAndOpensInTwelvePixelStepsEndingAtTheLimits)
{
    RecordingHub hub;
    QWidget window;
    const QRect full(7, 91, 846, 160); // 160 is not a multiple of 12
    SlidePanel slide(&hub, full, &window);
    EXPECT_TRUE(slide.isOpen());
    EXPECT_FALSE(slide.isVisibleTo(&window));
    EXPECT_EQ(slide.geometry(), full);
    slide.step(); // no slide: nothing happens
    EXPECT_TRUE(hub.requests.empty());

    ASSERT_TRUE(slide.toggle());
    EXPECT_FALSE(slide.isOpen());
    EXPECT_TRUE(slide.sliding());
    EXPECT_TRUE(slide.isVisibleTo(&window));
    runToEnd(slide);
    std::vector<Step> expected;
    for (int h = 148; h > 0; h -= 12)
        expected.push_back({h, false});
    expected.push_back({0, true});
    EXPECT_EQ(decode(hub.lParamsOf(qf::core::REQ_SLIDE_STEP)), expected);
    EXPECT_EQ(slide.geometry(), QRect(7, 91, 846, 0));
    EXPECT_FALSE(slide.isVisibleTo(&window));

    hub.requests.clear();
    ASSERT_TRUE(slide.toggle());
    runToEnd(slide);
    expected.clear();
    for (int h = 12; h < 160; h += 12)
        expected.push_back({h, false});
    expected.push_back({160, true}); // 168 clamps to the full height
    EXPECT_EQ(decode(hub.lParamsOf(qf::core::REQ_SLIDE_STEP)), expected);
    EXPECT_EQ(slide.geometry(), full);
    EXPECT_TRUE(slide.isOpen());
    EXPECT_FALSE(slide.isVisibleTo(&window));
}

TEST(SlidePanel, AToggleDuringASlideReversesItOnTheSameTimer)
{
    RecordingHub hub;
    QWidget window;
    SlidePanel slide(&hub, QRect(7, 91, 846, 160), &window);
    TimerIds timers(&slide);

    ASSERT_TRUE(slide.toggle());
    ASSERT_TRUE(pumpUntil([&] { return slide.currentHeight() <= 124; }, 5000));
    EXPECT_FALSE(slide.toggle()); // reverses, starts nothing
    EXPECT_TRUE(slide.isOpen());
    ASSERT_TRUE(pumpUntil([&] { return !slide.sliding(); }, 5000));

    const std::vector<Step> steps = decode(hub.lParamsOf(qf::core::REQ_SLIDE_STEP));
    ASSERT_GE(steps.size(), 4u);
    EXPECT_EQ(steps.back(), (Step{160, true}));
    const auto lowest = std::min_element(steps.begin(), steps.end(),
                                         [](const Step& a, const Step& b) { return a.height < b.height; });
    EXPECT_GT(lowest->height, 0); // it turned around on the way
    for (auto s = steps.begin(); s + 1 != steps.end(); ++s) {
        EXPECT_FALSE(s->finished);
        EXPECT_LE(std::abs((s + 1)->height - s->height), SlidePanel::kStep);
    }
    EXPECT_EQ(timers.ids.size(), 1u);

    // Two toggles before the first tick leave it open: one step finishes it.
    hub.requests.clear();
    timers.ids.clear();
    ASSERT_TRUE(slide.toggle());
    EXPECT_FALSE(slide.toggle());
    ASSERT_TRUE(pumpUntil([&] { return !slide.sliding(); }, 5000));
    EXPECT_EQ(decode(hub.lParamsOf(qf::core::REQ_SLIDE_STEP)), std::vector<Step>{(Step{160, true})});
    EXPECT_EQ(timers.ids.size(), 1u);
}

TEST(SlidePanel, DrawsTheBottomOfItsSnapshotTakenOnce)
{
    QWidget window;
    const QRect full(0, 0, 846, 160);
    SlidePanel slide(nullptr, full, &window);
    EXPECT_EQ(slide.grab().toImage().pixelColor(5, 5), skin::skinColor()); // nothing captured yet

    StripedPanel panel(full.size()); // never shown, as at start-up
    slide.capture(&panel);
    ASSERT_TRUE(slide.hasSnapshot());
    QWidget black;
    black.setStyleSheet(QStringLiteral("background: black"));
    black.resize(full.size());
    slide.capture(&black); // the first snapshot stays

    QImage image = slide.grab().toImage();
    EXPECT_EQ(image.pixelColor(400, 0), StripedPanel::rowColour(0));
    EXPECT_EQ(image.pixelColor(400, 159), StripedPanel::rowColour(159));

    slide.toggle();
    for (int i = 0; i < 5; ++i)
        slide.step();
    ASSERT_EQ(slide.currentHeight(), 100);
    image = slide.grab().toImage();
    ASSERT_EQ(image.size(), QSize(846, 100));
    EXPECT_EQ(image.pixelColor(10, 0), StripedPanel::rowColour(60));
    EXPECT_EQ(image.pixelColor(845, 99), StripedPanel::rowColour(159));
}

TEST(SlidePanel, RendersWithTheToolbarHalfWayShut)
{
    OutputFolderGuard keep;
    qf::settings::current().setOutputFolder("/home/user/文档/Tarnwell输出");
    QWidget scene;
    scene.resize(860, 260);
    scene.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, skin::skinColor());
    scene.setPalette(palette);
    ParameterToolbar bar(nullptr, &scene);
    bar.setGeometry(7, 0, 846, ParameterToolbar::kHeight);
    StripedPanel panel(QSize(846, 160));
    SlidePanel slide(nullptr, QRect(7, 28, 846, 160), &scene);
    slide.capture(&panel);
    bar.toggleButton()->setState(0);
    slide.toggle();
    for (int i = 0; i < 6; ++i)
        slide.step();
    const QImage image = scene.grab().toImage();
    const QString dir = QStringLiteral(QF_TEST_DATA_DIR "/ui");
    QDir().mkpath(dir);
    ASSERT_TRUE(image.save(dir + QStringLiteral("/toolbar_slide.png")));
    EXPECT_EQ(image.pixelColor(100, 28), StripedPanel::rowColour(72)); // the edge follows the slide
    EXPECT_EQ(image.pixelColor(100, 28 + 88), skin::skinColor()); // below it the background
}
