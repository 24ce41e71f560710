#include "convert/value_tables.h"

namespace qf::convert {

namespace {

// Start-up or a test installs a table before any reader runs (see the header).
std::span<const FormatEntry> installedFormats = kFormats;

} // namespace

int32_t categoryByName(std::string_view name)
{
    for (size_t i = 0; i < kCategoryNames.size(); ++i)
        if (name == kCategoryNames[i])
            return static_cast<int32_t>(i);
    return -1;
}

std::span<const FormatEntry> formatTable() { return installedFormats; }

std::span<const FormatEntry> installFormatTable(std::span<const FormatEntry> table)
{
    const std::span<const FormatEntry> previous = installedFormats;
    installedFormats = table.empty() ? std::span<const FormatEntry>(kFormats) : table;
    return previous;
}

const FormatEntry* formatEntry(int32_t format)
{
    const std::span<const FormatEntry> table = installedFormats;
    return format >= 0 && static_cast<size_t>(format) < table.size() ? &table[static_cast<size_t>(format)] : nullptr;
}

} // namespace qf::convert
