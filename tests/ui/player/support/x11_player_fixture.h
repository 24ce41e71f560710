#pragma once
// A player window at the top left of a real X screen, with the real player
// drawing into its video window; records the engine reports it handled.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "settings/settings.h"
#include "ui/notify/floating_tip.h"
#include "ui/player/player_window.h"
#include "ui/player/support/player_view_support.h"
#include "ui/player/support/x11_screen.h"

namespace qf::ui::test {

class PlayerViewX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        useRealPlayer("-vo x11 -ao null");
        setFloatingTipsEnabled(false);
        settings::current().setAutoPlay(false);
        settings::current().setLoopPlay(false);
        window = std::make_unique<PlayerWindow>();
        window->setMessageBox([](QWidget*, const QString&) {});
        QObject::connect(window.get(), &PlayerWindow::engineReported, window.get(),
                         [this](int code) { reports.push_back(code); });
        window->move(0, 0);
        window->show();
        ASSERT_TRUE(waitUntil([&] { return window->isVisible(); }, 2000));
        pumpFor(200);
    }
    void TearDown() override
    {
        window.reset();
        EXPECT_EQ(processesWith(playerDataDir().toStdString()), 0);
    }
    int count(int code) const { return static_cast<int>(std::count(reports.begin(), reports.end(), code)); }
    bool waitReport(int code, int n)
    {
        return waitUntil([&] { return count(code) >= n; }, 10000);
    }
    // Waits until the rectangle on screen shows a picture.
    bool waitPicture(const QRect& r, int timeoutMs = 5000)
    {
        return waitUntil([&] { return pictureShare(grabScreen(r)) > 0.1; }, timeoutMs);
    }

    std::unique_ptr<PlayerWindow> window;
    std::vector<int> reports;
};

} // namespace qf::ui::test
