#pragma once
// The playlist behind the player window's list: the entries in the order
// added, which one is current (being played), the user's selection, and the
// steps forward and backward that the player window asks for. The widget
// only draws this model and feeds it the user's clicks.
//
// UI thread only. The model owns its entries: an entry is freed when its row
// is deleted, when the list is cleared and with the model; pointers handed
// out stay valid until then (the engine passes them through its messages).

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/text_string.h"

namespace qf::probe {
class MediaSummary;
}

namespace qf::player {

// One file of the playlist. The picture size is taken only from files with
// video (an audio-only entry has 0 x 0); the duration from every file.
struct PlaylistEntry {
    PlaylistEntry(const probe::MediaSummary& summary, const char* path);
    PlaylistEntry(const PlaylistEntry&) = delete;
    PlaylistEntry& operator=(const PlaylistEntry&) = delete;
    virtual ~PlaylistEntry() = default;

    // The picture's turn (MediaInfo's "Rotation": 90, 180 or 270 degrees,
    // else 0); a quarter turn swaps the display width and height.
    void setRotation(int32_t degrees);

    core::TextString path; // full path, every backslash turned into a slash
    int32_t width = 0; // pixels
    int32_t height = 0;
    bool hasVideo = false;
    int32_t duration = 0; // whole seconds; the player window replaces it with the player's length
    // The shape the picture is shown in: the stored size with the display
    // aspect ratio and the rotation applied (0 x 0 without video).
    int32_t displayWidth = 0;
    int32_t displayHeight = 0;
    int32_t rotation = 0; // 0, 90, 180 or 270
};

// The display aspect ratio in MediaInfo's text ("16:9", "2.40:1", "0.562"),
// 0 when the text holds none.
double parseAspectRatio(const char* text);

// What the widget must redraw. All optional.
struct PlaylistListener {
    virtual ~PlaylistListener() = default;
    virtual void rowChanged(int /*row*/) {} // its colours changed (current or selection)
    virtual void rowVisible(int /*row*/) {} // scroll it into view
    virtual void rowsChanged() {} // rows were added or removed
};

class PlaylistModel {
public:
    // Asked, and waited for, before the current entry's row is deleted, and
    // before the list is cleared: the player window stops playback. They may
    // mark the current entry but must not add or delete rows.
    using StopEntry = std::function<void(PlaylistEntry*)>;
    using StopAll = std::function<void()>;

    PlaylistModel() = default;
    PlaylistModel(const PlaylistModel&) = delete;
    PlaylistModel& operator=(const PlaylistModel&) = delete;
    ~PlaylistModel();

    void setListener(PlaylistListener* listener) { listener_ = listener; }
    void setStopRequests(StopEntry stopEntry, StopAll stopAll);

    // Appends a row for a file that the probe accepted; returns its entry,
    // or null for a null or empty path.
    PlaylistEntry* addEntry(const probe::MediaSummary& summary, const char* path);

    int rowCount() const { return static_cast<int>(rows_.size()); }
    PlaylistEntry* entryAt(int row) const; // null outside the rows
    // The part of the row's path after its last slash (the whole path when
    // it has none); empty outside the rows.
    const char* shownName(int row) const;
    int rowOf(const PlaylistEntry* entry) const; // -1 when not in the list

    // -1: no current entry. One past the last row after stepping beyond it,
    // which also means no current entry.
    int currentIndex() const { return current_; }
    bool isCurrentRow(int row) const { return row >= 0 && row == current_; }
    // The entry at the current index, or null.
    PlaylistEntry* currentEntry() const;
    // Makes the entry's row current (searching from the last row); null or
    // an entry not in the list leaves no current entry.
    void markCurrent(const PlaylistEntry* entry);
    // The row after the current one becomes current and its entry is
    // returned. With no current entry: null, unless fromStart, which starts
    // at the first row. Past the last row: null, and the index stays past the
    // end (so a loop over nextEntry(true) ends).
    PlaylistEntry* nextEntry(bool fromStart);
    // The row before the current one; null (and nothing changes) on the
    // first row or with no current entry.
    PlaylistEntry* previousEntry();

    // The selection, as the list widget reports it. The mark is the row most
    // recently selected.
    void setSelected(int row, bool selected);
    void clearSelection();
    bool isSelected(int row) const;
    void setSelectionMark(int row);
    int selectionMark() const { return mark_; }
    // The entry of the row at the selection mark while that row is selected;
    // null when nothing is selected.
    PlaylistEntry* selectedEntry() const;

    // Deletes every selected row, last to first. The current entry is
    // stopped (StopEntry) before its row goes, and there is no current entry
    // afterwards; otherwise the current row follows its entry.
    void deleteSelected();
    // Stops playback (StopAll), then frees every entry. Nothing is current
    // or selected afterwards.
    void clear();

private:
    struct Row {
        std::unique_ptr<PlaylistEntry> entry;
        bool selected = false;
    };

    void changed(int row);
    bool validRow(int row) const { return row >= 0 && row < rowCount(); }

    std::vector<Row> rows_;
    int current_ = -1;
    int mark_ = -1;
    PlaylistListener* listener_ = nullptr;
    StopEntry stopEntry_;
    StopAll stopAll_;
};

} // namespace qf::player
