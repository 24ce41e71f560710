#include "tasks/failure_reason.h"

#include <array>
#include <utility>

namespace qf::tasks {

namespace {

// Matched in this order, so that the errno text of a failed write decides
// over the operation that failed ("Cannot open output file ...: No space
// left on device" is a full disk, not a missing file).
constexpr std::array<std::pair<std::string_view, FailureCause>, 20> kMarkers = {{
    {"No space left on device", FailureCause::DiskFull},
    {"Disk quota exceeded", FailureCause::DiskFull},
    {"File too large", FailureCause::DiskFull},
    {"File name too long", FailureCause::NameTooLong},
    {"Permission denied", FailureCause::NoPermission},
    {"Operation not permitted", FailureCause::NoPermission},
    {"Read-only file system", FailureCause::NoPermission},
    {"Video stream is mandatory", FailureCause::NoVideo},
    {"the source has no video", FailureCause::NoVideo},
    {"has no such audio stream", FailureCause::NoAudio},
    {"has no audio stream", FailureCause::NoAudio},
    {"File not found:", FailureCause::SourceMissing},
    {"Cannot run ", FailureCause::ProgramMissing},
    {"cannot start ", FailureCause::ProgramMissing},
    {"no such program: ", FailureCause::ProgramMissing},
    {"Cannot read the source", FailureCause::Damaged},
    {"Invalid data found when processing input", FailureCause::Damaged},
    {"moov atom not found", FailureCause::Damaged},
    {"cannot create the output folder", FailureCause::FolderFailed},
    {"error parsing command line", FailureCause::BadParameters},
}};

} // namespace

FailureCause classifyFailure(std::string_view toolLine)
{
    for (const auto& [marker, cause] : kMarkers)
        if (toolLine.find(marker) != std::string_view::npos)
            return cause;
    return FailureCause::None;
}

const char* failureSentence(FailureCause cause)
{
    switch (cause) {
    case FailureCause::NoPermission: return "没有权限:不能读取源文件,或不能写入输出文件夹。";
    case FailureCause::DiskFull: return "磁盘空间不足,输出文件没能写完。";
    case FailureCause::ProgramMissing: return "缺少转换所需的程序,请重新安装本软件。";
    case FailureCause::FolderFailed: return "不能创建输出文件夹,请另选一个输出文件夹。";
    case FailureCause::NoVideo: return "源文件没有视频,不能转换为视频格式;请选择音频格式(mp3 或 wma)。";
    case FailureCause::NoAudio: return "源文件没有音频,不能转换为音频格式。";
    case FailureCause::Damaged: return "源文件已损坏,或者无法读取。";
    case FailureCause::NameTooLong: return "文件名太长:请缩短源文件名或输出文件夹的路径。";
    case FailureCause::SourceMissing: return "找不到源文件,它可能已被移动或删除。";
    case FailureCause::BadParameters: return "编码器不接受这些转换参数。";
    case FailureCause::EncoderEnded: return "编码器意外终止,转换没有完成。";
    case FailureCause::Unknown:
    case FailureCause::None: break;
    }
    return "";
}

std::string explainFailure(FailureCause cause, std::string_view toolLine)
{
    if (cause == FailureCause::Unknown)
        cause = classifyFailure(toolLine);
    std::string text = failureSentence(cause);
    if (!text.empty() && !toolLine.empty())
        text += "\r\n";
    text.append(toolLine);
    return text;
}

} // namespace qf::tasks
