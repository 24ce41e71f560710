#include "convert/device_models.h"

#include "convert/value_tables.h"

namespace qf::convert {

std::span<const BuiltinModel> builtinModels(int32_t category)
{
    size_t first = kBuiltinModels.size();
    size_t count = 0;
    for (size_t i = 0; i < kBuiltinModels.size(); ++i) {
        if (kBuiltinModels[i].category != category)
            continue;
        if (first == kBuiltinModels.size())
            first = i;
        ++count;
    }
    return count ? std::span<const BuiltinModel>(kBuiltinModels).subspan(first, count)
                 : std::span<const BuiltinModel>();
}

const char* formatChoiceLabel(int32_t format)
{
    const FormatEntry* entry = formatEntry(format);
    return entry ? entry->panelLabel : "";
}

DeviceModel::~DeviceModel() = default;

bool DeviceModel::listsFormat(int32_t format) const
{
    for (const FormatChoice& f : formats)
        if (f.format == format)
            return true;
    return false;
}

void DeviceModel::applyTo(ConversionSettings& settings, int32_t format) const
{
    if (isPreset)
        settings.selectModelFromPreset(category, modelIndex, format, presetBytes);
    else
        settings.selectModel(category, modelIndex, format);
}

void DeviceModel::encode(core::ByteBuffer& out) const
{
    out.appendIntItem(static_cast<int32_t>(presetBytes.length()));
    out.appendFlagItem(isPreset);
    out.appendIntItem(category);
    out.appendIntItem(modelIndex);
    out.appendBlock(name);
    out.appendBlock(presetBytes);
    out.appendIntItem(static_cast<int32_t>(formats.size()));
    for (const FormatChoice& f : formats) {
        out.appendIntItem(f.format);
        out.appendBlock(f.label);
    }
}

bool DeviceModel::decode(const core::ByteBuffer& record)
{
    core::ByteBuffer in(record);
    in.rewind();
    DeviceModel entry;
    int32_t presetLength = 0;
    bool flag = false;
    int32_t formatCount = 0;
    if (!in.readIntItem(presetLength) || !in.readFlagItem(flag) || !in.readIntItem(entry.category)
        || !in.readIntItem(entry.modelIndex) || !in.readBlock(entry.name) || !in.readBlock(entry.presetBytes)
        || !in.readIntItem(formatCount))
        return false;
    if (presetLength < 0 || entry.presetBytes.length() != static_cast<uint32_t>(presetLength))
        return false;
    // An entry that no category shows, or a format the builder cannot make,
    // would sit in the file for ever without use.
    if (entry.category < 0 || entry.category >= kCategoryCount || formatCount <= 0)
        return false;
    for (int32_t i = 0; i < formatCount; ++i) {
        FormatChoice f;
        if (!in.readIntItem(f.format) || !in.readBlock(f.label))
            return false;
        if (!formatEntry(f.format))
            return false;
        entry.formats.push_back(std::move(f));
    }
    entry.isPreset = flag;
    *this = entry;
    return true;
}

DeviceModelList::~DeviceModelList() = default;

const DeviceModel* DeviceModelList::at(int32_t row) const
{
    return row >= 0 && row < size() ? &entries_[static_cast<size_t>(row)] : nullptr;
}

DeviceModel* DeviceModelList::at(int32_t row)
{
    return row >= 0 && row < size() ? &entries_[static_cast<size_t>(row)] : nullptr;
}

int32_t DeviceModelList::insert(int32_t row, const DeviceModel& entry)
{
    if (row < 0 || row >= size()) {
        entries_.push_back(entry);
        return size() - 1;
    }
    entries_.insert(entries_.begin() + row, entry);
    return row;
}

int32_t DeviceModelList::leadingPresets() const
{
    int32_t n = 0;
    while (n < size() && entries_[static_cast<size_t>(n)].isPreset)
        ++n;
    return n;
}

void DeviceModelList::renumber()
{
    // Presets of a category follow its built-in models; the list may in
    // principle mix categories (the process-wide preset list does), so each
    // category is counted on its own.
    std::array<int32_t, kCategoryCount> builtinSeen{};
    std::array<int32_t, kCategoryCount> presetSeen{};
    for (DeviceModel& e : entries_) {
        if (e.category < 0 || e.category >= kCategoryCount)
            continue;
        const auto c = static_cast<size_t>(e.category);
        if (e.isPreset)
            e.modelIndex = static_cast<int32_t>(builtinModels(e.category).size()) + presetSeen[c]++;
        else
            e.modelIndex = builtinSeen[c]++;
    }
}

int32_t DeviceModelList::rowOfModel(int32_t modelIndex) const
{
    for (int32_t row = 0; row < size(); ++row)
        if (entries_[static_cast<size_t>(row)].modelIndex == modelIndex)
            return row;
    return -1;
}

void buildCategoryList(int32_t category, const DeviceModelList& presets, DeviceModelList& list)
{
    list.clear();
    for (const DeviceModel& p : presets)
        if (p.category == category)
            list.add(p);
    for (const BuiltinModel& b : builtinModels(category)) {
        DeviceModel entry;
        entry.category = category;
        entry.name = b.name;
        for (uint8_t i = 0; i < b.formatCount; ++i)
            entry.formats.push_back({b.formats[i], core::TextString(formatChoiceLabel(b.formats[i]))});
        list.add(entry);
    }
    list.renumber();
}

int32_t addPreset(const char* name, const ConversionSettings& settings, DeviceModelList& presets, DeviceModelList& list)
{
    if (settings.category < 0 || settings.category >= kCategoryCount || !formatEntry(settings.outputFormat))
        return -1;
    DeviceModel entry;
    entry.isPreset = true;
    entry.name = name;
    entry.category = settings.category;
    entry.formats.push_back({settings.outputFormat, core::TextString(formatChoiceLabel(settings.outputFormat))});
    settings.saveParameters(entry.presetBytes);
    presets.add(entry);
    presets.renumber();
    const int32_t row = list.insert(list.leadingPresets(), entry);
    list.renumber();
    return row;
}

} // namespace qf::convert
