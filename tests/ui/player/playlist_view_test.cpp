// The playlist view: its rows as drawn, its requests, and its menu through
// the player window with the real player.

#include <QAction>

#include "core/messages.h"
#include "probe/media_summary.h"
#include "ui/controls/skin_slider.h"
#include "ui/player/support/player_window_fixture.h"
#include "ui/shell/message_dispatch.h"
#include "ui/shell/shared_menu.h"
#include "ui/skin/skin.h"
#include "ui/ui_test_support.h"

namespace qf::ui::test {
namespace {

using player::PlayerState;

// Text is antialiased: a row holds the colour when some of its pixels lie
// well over halfway from the row's fill towards it, and close to the line
// between the two (another colour of text lies off that line).
bool rowHasColour(const QImage& image, int row, QColor colour, QColor fill)
{
    const double d[3] = {double(colour.red() - fill.red()), double(colour.green() - fill.green()),
                         double(colour.blue() - fill.blue())};
    const double length2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    int found = 0;
    for (int y = row * PlaylistView::kRowHeight + 1; y < (row + 1) * PlaylistView::kRowHeight - 1; ++y)
        for (int x = 1; x < image.width() - 1; ++x) {
            const QColor c = image.pixelColor(x, y);
            const double v[3]
                = {double(c.red() - fill.red()), double(c.green() - fill.green()), double(c.blue() - fill.blue())};
            const double t = (v[0] * d[0] + v[1] * d[1] + v[2] * d[2]) / length2;
            double off2 = 0;
            for (int i = 0; i < 3; ++i)
                off2 += (v[i] - t * d[i]) * (v[i] - t * d[i]);
            found += t > 0.45 && off2 < 0.04 * length2;
        }
    return found >= 3;
}

class PlaylistViewAlone : public ::testing::Test {
protected:
    void SetUp() override
    {
        useRealPlayer();
        host.messages().onAny(core::WM_PLAYER_NOTIFY, [this](const core::Message& m) {
            requests.push_back(m);
            return intptr_t{0};
        });
        for (const QString& path : {videoClip(2, QStringLiteral("row_a")), videoClip(2, QStringLiteral("row_b")),
                                    audioClip(2, QStringLiteral("row_c"))}) {
            probe::MediaSummary summary;
            const std::string bytes = path.toStdString();
            ASSERT_TRUE(probe::probeFile(bytes.c_str(), summary));
            model.addEntry(summary, bytes.c_str());
        }
        view = new PlaylistView(model, &host, [this](int id) { commands.push_back(id); });
        view->setGeometry(0, 0, 202, 338);
        host.resize(202, 338);
        host.show();
    }
    void TearDown() override { delete view; }

    player::PlaylistModel model;
    MessageWidget host;
    PlaylistView* view = nullptr;
    std::vector<core::Message> requests;
    std::vector<int> commands;
};

TEST_F(PlaylistViewAlone, RowsAreDrawnInTheirColours)
{
    model.markCurrent(model.entryAt(1));
    view->selectRows({1, 2});
    EXPECT_EQ(model.selectionMark(), 2);
    const QImage image = view->viewport()->grab().toImage();
    const QColor skin = skin::skinColor();
    EXPECT_EQ(view->visualRect(model.rowCount() > 0 ? view->model()->index(2, 0) : QModelIndex()).height(), 16);

    // Row 0: unselected, white text on the skin.
    EXPECT_EQ(image.pixelColor(image.width() - 3, 8), skin);
    EXPECT_TRUE(rowHasColour(image, 0, Qt::white, skin));
    // Row 1: selected and current, dark orange text on the selection.
    EXPECT_EQ(image.pixelColor(0, 16), PlaylistView::selectedFrame());
    EXPECT_EQ(image.pixelColor(image.width() - 3, 24), PlaylistView::selectedFill());
    EXPECT_TRUE(rowHasColour(image, 1, PlaylistView::currentTextOnSelection(), PlaylistView::selectedFill()));
    // Row 2: selected, dark blue text.
    EXPECT_TRUE(rowHasColour(image, 2, PlaylistView::selectedText(), PlaylistView::selectedFill()));
    EXPECT_FALSE(rowHasColour(image, 2, PlaylistView::currentText(), PlaylistView::selectedFill()));
    // Below the last row: the skin.
    EXPECT_EQ(image.pixelColor(5, 60), skin);

    // The current row unselected keeps its orange text, on its dark band.
    view->selectRows({0});
    const QImage again = view->viewport()->grab().toImage();
    EXPECT_TRUE(rowHasColour(again, 1, PlaylistView::currentText(), PlaylistView::currentFill()));
    EXPECT_EQ(again.pixelColor(again.width() - 3, 24), PlaylistView::currentFill());
    EXPECT_EQ(model.selectedEntry(), model.entryAt(0));
}

TEST_F(PlaylistViewAlone, DoubleClickAndMenuPostTheirRequests)
{
    const QRect row1 = view->visualRect(view->model()->index(1, 0));
    mouse(view->viewport(), QEvent::MouseButtonDblClick, row1.center());
    mouse(view->viewport(), QEvent::MouseButtonDblClick, QPoint(5, 300)); // below the rows: nothing
    pumpFor(20);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].wParam, core::PLAYER_PLAY_ENTRY);
    EXPECT_EQ(requests[0].lParam, reinterpret_cast<intptr_t>(model.entryAt(1)));

