#include "settings/preset_text.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>
#include <set>

#include "convert/command_line_builder.h"
#include "convert/conversion_settings.h"
#include "convert/value_tables.h"
#include "core/byte_buffer.h"

namespace qf::settings {

namespace {

constexpr std::string_view kHeader = "[quillfer-preset 1]";

// The option strings of the preset block, by the names the file gives them.
using TextMember = core::TextString convert::ConversionSettings::*;
constexpr std::array<std::pair<std::string_view, TextMember>, convert::ConversionSettings::kPresetStringCount> kTexts
    = {{
        {"containerOptions", &convert::ConversionSettings::containerOptions},
        {"extraVideoCodecOptions", &convert::ConversionSettings::extraVideoCodecOptions},
        {"extraVideoFilters", &convert::ConversionSettings::extraVideoFilters},
        {"extraAudioCodecOptions", &convert::ConversionSettings::extraAudioCodecOptions},
        {"extraAudioFilters", &convert::ConversionSettings::extraAudioFilters},
    }};

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool parseNumber(std::string_view text, long& value)
{
    const std::string s(text);
    if (s.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtol(s.c_str(), &end, 10);
    return errno == 0 && end && *end == 0;
}

// The format value of a number, or of a label as the category's models list
// it (several formats share a label across categories: mp4-X264,AAC is 2
// for the PSP and 5 for phones).
int32_t formatByName(std::string_view text, int32_t category)
{
    long number = -1;
    const bool byNumber = parseNumber(text, number);
    convert::DeviceModelList models;
    convert::buildCategoryList(category, convert::DeviceModelList(), models);
    for (const convert::DeviceModel& model : models)
        for (const convert::FormatChoice& choice : model.formats) {
            const convert::FormatEntry* entry = convert::formatEntry(choice.format);
            if (entry
                && (byNumber ? number == choice.format
                             : text == entry->label || text == entry->panelLabel || text == choice.label.c_str()))
                return choice.format;
        }
    return -1;
}

int32_t categoryOf(std::string_view text)
{
    long number = 0;
    if (parseNumber(text, number))
        return number >= 0 && number < convert::kCategoryCount ? static_cast<int32_t>(number) : -1;
    return convert::categoryByName(text);
}

} // namespace

std::string presetToText(const convert::DeviceModel& preset)
{
    convert::ConversionSettings settings;
    const int32_t format = preset.formats.empty() ? 0 : preset.formats.front().format;
    preset.applyTo(settings, format);
    std::string out = "# Quillfer preset: edit the values, keep the keys (quillfer-cli(1), PRESET FILES).\n";
    out += std::string(kHeader) + "\n";
    out += "name = " + std::string(preset.name.c_str()) + "\n";
    out += "category = " + std::string(convert::categoryName(preset.category)) + "\n";
    for (const convert::FormatChoice& choice : preset.formats)
        if (convert::formatEntry(choice.format))
            out += "format = " + std::string(convert::formatChoiceLabel(choice.format)) + "\n";
    for (int i = 0; i < convert::ConversionSettings::kParameterCount; ++i) {
        const convert::ValueRange& range = convert::kParameterRanges[static_cast<size_t>(i)];
        out += "# " + std::to_string(range.min) + ".." + std::to_string(range.max) + "\n";
        out += std::string(convert::ConversionSettings::parameterName(i)) + " = "
            + std::to_string(settings.parameter(i)) + "\n";
    }
    for (const auto& [name, member] : kTexts)
        out += std::string(name) + " = " + (settings.*member).c_str() + "\n";
    return out;
}

bool looksLikePresetText(std::string_view bytes)
{
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        const std::string_view line = trim(bytes.substr(0, end));
        if (!line.empty() && line[0] != '#' && line[0] != ';')
            return line == kHeader;
        if (end == std::string_view::npos)
            break;
        bytes.remove_prefix(end + 1);
    }
    return false;
}

bool presetFromText(std::string_view text, convert::DeviceModel& out, std::string& error)
{
    std::string name;
    int32_t category = -1;
    std::vector<std::pair<std::string, std::string>> formatLines; // where, value: read once the category is known
    std::array<std::optional<int32_t>, convert::ConversionSettings::kParameterCount> values;
    std::array<std::optional<std::string>, convert::ConversionSettings::kPresetStringCount> texts;
    std::set<std::string> seen;
    bool header = false;
    int number = 0;
    while (!text.empty() || number == 0) {
        ++number;
        const size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::string where = "第 " + std::to_string(number) + " 行：";
        if (line.empty() || line[0] == '#' || line[0] == ';') {
            if (text.empty())
                break;
            continue;
        }
        if (!header) {
            if (line != kHeader) {
                error = where + "预设文件应以 " + std::string(kHeader) + " 开头";
                return false;
            }
            header = true;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            error = where + "应为 键 = 值";
            return false;
        }
        const std::string key(trim(line.substr(0, eq)));
        const std::string_view value = trim(line.substr(eq + 1));
        if (key != "format" && !seen.insert(key).second) {
            error = where + "键 '" + key + "' 出现了两次";
            return false;
        }
        if (key == "name") {
            name = value;
        } else if (key == "category") {
            category = categoryOf(value);
            if (category < 0) {
                error = where + "未知的分类 '" + std::string(value) + "'";
                return false;
            }
        } else if (key == "format") {
            formatLines.emplace_back(where, value);
        } else {
            int index = 0;
            while (index < convert::ConversionSettings::kParameterCount
                   && key != convert::ConversionSettings::parameterName(index))
                ++index;
            if (index < convert::ConversionSettings::kParameterCount) {
                const convert::ValueRange& range = convert::kParameterRanges[static_cast<size_t>(index)];
                long v = 0;
                if (!parseNumber(value, v) || v < range.min || v > range.max) {
                    error = where + key + " 的值 '" + std::string(value) + "' 不在 " + std::to_string(range.min) + ".."
                        + std::to_string(range.max) + " 之内";
                    return false;
                }
                values[static_cast<size_t>(index)] = static_cast<int32_t>(v);
            } else {
                size_t t = 0;
                while (t < kTexts.size() && kTexts[t].first != key)
                    ++t;
                if (t == kTexts.size()) {
                    error = where + "未知的键 '" + key + "'";
                    return false;
                }
                texts[t] = std::string(value);
            }
        }
        if (text.empty())
            break;
    }
    if (!header || name.empty() || category < 0 || formatLines.empty()) {
        error = std::string("预设文件缺少 ")
            + (!header            ? std::string(kHeader)
                   : name.empty() ? "name"
                   : category < 0 ? "category"
                                  : "format");
        return false;
    }
    std::vector<int32_t> formats;
    for (const auto& [where, value] : formatLines) {
        formats.push_back(formatByName(value, category));
        if (formats.back() < 0) {
            error = where + "分类 " + convert::categoryName(category) + " 没有格式 '" + value + "'";
            return false;
        }
    }
    // What the file leaves out comes from the category's defaults for its format.
    convert::ConversionSettings settings;
    settings.selectModel(category, 0, formats.front());
    for (size_t i = 0; i < values.size(); ++i)
        if (values[i])
            settings.parameter(static_cast<int>(i)) = *values[i];
    for (size_t t = 0; t < kTexts.size(); ++t)
        if (texts[t])
            settings.*kTexts[t].second = texts[t]->c_str();
    convert::DeviceModel preset;
    preset.isPreset = true;
    preset.category = category;
    preset.name = name.c_str();
    settings.saveParameters(preset.presetBytes);
    for (const int32_t format : formats)
        preset.formats.push_back({format, core::TextString(convert::formatChoiceLabel(format))});
    out = preset;
    return true;
}

} // namespace qf::settings
