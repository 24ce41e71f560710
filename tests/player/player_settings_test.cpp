#include <gtest/gtest.h>

#include "convert/configuration.h"
#include "player/player_settings.h"

using namespace qf;

// The player's settings are the configuration's: what the player window
// changes is what the "cfg" file saves, and what it loads is what plays.
TEST(PlayerSettings, AreTheConfigurationsValues)
{
    player::setPlayerVolume(250);
    EXPECT_EQ(convert::playerVolume(), 100);
    convert::playerVolume() = 30;
    EXPECT_EQ(player::playerVolume(), 30u);
    convert::playerVolume() = -5;   // a value no file can hold is never passed on
    EXPECT_EQ(player::playerVolume(), 0u);

    player::setAutoPlay(true);
    player::setLoopPlay(false);
    EXPECT_TRUE(convert::autoPlay());
    EXPECT_FALSE(convert::loopPlay());
    convert::loopPlay() = true;
    EXPECT_TRUE(player::loopPlay());

    player::setPlayerVolume(player::kDefaultPlayerVolume);
    player::setAutoPlay(false);
    player::setLoopPlay(false);
}