    view->selectRows({});
    view->menuCommand(kMenuListPlay);
    view->menuCommand(kMenuListAdd);
    EXPECT_TRUE(commands.empty()); // posted, not run at once
    pumpFor(20);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].lParam, 0); // nothing selected: play the next available
    EXPECT_EQ(commands, std::vector<int>{1018});

    settings::current().setAutoPlay(false);
    settings::current().setLoopPlay(true);
    view->menuCommand(kMenuAutoPlay);
    view->menuCommand(kMenuLoopPlay);
    EXPECT_TRUE(settings::current().autoPlay());
    EXPECT_FALSE(settings::current().loopPlay());
    PlaylistView::tickMenu();
    EXPECT_TRUE(sharedMenuAction(SharedPopup::PlayList, kMenuAutoPlay)->isChecked());
    EXPECT_FALSE(sharedMenuAction(SharedPopup::PlayList, kMenuLoopPlay)->isChecked());
    settings::current().setAutoPlay(false);
}

TEST_F(PlayerWindowTest, DeletingRowsStopsThePlayingOneFirstAndKeepsTheCurrentRow)
{
    window->addPaths({videoClip(20, QStringLiteral("del_a")), videoClip(20, QStringLiteral("del_b")),
                      videoClip(20, QStringLiteral("del_c"))});
    ASSERT_TRUE(waitReport(9, 1));
    PlaylistView* view = window->playlistView();
    mouse(view->viewport(), QEvent::MouseButtonDblClick, view->visualRect(view->model()->index(2, 0)).center());
    ASSERT_TRUE(waitReport(9, 2));
    EXPECT_EQ(playlist().currentIndex(), 2);
    const std::string playing = engine().lastCommandLine();

    view->selectRows({0});
    view->menuCommand(kMenuListDelete);
    EXPECT_EQ(playlist().rowCount(), 2);
    EXPECT_EQ(playlist().currentIndex(), 1); // followed its row
    EXPECT_EQ(state(), PlayerState::Playing);
    EXPECT_EQ(engine().lastCommandLine(), playing);
    pumpFor(50); // the list lays its rows out again after the deletion
    const QImage image = view->viewport()->grab().toImage();
    EXPECT_TRUE(rowHasColour(image, 1, PlaylistView::currentText(), skin::skinColor()));

    view->selectRows({0, 1});
    view->menuCommand(kMenuListDelete);
    EXPECT_EQ(playlist().rowCount(), 0);
    EXPECT_EQ(state(), PlayerState::Idle); // stopped before its row went
    EXPECT_EQ(playlist().currentEntry(), nullptr);
    // The readout and the bar of a file that is gone: nothing, as after Stop.
    EXPECT_FALSE(window->positionTimerRunning());
    EXPECT_EQ(window->slider(PlayerWindow::kPosition)->maximum(), 0);
    EXPECT_EQ(window->timeText(), QStringLiteral("00:00:00 / 00:00:00"));
    pumpFor(200);
    EXPECT_EQ(count(7), 0); // a requested stop, not an end
}

TEST_F(PlayerWindowTest, ClearingTheListStopsFirstEvenWithNothingSelected)
{
    window->addPaths({videoClip(20, QStringLiteral("clear_a")), videoClip(20, QStringLiteral("clear_b"))});
    ASSERT_TRUE(waitReport(9, 1));
    window->playlistView()->selectRows({});
    window->playlistView()->menuCommand(kMenuListClear);
    EXPECT_EQ(state(), PlayerState::Idle);
    EXPECT_EQ(playlist().rowCount(), 0);
    EXPECT_FALSE(window->positionTimerRunning());
    EXPECT_EQ(window->slider(PlayerWindow::kPosition)->value(), 0);
    EXPECT_EQ(window->timeText(), QStringLiteral("00:00:00 / 00:00:00"));
    pumpFor(200);
    EXPECT_EQ(count(7), 0);
}

TEST_F(PlayerWindowTest, TheListsAddAndPlayGoThroughTheWindow)
{
    const QString a = videoClip(20, QStringLiteral("menu_a"));
    const QString b = videoClip(20, QStringLiteral("menu_b"));
    int asked = 0;
    window->setFileChooser([&](QWidget*) {
        ++asked;
        return QStringList{a, b};
    });
    window->playlistView()->menuCommand(kMenuListAdd);
    ASSERT_TRUE(waitUntil([&] { return playlist().rowCount() == 2; }, 2000));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(currentPath(), a);
    ASSERT_TRUE(waitReport(9, 1));

    // Play on the selected row while another plays: that row plays.
    window->playlistView()->selectRows({1});
    window->playlistView()->menuCommand(kMenuListPlay);
    ASSERT_TRUE(waitReport(9, 2));
    EXPECT_EQ(currentPath(), b);

    // The Play button while idle takes the selected row.
    window->command(PlayerWindow::kStop);
    window->playlistView()->selectRows({0});
    window->command(PlayerWindow::kPlay);
    EXPECT_EQ(currentPath(), a);
    EXPECT_EQ(state(), PlayerState::Starting);
}

} // namespace
} // namespace qf::ui::test
