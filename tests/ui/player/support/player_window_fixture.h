#pragma once
// A player window on its own with the real player (null drivers) and the
// real media library, recording the engine reports it handled and the
// refusal boxes it would have shown.

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "player/player_engine.h"
#include "settings/settings.h"
#include "player/player_settings.h"
#include "ui/notify/floating_tip.h"
#include "ui/player/player_window.h"
#include "ui/player/playlist_view.h"
#include "ui/player/support/player_view_support.h"
#include "ui/player/video_window.h"

namespace qf::ui::test {

class PlayerWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        useRealPlayer();
        settings::current().setAutoPlay(false);
        settings::current().setLoopPlay(false);
        settings::current().setPlayerVolume(player::kDefaultPlayerVolume);
        // The offscreen pointer rests on the window: its hover tips would
        // come and go for ever.
        setFloatingTipsEnabled(false);
        window = std::make_unique<PlayerWindow>();
        window->setMessageBox([this](QWidget*, const QString& text) { boxes << text; });
        QObject::connect(window.get(), &PlayerWindow::engineReported, window.get(),
                         [this](int code) { reports.push_back(code); });
        window->show();
    }
    void TearDown() override
    {
        window.reset();
        setFloatingTipsEnabled(true);
        // No player may outlive its window.
        EXPECT_EQ(processesWith(playerDataDir().toStdString()), 0);
    }

    player::PlayerEngine& engine() { return window->engine(); }
    player::PlaylistModel& playlist() { return window->playlist(); }
    player::PlayerState state() { return engine().state(); }
    int count(int code) const { return static_cast<int>(std::count(reports.begin(), reports.end(), code)); }
    // Waits until the window has handled `code` n times in all.
    bool waitReport(int code, int n, int timeoutMs = 8000)
    {
        return waitUntil([&] { return count(code) >= n; }, timeoutMs);
    }
    // Waits for the next Playing report after the ones seen so far.
    bool waitPlaying(int timeoutMs = 8000) { return waitReport(9, count(9) + 1, timeoutMs); }
    bool waitIdle(int timeoutMs = 8000)
    {
        return waitUntil([&] { return state() == player::PlayerState::Idle; }, timeoutMs);
    }
    QString currentPath()
    {
        const player::PlaylistEntry* e = playlist().currentEntry();
        return e ? QString::fromUtf8(e->path.c_str()) : QString();
    }

    std::unique_ptr<PlayerWindow> window;
    std::vector<int> reports;
    QStringList boxes;
};

} // namespace qf::ui::test
