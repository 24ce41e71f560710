#include <gtest/gtest.h>

#include "convert/configuration.h"
#include "player/player_settings.h"

using namespace qf;

// The player's settings are the configuration's: what the player window
// changes is what the "cfg" file saves, and what it loads is what plays.
TEST(PlayerSettings, AreTheConfigurationsValues)
{
    player::setPlayerVolume(250);
    EXPECT_EQ(convert::settings().record().options.playerVolume, 100);
    convert::settings().record().options.playerVolume = 30;
    EXPECT_EQ(player::playerVolume(), 30u);
    convert::settings().record().options.playerVolume = -5; // a value no file can hold is never passed on
    EXPECT_EQ(player::playerVolume(), 0u);

    player::setAutoPlay(true);
    player::setLoopPlay(false);
    EXPECT_TRUE(convert::settings().autoPlay());
    EXPECT_FALSE(convert::settings().loopPlay());
    convert::settings().setLoopPlay(true);
    EXPECT_TRUE(player::loopPlay());

    player::setPlayerVolume(player::kDefaultPlayerVolume);
    player::setAutoPlay(false);
    player::setLoopPlay(false);
}

// The engine thread reads only its own copy: what the UI thread does to the
// configuration reaches it when the next launch takes the settings, or at
// once through the engine's own volume change.
TEST(PlayerSettings, TheEngineKeepsItsOwnCopyUntilTheNextLaunchTakesThem)
{
    player::EngineSettings engine;
    EXPECT_EQ(engine.volume(), player::kDefaultPlayerVolume);
    player::setPlayerVolume(30);
    engine.take();
    EXPECT_EQ(engine.volume(), 30u);

    convert::settings().record().options.playerVolume = 80; // a configuration loaded meanwhile
    EXPECT_EQ(engine.volume(), 30u);
    engine.take();
    EXPECT_EQ(engine.volume(), 80u);

    engine.setVolume(250);
    EXPECT_EQ(engine.volume(), 100u);
    EXPECT_EQ(player::playerVolume(), 100u);
    EXPECT_EQ(convert::settings().record().options.playerVolume, 100);

    player::setPlayerVolume(player::kDefaultPlayerVolume);
}
