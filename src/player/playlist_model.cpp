#include "player/playlist_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "core/file_system.h"
#include "probe/media_summary.h"

namespace qf::player {

PlaylistEntry::PlaylistEntry(const probe::MediaSummary& summary, const char* filePath)
    : path(filePath), hasVideo(summary.hasVideo)
{
    // A backslash is a name byte except in a Windows-form path.
    if (core::fs::backslashSeparates(filePath))
        core::fs::setSeparators(path, '/');
    if (hasVideo) {
        width = summary.width;
        height = summary.height;
        displayWidth = width;
        displayHeight = height;
        // Non-square pixels: the height stays, the width follows the ratio.
        // The text is rounded ("0.562", "2.40:1"): within 1 % of the stored
        // shape the pixels are taken as square.
        const double ratio = parseAspectRatio(summary.videoAspectRatio.c_str());
        if (ratio > 0 && height > 0) {
            const double shown = std::round(height * ratio);
            if (shown >= 1 && shown <= INT32_MAX && std::abs(shown - width) > 0.01 * width)
                displayWidth = static_cast<int32_t>(shown);
        }
    }
    // Sound alone needs its length as much: the position bar seeks by it.
    duration = static_cast<int32_t>(std::min<uint32_t>(summary.durationSeconds, INT32_MAX));
}

void PlaylistEntry::setRotation(int32_t degrees)
{
    degrees = degrees == 90 || degrees == 180 || degrees == 270 ? degrees : 0;
    if ((degrees % 180) != (rotation % 180))
        std::swap(displayWidth, displayHeight);
    rotation = degrees;
}

double parseAspectRatio(const char* text)
{
    if (!text)
        return 0;
    // Not strtod: the decimal point must not depend on the user's locale.
    const char* end = text + std::strlen(text);
    double a = 0;
    auto [next, error] = std::from_chars(text, end, a);
    if (error != std::errc() || !std::isfinite(a) || a <= 0)
        return 0;
    if (next == end)
        return a;
    if (*next != ':')
        return 0;
    double b = 0;
    auto [last, error2] = std::from_chars(next + 1, end, b);
    if (error2 != std::errc() || last != end || !std::isfinite(b) || b <= 0)
        return 0;
    return a / b;
}

PlaylistModel::~PlaylistModel() = default;

void PlaylistModel::setStopRequests(StopEntry stopEntry, StopAll stopAll)
{
    stopEntry_ = std::move(stopEntry);
    stopAll_ = std::move(stopAll);
}

void PlaylistModel::changed(int row)
{
    if (listener_ && validRow(row))
        listener_->rowChanged(row);
}

PlaylistEntry* PlaylistModel::addEntry(const probe::MediaSummary& summary, const char* path)
{
    if (!path || !*path)
        return nullptr;
    // Past the end means no current entry; the new row must not inherit
    // that index and turn current without being played.
    if (current_ >= rowCount())
        current_ = -1;
    rows_.push_back(Row{std::make_unique<PlaylistEntry>(summary, path), false});
    if (listener_)
        listener_->rowsChanged();
    return rows_.back().entry.get();
}

PlaylistEntry* PlaylistModel::entryAt(int row) const
{
    return validRow(row) ? rows_[static_cast<size_t>(row)].entry.get() : nullptr;
}

const char* PlaylistModel::shownName(int row) const
{
    const PlaylistEntry* entry = entryAt(row);
    return entry ? core::fs::fileNamePart(entry->path.c_str()) : "";
}

int PlaylistModel::rowOf(const PlaylistEntry* entry) const
{
    if (!entry)
        return -1;
    for (int row = rowCount() - 1; row >= 0; --row)
        if (rows_[static_cast<size_t>(row)].entry.get() == entry)
            return row;
    return -1;
}

PlaylistEntry* PlaylistModel::currentEntry() const { return entryAt(current_); }

void PlaylistModel::markCurrent(const PlaylistEntry* entry)
{
    const int old = current_;
    current_ = -1;
    changed(old);
    const int row = rowOf(entry);
    if (row >= 0) {
        current_ = row;
        changed(row);
    }
}

PlaylistEntry* PlaylistModel::nextEntry(bool fromStart)
{
    if (current_ == -1 && !fromStart)
        return nullptr;
    changed(current_);
    ++current_;
    if (current_ >= rowCount()) {
        current_ = rowCount();
        return nullptr;
    }
    changed(current_);
    if (listener_)
        listener_->rowVisible(current_);
    return currentEntry();
}

PlaylistEntry* PlaylistModel::previousEntry()
{
    if (current_ <= 0)
        return nullptr;
    changed(current_);
    --current_;
    if (current_ >= rowCount())
        return nullptr;
    changed(current_);
    if (listener_)
        listener_->rowVisible(current_);
    return currentEntry();
}

void PlaylistModel::setSelected(int row, bool selected)
{
    if (!validRow(row) || rows_[static_cast<size_t>(row)].selected == selected)
        return;
    rows_[static_cast<size_t>(row)].selected = selected;
    if (selected)
        mark_ = row;
    changed(row);
}

void PlaylistModel::clearSelection()
{
    for (int row = 0; row < rowCount(); ++row)
        setSelected(row, false);
}

bool PlaylistModel::isSelected(int row) const { return validRow(row) && rows_[static_cast<size_t>(row)].selected; }

void PlaylistModel::setSelectionMark(int row) { mark_ = validRow(row) ? row : -1; }

PlaylistEntry* PlaylistModel::selectedEntry() const { return isSelected(mark_) ? entryAt(mark_) : nullptr; }

void PlaylistModel::deleteSelected()
{
    const PlaylistEntry* current = currentEntry();
    bool currentDeleted = false;
    bool removed = false;
    for (int row = rowCount() - 1; row >= 0; --row) {
        Row& r = rows_[static_cast<size_t>(row)];
        if (!r.selected)
            continue;
        if (current && r.entry.get() == current) {
            // The player must let go of the entry before it is freed.
            if (stopEntry_)
                stopEntry_(r.entry.get());
            current = nullptr;
            currentDeleted = true;
        }
        rows_.erase(rows_.begin() + row);
        removed = true;
        if (mark_ == row)
            mark_ = -1;
        else if (mark_ > row)
            --mark_;
    }
    if (!removed)
        return;
    if (current)
        markCurrent(current);
    else if (currentDeleted)
        // The rows after the deleted current one moved up; none of them is
        // being played.
        current_ = -1;
    else if (current_ > rowCount())
        current_ = rowCount(); // still past the end
    if (listener_)
        listener_->rowsChanged();
}

void PlaylistModel::clear()
{
    if (stopAll_)
        stopAll_();
    rows_.clear();
    current_ = -1;
    mark_ = -1;
    if (listener_)
        listener_->rowsChanged();
}

} // namespace qf::player
