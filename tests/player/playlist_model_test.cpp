// The playlist's rules without any window: stepping, marking, deleting.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "player/playlist_model.h"
#include "player/support/player_test_support.h"
#include "probe/media_info_library.h"
#include "probe/media_summary.h"

namespace qf::player {
namespace {

class PlaylistModelTest : public ::testing::Test {
protected:
    // Rows "a0".."a<n-1>", all with video.
    void addRows(int n)
    {
        summary.hasVideo = true;
        summary.width = 320;
        summary.height = 240;
        summary.durationSeconds = 60;
        for (int i = 0; i < n; ++i)
            entries.push_back(model.addEntry(summary, ("/media/a" + std::to_string(i)).c_str()));
    }
    std::string currentName() const { return model.currentEntry() ? model.shownName(model.currentIndex()) : "none"; }
    std::string name(const PlaylistEntry* e) const { return e ? model.shownName(model.rowOf(e)) : "none"; }
    void select(std::initializer_list<int> rows)
    {
        for (int row : rows)
            model.setSelected(row, true);
    }

    probe::MediaSummary summary;
    PlaylistModel model;
    std::vector<PlaylistEntry*> entries;
};

TEST_F(PlaylistModelTest, EntriesTakeTheMediaFacts)
{
    summary.hasVideo = true;
    summary.width = 640;
    summary.height = 360;
    summary.durationSeconds = 125;
    const PlaylistEntry* video = model.addEntry(summary, "C:\\clips\\film.avi");
    summary.hasVideo = false; // the old picture size stays in the prober, as it does after an audio file
    summary.durationSeconds = 200;
    const PlaylistEntry* audio = model.addEntry(summary, "/music/song.mp3");
    const PlaylistEntry* bare = model.addEntry(summary, "song.mp3");

    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->path, "C:/clips/film.avi");
    EXPECT_TRUE(video->hasVideo);
    EXPECT_EQ(video->width, 640);
    EXPECT_EQ(video->height, 360);
    EXPECT_EQ(video->duration, 125);
    EXPECT_FALSE(audio->hasVideo);
    EXPECT_EQ(audio->width, 0);
    EXPECT_EQ(audio->height, 0);
    // Sound alone keeps its length: the position bar seeks by it.
    EXPECT_EQ(audio->duration, 200);
    EXPECT_STREQ(model.shownName(0), "film.avi");
    EXPECT_STREQ(model.shownName(1), "song.mp3");
    EXPECT_STREQ(model.shownName(2), "song.mp3");
    EXPECT_STREQ(model.shownName(3), "");
    EXPECT_EQ(bare->path, "song.mp3");
    EXPECT_EQ(model.addEntry(summary, ""), nullptr);
    EXPECT_EQ(model.rowCount(), 3);
}

TEST_F(PlaylistModelTest, DisplayShapeTakesTheAspectRatioAndTheRotation)
{
    struct Case {
        int32_t width, height;
        const char* aspect; // MediaInfo's DisplayAspectRatio/String
        int32_t rotation;
        int32_t shownWidth, shownHeight;
    };
    const Case cases[] = {
        {320, 240, "4:3", 0, 320, 240},        {720, 576, "16:9", 0, 1024, 576}, // anamorphic PAL
        {1080, 1920, "0.562", 0, 1080, 1920}, // portrait, square pixels (rounded text)
        {1920, 1080, "16:9", 270, 1080, 1920}, // a phone's portrait, stored turned
        {1920, 1080, "16:9", 90, 1080, 1920},  {1920, 1080, "16:9", 180, 1920, 1080},
        {1920, 804, "2.40:1", 0, 1920, 804}, // 2.388 named 2.40: square pixels
        {480, 480, "4:3", 0, 640, 480}, // VCD-like, wide pixels
        {640, 360, "", 45, 640, 360}, // no ratio, no quarter turn
        {640, 360, "1,778", 0, 640, 360}, // not a ratio in the C locale
    };
    for (const Case& c : cases) {
        summary.hasVideo = true;
        summary.width = c.width;
        summary.height = c.height;
        summary.videoAspectRatio = c.aspect;
        PlaylistEntry* e = model.addEntry(summary, "/media/shape.mp4");
        ASSERT_NE(e, nullptr);
        e->setRotation(c.rotation);
        EXPECT_EQ(e->displayWidth, c.shownWidth) << c.width << "x" << c.height << " " << c.aspect << " " << c.rotation;
        EXPECT_EQ(e->displayHeight, c.shownHeight) << c.width << "x" << c.height << " " << c.aspect;
        e->setRotation(c.rotation); // idempotent
        EXPECT_EQ(e->displayWidth, c.shownWidth);
    }
    summary.hasVideo = false;
    const PlaylistEntry* sound = model.addEntry(summary, "/media/tone.wav");
    EXPECT_EQ(sound->displayWidth, 0);
    EXPECT_EQ(sound->displayHeight, 0);
}

TEST_F(PlaylistModelTest, StepsAtBothEnds)
{
    addRows(3);
    // No current entry: only a step from the start finds one.
    EXPECT_EQ(model.nextEntry(false), nullptr);
    EXPECT_EQ(model.currentIndex(), -1);
    EXPECT_EQ(model.previousEntry(), nullptr);
    EXPECT_EQ(model.nextEntry(true), entries[0]);

    // Previous on the first row changes nothing.
    EXPECT_EQ(model.previousEntry(), nullptr);
    EXPECT_EQ(model.currentEntry(), entries[0]);

    EXPECT_EQ(model.nextEntry(false), entries[1]);
    EXPECT_EQ(model.nextEntry(false), entries[2]);
    EXPECT_EQ(model.previousEntry(), entries[1]);
    EXPECT_EQ(model.nextEntry(false), entries[2]);

    // Past the last row: nothing current, and every further step (from the
    // start too) finds nothing, so a loop over nextEntry(true) ends.
    EXPECT_EQ(model.nextEntry(false), nullptr);
    EXPECT_EQ(model.currentIndex(), 3);
    EXPECT_EQ(model.currentEntry(), nullptr);
    EXPECT_EQ(model.nextEntry(false), nullptr);
    EXPECT_EQ(model.nextEntry(true), nullptr);

    // Wrapping goes through "no current entry".
    model.markCurrent(nullptr);
    EXPECT_EQ(model.nextEntry(true), entries[0]);
}

TEST_F(PlaylistModelTest, PreviousFromPastTheEnd)
{
    addRows(2);
    model.markCurrent(entries[1]);
    EXPECT_EQ(model.nextEntry(false), nullptr);
    EXPECT_EQ(model.previousEntry(), entries[1]);
}

TEST_F(PlaylistModelTest, MarkCurrent)
{
    addRows(3);
    model.markCurrent(entries[2]);
    EXPECT_EQ(model.currentIndex(), 2);
    EXPECT_TRUE(model.isCurrentRow(2));
    PlaylistModel other;
    const PlaylistEntry* stranger = other.addEntry(summary, "/x");
    model.markCurrent(stranger);
    EXPECT_EQ(model.currentIndex(), -1);
    model.markCurrent(entries[1]);
    model.markCurrent(nullptr);
    EXPECT_EQ(model.currentEntry(), nullptr);
}

TEST_F(PlaylistModelTest, SelectedEntryIsAtTheMark)
{
    addRows(4);
    EXPECT_EQ(model.selectedEntry(), nullptr);
    select({1, 3});
    EXPECT_EQ(model.selectionMark(), 3);
    EXPECT_EQ(model.selectedEntry(), entries[3]);
    model.setSelectionMark(1);
    EXPECT_EQ(model.selectedEntry(), entries[1]);
    model.clearSelection();
    EXPECT_EQ(model.selectedEntry(), nullptr) << "nothing selected";
}

TEST_F(PlaylistModelTest, DeletingOtherRowsKeepsTheCurrentEntry)
{
    struct Case {
        std::vector<int> selected;
        int current;
        int currentAfter;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {{0, 1}, 3, 1, {"a2", "a3", "a4"}},
        {{4}, 3, 3, {"a0", "a1", "a2", "a3"}},
        {{0, 2, 4}, 1, 0, {"a1", "a3"}},
        {{0, 1, 2, 3}, 4, 0, {"a4"}},
    };
    for (const Case& c : cases) {
        model.clear();
        entries.clear();
        addRows(5);
        model.markCurrent(entries[static_cast<size_t>(c.current)]);
        const PlaylistEntry* playing = model.currentEntry();
        int stops = 0;
        model.setStopRequests([&](PlaylistEntry*) { ++stops; }, nullptr);
        for (int row : c.selected)
            model.setSelected(row, true);
        model.deleteSelected();
        EXPECT_EQ(stops, 0);
        EXPECT_EQ(model.currentIndex(), c.currentAfter);
        EXPECT_EQ(model.currentEntry(), playing);
        std::vector<std::string> left;
        for (int row = 0; row < model.rowCount(); ++row)
            left.push_back(model.shownName(row));
        EXPECT_EQ(left, c.left);
    }
}

TEST_F(PlaylistModelTest, DeletingTheCurrentRowStopsItFirst)
{
    addRows(4);
    model.markCurrent(entries[1]);
    std::vector<std::string> events;
    model.setStopRequests(
        [&](PlaylistEntry* e) {
            // Still in the list while the player window stops it.
            events.push_back("stop " + name(e));
        },
        nullptr);
    select({1, 2});
    model.deleteSelected();
    EXPECT_EQ(events, (std::vector<std::string>{"stop a1"}));
    ASSERT_EQ(model.rowCount(), 2);
    // The row that moved into its place is not being played.
    EXPECT_EQ(model.currentIndex(), -1);
    EXPECT_EQ(model.currentEntry(), nullptr);
    EXPECT_EQ(model.nextEntry(true), entries[0]);
    EXPECT_EQ(model.selectedEntry(), nullptr);
}

TEST_F(PlaylistModelTest, DeletingRowsShiftsTheSelectionMark)
{
    addRows(5);
    select({0, 1, 3});
    model.setSelected(3, false); // the mark stays on row 3
    model.deleteSelected(); // rows 0 and 1 go
    EXPECT_EQ(model.selectionMark(), 1);
    EXPECT_EQ(model.selectedEntry(), nullptr) << "the marked row is no longer selected";
    model.setSelected(1, true);
    EXPECT_EQ(model.selectedEntry(), entries[3]);
}

TEST_F(PlaylistModelTest, PastTheEndSurvivesDeletionsAndAddingStartsAfresh)
{
    addRows(3);
    model.markCurrent(entries[2]);
    model.nextEntry(false);
    select({0});
    model.deleteSelected();
    EXPECT_EQ(model.currentIndex(), 2);
    EXPECT_EQ(model.nextEntry(true), nullptr) << "still past the end";

    const PlaylistEntry* added = model.addEntry(summary, "/media/new");
    EXPECT_EQ(model.currentEntry(), nullptr) << "the new row is not playing";
    EXPECT_EQ(model.nextEntry(true), entries[1]) << "the first row plays next";
    EXPECT_EQ(model.rowOf(added), 2);
}

TEST_F(PlaylistModelTest, ClearStopsFirstEvenWithNothingSelected)
{
    int stops = 0;
    model.setStopRequests(nullptr, [&] {
        ++stops;
        EXPECT_EQ(model.rowCount(), 3) << "entries are freed after the stop";
    });
    addRows(3);
    model.markCurrent(entries[1]);
    model.clear();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.currentIndex(), -1);
    EXPECT_EQ(model.nextEntry(true), nullptr);
}

