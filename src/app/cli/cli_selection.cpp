#include "app/cli/cli_selection.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <tuple>
#include <unistd.h>

#include "app/cli/cli.h"
#include "convert/command_line_builder.h"
#include "convert/device_models.h"
#include "convert/value_tables.h"
#include "core/clock_time.h"
#include "core/file_system.h"
#include "probe/media_summary.h"
#include "settings/preset_file.h"
#include "settings/settings.h"

namespace qf::cli {

namespace {

bool parseInt(const std::string& text, long& value)
{
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && end && *end == 0;
}

bool asciiEqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string validCategories()
{
    std::string s;
    for (int i = 0; i < convert::kCategoryCount; ++i)
        s += (i ? ", " : "") + std::to_string(i) + " " + convert::categoryName(i);
    return s;
}

std::string validModels(const convert::DeviceModelList& list)
{
    std::string s;
    for (int32_t row = 0; row < list.size(); ++row)
        s += (row ? ", " : "") + std::to_string(row) + " " + list.at(row)->name.c_str();
    return s;
}

std::string validFormats(const convert::DeviceModel& entry)
{
    std::string s;
    for (const convert::FormatChoice& f : entry.formats)
        s += (s.empty() ? "" : ", ") + std::to_string(f.format) + " " + f.label.c_str();
    return s;
}

std::string validMembers()
{
    std::string s;
    for (int i = 0; i < convert::ConversionSettings::kParameterCount; ++i) {
        const convert::ValueRange& r = convert::kParameterRanges[static_cast<size_t>(i)];
        s += std::string(i ? ", " : "") + convert::ConversionSettings::parameterName(i) + " (" + std::to_string(r.min)
            + ".." + std::to_string(r.max) + ")";
    }
    return s;
}

int32_t resolveCategory(const std::string& text)
{
    long index = 0;
    if (parseInt(text, index))
        return index >= 0 && index < convert::kCategoryCount ? static_cast<int32_t>(index) : -1;
    const int32_t exact = convert::categoryByName(text);
    if (exact >= 0)
        return exact;
    for (int i = 0; i < convert::kCategoryCount; ++i)
        if (asciiEqualNoCase(text, convert::categoryName(i)))
            return i;
    return -1;
}

// An absolute path with no trailing slash. A backslash stays: it is a byte
// of the file's name.
std::string absolutePath(std::string path)
{
    if (!path.empty() && path[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd))
            path = std::string(cwd) + "/" + path;
    }
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

int applyMedia(const std::string& mode, const std::string& path, convert::CommandLineBuilder& out, std::string& error)
{
    if (mode == "av" || mode == "video" || mode == "audio") {
        out.media.hasVideo = mode != "audio";
        out.media.hasAudio = mode != "video";
        return kExitOk;
    }
    probe::MediaSummary summary;
    if (!probe::probeFile(path.c_str(), summary)) {
        error = "不能识别的文件类型。 " + path + (summary.hasHandle() ? "" : "（影音信息库没有载入）");
        return kExitFailed;
    }
    out.takeMediaSummary(summary);
    return kExitOk;
}

} // namespace

int configureChoice(const SelectionArgs& args, convert::CommandLineBuilder& out, std::string& error,
                    std::string* modelName)
{
    const bool fromFile = !args.presetFile.empty();
    if (args.format.empty() || (!fromFile && (args.category.empty() || args.model.empty()))) {
        error = "-c CATEGORY、-m MODEL（或 --preset-file FILE）和 -f FORMAT 都要给出";
        return kExitUsage;
    }
    if (fromFile && (!args.category.empty() || !args.model.empty())) {
        error = "--preset-file 已给出分类和型号，不能再用 -c 或 -m";
        return kExitUsage;
    }
    if (args.media != "auto" && args.media != "av" && args.media != "video" && args.media != "audio") {
        error = "未知的 --media '" + args.media + "'；可用：auto, av, video, audio";
        return kExitUsage;
    }
    convert::DeviceModel filePreset;
    if (fromFile && !settings::loadPresetFile(args.presetFile, filePreset, error))
        return kExitUsage;
    const int32_t category = fromFile ? filePreset.category : resolveCategory(args.category);
    if (category < 0) {
        error = "未知的分类 '" + args.category + "'；可用：" + validCategories();
        return kExitUsage;
    }
    convert::DeviceModelList list;
    convert::buildCategoryList(category, settings::current().presets(), list);
    long row = -1;
    const convert::DeviceModel* entry = nullptr;
    if (fromFile) {
        entry = &filePreset;
    } else if (parseInt(args.model, row)) {
        entry = row >= 0 && row <= INT32_MAX ? list.at(static_cast<int32_t>(row)) : nullptr;
    } else {
        // By name: a row number moves when a preset is saved, a name does
        // not. The exact name first, then one that differs in case only.
        for (int pass = 0; pass < 2 && !entry; ++pass)
            for (int32_t r = 0; r < list.size() && !entry; ++r)
                if (pass == 0 ? args.model == list.at(r)->name.c_str()
                              : asciiEqualNoCase(args.model, list.at(r)->name.c_str()))
                    entry = list.at(r);
    }
    if (!entry) {
        error = "分类 " + std::string(convert::categoryName(category)) + " 中没有型号 '" + args.model + "'；可用："
            + validModels(list);
        return kExitUsage;
    }
    long format = -1;
    if (!parseInt(args.format, format)) {
        // By the label the model lists ("webm-VP9,Opus", "flac"), case aside.
        format = -1;
        for (const convert::FormatChoice& f : entry->formats)
            if (format < 0 && asciiEqualNoCase(args.format, f.label.c_str()))
                format = f.format;
    }
    if (format < 0 || format > INT32_MAX || !entry->listsFormat(static_cast<int32_t>(format))) {
        error = "型号 " + std::string(entry->name.c_str()) + " 没有格式 '" + args.format + "'；可用："
            + validFormats(*entry);
        return kExitUsage;
    }
    entry->applyTo(out, static_cast<int32_t>(format));
    if (modelName)
        *modelName = entry->name.c_str();

    for (const std::string& set : args.sets) {
        const size_t eq = set.find('=');
        const std::string name = set.substr(0, eq);
        int32_t* member = eq == std::string::npos ? nullptr : out.parameterByName(name.c_str());
        if (!member) {
            error = "--set '" + set + "'：应为 MEMBER=VALUE，MEMBER 是以下之一：" + validMembers();
            return kExitUsage;
        }
        int index = 0;
        while (convert::ConversionSettings::parameterName(index) != name)
            ++index;
        const convert::ValueRange& range = convert::kParameterRanges[static_cast<size_t>(index)];
        long value = 0;
        if (!parseInt(set.substr(eq + 1), value) || value < range.min || value > range.max) {
            error = "--set " + name + "：值 '" + set.substr(eq + 1) + "' 不在 " + std::to_string(range.min) + ".."
                + std::to_string(range.max) + " 之内";
            return kExitUsage;
        }
        *member = static_cast<int32_t>(value);
    }

    for (const auto& [text, into, option] :
         {std::tuple{&args.start, &out.startTime, "--start"}, std::tuple{&args.stop, &out.endPosition, "--stop"}}) {
        if (text->empty())
            continue;
        if (!core::isTimeText(text->c_str())) {
            error = std::string(option) + " '" + *text + "' 不是时间 HH:MM:SS（小时 00..23）";
            return kExitUsage;
        }
        into->assign(text->c_str());
    }
    if (!convert::stopFollowsStart(out)) {
        error = std::string(convert::kStopBeforeStartText) + " --start " + args.start + " --stop " + args.stop;
        return kExitUsage;
    }

    return kExitOk;
}

int configureBuilder(const SelectionArgs& args, const std::string& file, convert::CommandLineBuilder& out,
                     std::string& error, std::string* modelName)
{
    if (const int status = configureChoice(args, out, error, modelName); status != kExitOk)
        return status;
    const std::string path = absolutePath(file);
    if (!core::fs::isFile(path.c_str()) || probe::isMissing(path.c_str())) {
        error = std::string(probe::kMissingFileText) + " no such file: " + path;
        return kExitFailed;
    }
    if (const int status = applyMedia(args.media, path, out, error); status != kExitOk)
        return status;
    out.sourcePath = path.c_str();

    const std::string folder = args.outputFolder.empty() ? std::string(settings::current().outputFolder().c_str())
                                                         : absolutePath(args.outputFolder);
    if (folder.empty()) {
        error = "没有输出目录：请用 --output-folder 给出";
        return kExitUsage;
    }
    out.makeOutputPath(folder.c_str());
    return kExitOk;
}

} // namespace qf::cli
