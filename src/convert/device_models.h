#pragma once
// Device models: the built-in models of each category with their output
// formats, user presets, and the model list that the parameter panel shows
// for one category (user presets first, then the built-in models).
//
// Model indexes. A built-in model always keeps the index of its row in
// kBuiltinModels within its category (IPOD: Touch 0 … Shuffle 3; DVD 0 and
// DVD-Film 1; SVCD 0 and XVCD 1), whatever presets stand before it in the
// list, because the defaults and the DVD-Film frame rate are keyed by it. The
// user presets of a category are numbered after the built-in models, in list
// order (a category with two built-in models numbers its presets 2, 3, …).
// The position of an entry in the list (its row in the model combo) is
// therefore not its model index; DeviceModelList::rowOfModel maps one to the
// other.
//
// UI thread only.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "convert/conversion_settings.h"
#include "core/byte_buffer.h"
#include "core/text_string.h"

namespace qf::convert {

struct BuiltinModel {
    int32_t category;
    const char* name;
    uint8_t formatCount;
    std::array<int8_t, 5> formats; // in the order the format combo shows them
};

inline constexpr std::array<BuiltinModel, 30> kBuiltinModels = {{
    {0, "默认参数", 4, {0, 5, 6, 8, 0}},
    {1, "Touch", 4, {5, 6, 7, 8, 0}},
    {1, "Classic", 4, {5, 6, 7, 8, 0}},
    {1, "Nano", 4, {5, 6, 7, 8, 0}},
    {1, "Shuffle", 1, {8, 0, 0, 0, 0}},
    {2, "默认参数", 5, {1, 2, 3, 4, 8}},
    {3, "默认参数", 1, {9, 0, 0, 0, 0}},
    {4, "DVD", 2, {10, 11, 0, 0, 0}},
    {4, "DVD-Film", 2, {10, 11, 0, 0, 0}},
    {5, "SVCD", 2, {10, 11, 0, 0, 0}},
    {5, "XVCD", 2, {10, 11, 0, 0, 0}},
    {6, "默认参数", 2, {12, 13, 0, 0, 0}},
    {7, "默认参数", 1, {8, 0, 0, 0, 0}},
    // Today's players: a model is the largest picture (a box the picture is
    // fitted in), or the source's own size.
    {8, "2160p", 1, {14, 0, 0, 0, 0}},
    {8, "1080p", 1, {14, 0, 0, 0, 0}},
    {8, "720p", 1, {14, 0, 0, 0, 0}},
    {8, "480p", 1, {14, 0, 0, 0, 0}},
    {8, "原始大小", 1, {14, 0, 0, 0, 0}},
    {9, "2160p", 1, {15, 0, 0, 0, 0}},
    {9, "1080p", 1, {15, 0, 0, 0, 0}},
    {9, "720p", 1, {15, 0, 0, 0, 0}},
    {9, "原始大小", 1, {15, 0, 0, 0, 0}},
    {9, "原始大小 10-bit", 1, {15, 0, 0, 0, 0}},
    {10, "1080p", 2, {17, 16, 0, 0, 0}},
    {10, "720p", 2, {17, 16, 0, 0, 0}},
    {10, "原始大小", 2, {17, 16, 0, 0, 0}},
    {11, "1080p", 1, {18, 0, 0, 0, 0}},
    {11, "720p", 1, {18, 0, 0, 0, 0}},
    {11, "480p", 1, {18, 0, 0, 0, 0}},
    {12, "默认参数", 3, {19, 20, 21, 0, 0}},
}};

// The built-in models of a category, in order (empty outside 0..7).
std::span<const BuiltinModel> builtinModels(int32_t category);
// The format combo's text of a format ("flv" for 9), or "" outside the
// format table.
const char* formatChoiceLabel(int32_t format);

struct FormatChoice {
    int32_t format = 0;
    core::TextString label;
};

class DeviceModel {
public:
    DeviceModel() = default;
    DeviceModel(const DeviceModel&) = default;
    DeviceModel& operator=(const DeviceModel&) = default;
    virtual ~DeviceModel();

    bool isPreset = false;
    int32_t category = 0;
    int32_t modelIndex = 0;
    core::TextString name;
    core::ByteBuffer presetBytes; // the parameter block; empty for built-in models
    std::vector<FormatChoice> formats; // never empty for a usable entry

    bool listsFormat(int32_t format) const;
    // What choosing this entry and one of its formats does to a record:
    // selectModelFromPreset for a user preset, selectModel otherwise.
    void applyTo(ConversionSettings& settings, int32_t format) const;

    // The entry as one record of the "cfg" file (a buffer of blocks).
    void encode(core::ByteBuffer& out) const;
    // Reads a record from the start of `record`. Accepted only when every
    // item reads, the preset bytes are as long as announced, the category is
    // 0..7 and there is at least one format, each a row of the format
    // table. On failure the entry is unchanged.
    bool decode(const core::ByteBuffer& record);
};

class DeviceModelList {
public:
    DeviceModelList() = default;
    DeviceModelList(const DeviceModelList&) = default;
    DeviceModelList& operator=(const DeviceModelList&) = default;
    virtual ~DeviceModelList();

    int32_t size() const { return static_cast<int32_t>(entries_.size()); }
    bool empty() const { return entries_.empty(); }
    // Null outside 0..size()-1.
    const DeviceModel* at(int32_t row) const;
    DeviceModel* at(int32_t row);
    void add(const DeviceModel& entry) { entries_.push_back(entry); }
    // Inserts before row (appends when row is at or past the end); returns the row used.
    int32_t insert(int32_t row, const DeviceModel& entry);
    void clear() { entries_.clear(); }
    // The number of user presets at the head of the list.
    int32_t leadingPresets() const;
    // Renumbers the model indexes: built-in models by their own order, user
    // presets after them (see the header comment).
    void renumber();
    // The row whose entry has the model index, or -1.
    int32_t rowOfModel(int32_t modelIndex) const;

    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    std::vector<DeviceModel> entries_;
};

// Fills `list` with the user presets of the category (in their order in
// `presets`), then its built-in models, and numbers them.
void buildCategoryList(int32_t category, const DeviceModelList& presets, DeviceModelList& list);

// The save-preset command: appends a user preset made from the settings
// (their category, their output format alone, their parameter block) to
// `presets`, and inserts a copy into the panel's `list` after the presets at
// its head. Returns the new entry's row in `list`, or -1 (nothing changed)
// when the settings name no category 0..7 or no format of the format table.
int32_t addPreset(const char* name, const ConversionSettings& settings, DeviceModelList& presets,
                  DeviceModelList& list);

} // namespace qf::convert