TEST_F(PlaylistModelTest, ListenerHearsRepaintsAndScrolls)
{
    struct Recorder : PlaylistListener {
        std::vector<std::string> log;
        void rowChanged(int row) override { log.push_back("paint " + std::to_string(row)); }
        void rowVisible(int row) override { log.push_back("show " + std::to_string(row)); }
        void rowsChanged() override { log.push_back("rows"); }
    } recorder;
    addRows(2);
    model.setListener(&recorder);
    model.nextEntry(true);
    model.nextEntry(false);
    model.markCurrent(entries[0]);
    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"paint 0", "show 0", "paint 0", "paint 1", "show 1", "paint 1", "paint 0"}));
}

TEST(PlaylistRealProbeTest, EntryFromARealClip)
{
    const std::string clip = testing::clip(3);
    probe::MediaInfoLibrary library;
    ASSERT_TRUE(library.load((std::string(QF_PROGRAM_DIR) + "/" + probe::kMediaInfoLibraryName).c_str()));
    probe::MediaSummary summary(library);
    ASSERT_TRUE(summary.probeFile(clip.c_str()));
    PlaylistModel model;
    const PlaylistEntry* entry = model.addEntry(summary, clip.c_str());
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->hasVideo);
    EXPECT_EQ(entry->width, 160);
    EXPECT_EQ(entry->height, 120);
    EXPECT_EQ(entry->duration, 3);
    EXPECT_STREQ(model.shownName(0), "clip3s.avi");
}

} // namespace
} // namespace qf::player
