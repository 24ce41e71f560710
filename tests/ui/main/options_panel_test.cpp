// The options panel: its boxes against the options and the conversion
// state, the desktop shortcut with its fading message, and the shutdown
// sequence through a stand-in for `shutdown`.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimerEvent>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/file_system.h"
#include "core/messages.h"
#include "core/platform/system_shutdown.h"
#include "core/program_directory.h"
#include "settings/settings.h"
#include "ui/controls/skin_check_box.h"
#include "ui/main/options_panel.h"
#include "ui/notify/floating_tip.h"
#include "ui/shell/message_dispatch.h"
#include "ui/skin/skin.h"
#include "ui/support/window_test_support.h"
#include "ui/ui_test_support.h"

using namespace qf::ui;
using namespace qf::ui::test;
namespace fs = qf::core::fs;

namespace {

// Answers REQ_IS_CONVERTING as told and counts the questions.
class ConvertingHub : public MessageWidget {
public:
    ConvertingHub()
    {
        messages().on(qf::core::WM_MAIN_REQUEST, qf::core::REQ_IS_CONVERTING, [this](const qf::core::Message&) {
            ++asked;
            return intptr_t(converting ? 1 : 0);
        });
    }
    bool converting = false;
    int asked = 0;
};

// The options as they were, afterwards.
class OptionsGuard {
public:
    OptionsGuard() : saved_(qf::settings::current().record().options) {}
    ~OptionsGuard()
    {
        qf::settings::current().record().options = saved_;
        setFloatingTipsEnabled(saved_.showFloatingTips);
    }

private:
    qf::settings::ApplicationOptions saved_;
};

// HOME and the XDG settings in a scratch folder, and a program to point the
// shortcut at: the user's real desktop is never touched.
class ScratchHome {
public:
    explicit ScratchHome(const std::string& name, bool withDesktop = true)
        : home(QF_TEST_DATA_DIR "/ui/options/" + name), savedHome_(env("HOME")), savedConfig_(env("XDG_CONFIG_HOME")),
          savedExe_(qf::core::programLocation().executablePath)
    {
        fs::removePath(home.c_str());
        fs::makePath((home + "/.config").c_str(), true);
        std::ofstream(home + "/.config/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/桌面\"\n";
        desktop = home + "/桌面";
        if (withDesktop)
            fs::makePath(desktop.c_str(), true);
        program = home + "/bin/quillfer";
        fs::makePath(program.c_str(), false);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        qf::core::programLocation().executablePath = program.c_str();
    }
    ~ScratchHome()
    {
        restore("HOME", savedHome_);
        restore("XDG_CONFIG_HOME", savedConfig_);
        qf::core::programLocation().executablePath = savedExe_;
    }
    std::string shortcut() const { return desktop + "/Tarnwell3.5.desktop"; }

    std::string home, desktop, program;

private:
    static std::optional<std::string> env(const char* name)
    {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    }
    static void restore(const char* name, const std::optional<std::string>& value)
    {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    std::optional<std::string> savedHome_, savedConfig_;
    qf::core::TextString savedExe_;
};

SkinCheckBox* box(OptionsPanel& panel, int id) { return static_cast<SkinCheckBox*>(panel.control(id)); }

void clickControl(OptionsPanel& panel, int id) { click(panel.control(id), panel.control(id)->rect().center()); }

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

// Pixels of the message rectangle that are not the skin colour.
int messagePixels(OptionsPanel& panel)
{
    const QImage image = panel.grab(OptionsPanel::kMessageRect).toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) != skin::skinColor();
    return n;
}

} // namespace

TEST(OptionsPanel, TheShutdownBoxMirrorsWhetherAConversionRuns)
{
    OptionsGuard keep;
    ConvertingHub hub;
    OptionsPanel panel(&hub);
    SkinCheckBox* shutdown = box(panel, OptionsPanel::kShutdownId);

    panel.show();
    EXPECT_EQ(hub.asked, 1);
    EXPECT_FALSE(shutdown->isEnabled());
    EXPECT_FALSE(shutdown->isChecked());

    for (const bool flag : {true, false}) {
        qf::settings::current().setShutdownWhenDone(flag);
        hub.converting = true;
        panel.hide();
        panel.show();
        EXPECT_TRUE(shutdown->isEnabled()) << flag;
        EXPECT_TRUE(shutdown->isChecked()) << flag; // whatever the flag is
        EXPECT_EQ(qf::settings::current().shutdownWhenDone(), flag);
    }
    EXPECT_EQ(hub.asked, 3);

    // A click during the conversion sets the flag to what the box shows.
    qf::settings::current().setShutdownWhenDone(true);
    clickControl(panel, OptionsPanel::kShutdownId);
    EXPECT_FALSE(shutdown->isChecked());
    EXPECT_FALSE(qf::settings::current().shutdownWhenDone());
    clickControl(panel, OptionsPanel::kShutdownId);
    EXPECT_TRUE(qf::settings::current().shutdownWhenDone());

    // After the conversion a click only brings the box up to date.
    hub.converting = false;
    clickControl(panel, OptionsPanel::kShutdownId);
    EXPECT_FALSE(shutdown->isEnabled());
    EXPECT_FALSE(shutdown->isChecked());
    EXPECT_TRUE(qf::settings::current().shutdownWhenDone());
}

TEST(OptionsPanel, ThePromptsBoxDrivesBothPromptsAndTheTipsBoxTheTips)
{
    OptionsGuard keep;
    qf::settings::current().setPromptNoFiles(false);
    qf::settings::current().setPromptNoneChecked(true);
    OptionsPanel panel(nullptr);
    panel.show();
    SkinCheckBox* prompts = box(panel, OptionsPanel::kPromptsId);
    EXPECT_FALSE(prompts->isChecked());

    clickControl(panel, OptionsPanel::kPromptsId);
    EXPECT_TRUE(prompts->isChecked());
    EXPECT_TRUE(qf::settings::current().promptNoFiles());
    EXPECT_TRUE(qf::settings::current().promptNoneChecked());
    clickControl(panel, OptionsPanel::kPromptsId);
    EXPECT_FALSE(qf::settings::current().promptNoFiles());
    EXPECT_FALSE(qf::settings::current().promptNoneChecked());

    // One prompt switched off from its own box: the panel shows it at the next showing.
    clickControl(panel, OptionsPanel::kPromptsId);
    qf::settings::current().setPromptNoneChecked(false);
    panel.hide();
    panel.show();
    EXPECT_FALSE(prompts->isChecked());

    qf::settings::current().setShowFloatingTips(true);
    setFloatingTipsEnabled(true);
    panel.hide();
    panel.show();
    SkinCheckBox* tips = box(panel, OptionsPanel::kFloatingTipsId);
    EXPECT_TRUE(tips->isChecked());
    clickControl(panel, OptionsPanel::kFloatingTipsId);
    EXPECT_FALSE(qf::settings::current().showFloatingTips());
    EXPECT_FALSE(floatingTipsEnabled());
    clickControl(panel, OptionsPanel::kFloatingTipsId);
    EXPECT_TRUE(qf::settings::current().showFloatingTips());
    EXPECT_TRUE(floatingTipsEnabled());
}

TEST(OptionsPanel, TheFadeStepsDownFromWhiteToTheSkinColour)
{
    const uint32_t expected[] = {
        0xFDFDFD, 0xFBFBFB, 0xF9F9F9, 0xF7F7F7, 0xF5F5F5, 0xF3F3F3, 0xF1F1F1, 0xEFEFEF,
        0xEDEDED, 0xEBEBEB, 0xE9E9E9, 0xE7E7E7, 0xE5E5E5, 0xE3E3E3, 0xE1E1E1, 0xDFDFDF,
        0xD6D6D6, 0xCDCDCD, 0xC4C4C4, 0xBBBBBB, 0xB2B2B2, 0xA9A9A9, 0xA0A0A0, skin::kSkinColour,
    };
    std::vector<uint32_t> seen;
    for (uint32_t c = OptionsPanel::kFadeStart; c != skin::kSkinColour && seen.size() < 100;) {
        c = OptionsPanel::nextFadeColour(c);
        seen.push_back(c);
    }
    EXPECT_EQ(seen, std::vector<uint32_t>(std::begin(expected), std::end(expected)));
    EXPECT_EQ(seen.size() * OptionsPanel::kFadePeriodMs, 1200u);
}

TEST(OptionsPanel, TheShortcutGoesOnTheDesktopAndTheMessageFadesOut)
{
    ScratchHome scratch("shortcut");
    OptionsPanel panel(nullptr);
    panel.show();
    EXPECT_EQ(panel.messageColourRef(), skin::kSkinColour);
    EXPECT_EQ(messagePixels(panel), 0);

    clickControl(panel, OptionsPanel::kShortcutId);
    QFile file(QString::fromStdString(scratch.shortcut()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << scratch.shortcut();
    EXPECT_NE(file.readAll().indexOf(QByteArray("Exec=\"" + QByteArray::fromStdString(scratch.program) + "\"\n")), -1);
    struct stat st {};
    ::stat(scratch.shortcut().c_str(), &st);
    EXPECT_EQ(st.st_mode & 0100, 0100u);

    EXPECT_TRUE(panel.fading());
    EXPECT_EQ(panel.messageColour(), QColor(Qt::white));
    const QImage white = panel.grab(OptionsPanel::kMessageRect).toImage();
    int whitePixels = 0;
    for (int y = 0; y < white.height(); ++y)
        for (int x = 0; x < white.width(); ++x)
            whitePixels
                += qRed(white.pixel(x, y)) > 200 && qGreen(white.pixel(x, y)) > 200 && qBlue(white.pixel(x, y)) > 200;
    EXPECT_GT(whitePixels, 20);
    const QString dir = QStringLiteral(QF_TEST_DATA_DIR "/ui");
    QDir().mkpath(dir);
    EXPECT_TRUE(panel.grab().save(dir + QStringLiteral("/options_panel.png")));

    std::vector<uint32_t> seen;
    while (panel.fading() && seen.size() < 100) {
        panel.stepFade();
        seen.push_back(panel.messageColourRef());
    }
    ASSERT_EQ(seen.size(), 24u);
    EXPECT_EQ(seen[15], 0xDFDFDFu);
    EXPECT_EQ(seen.back(), skin::kSkinColour);
    EXPECT_EQ(messagePixels(panel), 0);
    panel.stepFade(); // at rest: nothing moves
    EXPECT_EQ(panel.messageColourRef(), skin::kSkinColour);

    // A second shortcut replaces the first.
    clickControl(panel, OptionsPanel::kShortcutId);
    EXPECT_TRUE(panel.fading());
    EXPECT_EQ(QDir(QString::fromStdString(scratch.desktop)).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(OptionsPanel, ASecondClickRestartsTheMessageOnTheSameTimer)
{
    ScratchHome scratch("restart");
    OptionsPanel panel(nullptr);
    TimerIds timers(&panel);
    panel.show();
    clickControl(panel, OptionsPanel::kShortcutId);
    ASSERT_TRUE(pumpUntil([&] { return panel.messageColourRef() <= 0xF5F5F5; }, 5000));
    clickControl(panel, OptionsPanel::kShortcutId);
    EXPECT_EQ(panel.messageColourRef(), 0xFFFFFFu);
    EXPECT_TRUE(panel.fading());
    ASSERT_TRUE(pumpUntil([&] { return !panel.fading(); }, 5000));
    EXPECT_EQ(panel.messageColourRef(), skin::kSkinColour);
    EXPECT_EQ(timers.ids.size(), 1u);
}

TEST(OptionsPanel, NoDesktopFolderMeansNoShortcutAndAMessageSaysWhy)
{
    ScratchHome scratch("nodesk", false);
    OptionsPanel panel(nullptr);
    panel.show();
    {
        BoxAnswerer answers({{0, false}});
        clickControl(panel, OptionsPanel::kShortcutId);
        ASSERT_EQ(answers.seen().size(), 1u) << "a missing desktop folder is told, not kept silent";
        EXPECT_EQ(answers.seen()[0].lines,
                  (QStringList{QStringLiteral("找不到桌面文件夹,无法创建快捷方式:"),
                               QString::fromStdString(scratch.desktop)}));
    }
    EXPECT_FALSE(panel.fading());
    EXPECT_EQ(panel.messageColourRef(), skin::kSkinColour);
    EXPECT_FALSE(fs::exists(scratch.desktop.c_str())); // not created either

    // Nor without a program to point at.
    fs::makePath(scratch.desktop.c_str(), true);
    qf::core::programLocation().executablePath = (scratch.home + "/missing").c_str();
    {
        BoxAnswerer answers({{0, false}});
        clickControl(panel, OptionsPanel::kShortcutId);
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].lines.value(0), QStringLiteral("无法创建桌面快捷方式:"));
    }
    EXPECT_FALSE(panel.fading());
    EXPECT_FALSE(fs::exists(scratch.shortcut().c_str()));
}

TEST(OptionsPanel, TheShutdownBoxShowsItsWholeCaptionClearOfItsFrame)
{
    OptionsPanel panel(nullptr);
    SkinCheckBox* shutdown = box(panel, OptionsPanel::kShutdownId);
    EXPECT_GE(shutdown->width(), 124);
    const int captionWidth = shutdown->width() - 25;
    EXPECT_EQ(SkinCheckBox::fittedCaptionFont(shutdown->font(), shutdown->text(), captionWidth), shutdown->font())
        << "the caption needs no narrowing";
    for (int id : {OptionsPanel::kFloatingTipsId, OptionsPanel::kPromptsId})
        EXPECT_EQ(panel.control(id)->width(), 124) << id;
    // Disabled, as it is while nothing converts: the columns left of the
    // frame's right edge hold no ink.
    shutdown->setEnabled(false);
    const QImage look = shutdown->grab().toImage();
    for (int y = 3; y < look.height() - 3; ++y)
        for (int x = look.width() - 4; x < look.width() - 1; ++x)
            EXPECT_EQ(look.pixelColor(x, y), skin::skinColor()) << x << "," << y;
}

TEST(OptionsPanel, TheFolderTreeBoxDrivesItsOption)
{
    OptionsGuard keep;
    qf::settings::current().setKeepFolderTree(false);
    OptionsPanel panel(nullptr);
    panel.show();
    SkinCheckBox* tree = box(panel, OptionsPanel::kKeepTreeId);
    EXPECT_EQ(tree->text(), QStringLiteral("保持文件夹结构"));
    EXPECT_FALSE(tree->isChecked());
    clickControl(panel, OptionsPanel::kKeepTreeId);
    EXPECT_TRUE(qf::settings::current().keepFolderTree());
    clickControl(panel, OptionsPanel::kKeepTreeId);
    EXPECT_FALSE(qf::settings::current().keepFolderTree());
    // Set elsewhere (a loaded cfg): shown at the next showing.
    qf::settings::current().setKeepFolderTree(true);
    panel.hide();
    panel.show();
    EXPECT_TRUE(tree->isChecked());
}

TEST(OptionsPanel, TheShutdownSequenceGoesThroughTheShutdownCommand)
{
    const std::string dir = QF_TEST_DATA_DIR "/ui/options/shutdown";
    fs::removePath(dir.c_str());
    fs::makePath(dir.c_str(), true);
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    const std::vector<std::string> savedFallbacks = qf::platform::shutdownFallbackFolders();
    qf::platform::shutdownFallbackFolders().clear(); // never the real command
    ::setenv("PATH", dir.c_str(), 1);

    const std::string standIn = dir + "/shutdown";
    const auto writeStandIn = [&](int status) {
        std::ofstream(standIn) << "#!/bin/sh\nprintf '%s|' \"$1\" \"$2\" > \"" << dir << "/args\"\nexit " << status
                               << "\n";
        ::chmod(standIn.c_str(), 0755);
    };
    writeStandIn(0);
    EXPECT_TRUE(runShutdownSequence());
    std::ifstream args(dir + "/args");
    std::string recorded;
    std::getline(args, recorded);
    EXPECT_EQ(recorded, "-P|+1|");

    writeStandIn(1);
    EXPECT_FALSE(runShutdownSequence());
    fs::removePath(standIn.c_str());
    EXPECT_FALSE(runShutdownSequence());

    ::setenv("PATH", savedPath.c_str(), 1);
    qf::platform::shutdownFallbackFolders() = savedFallbacks;
}
