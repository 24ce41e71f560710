#include "tasks/failure_reason.h"

#include "convert/command_line_builder.h"
#include "probe/media_summary.h"

#include <array>
#include <utility>

namespace qf::tasks {

namespace {

// Matched in this order, so that the errno text of a failed write decides
// over the operation that failed ("Cannot open output file ...: No space
// left on device" is a full disk, not a missing file).
constexpr std::array<std::pair<std::string_view, FailureCause>, 26> kMarkers = {{
    {"No space left on device", FailureCause::DiskFull},
    {"Disk quota exceeded", FailureCause::DiskFull},
    {"File too large", FailureCause::DiskFull},
    {"File name too long", FailureCause::NameTooLong},
    {"was removed or renamed", FailureCause::OutputFolderGone},
    {"Read-only file system", FailureCause::NoWritePermission},
    {"Permission denied", FailureCause::NoPermission},
    {"Operation not permitted", FailureCause::NoPermission},
    {"Video stream is mandatory", FailureCause::NoVideo},
    {"the source has no video", FailureCause::NoVideo},
    {"has no such audio stream", FailureCause::NoAudio},
    {"has no audio stream", FailureCause::NoAudio},
    {"No sound that can be decoded", FailureCause::NoDecodableSound},
    {"File not found:", FailureCause::SourceMissing},
    {"no such file", FailureCause::SourceMissing},
    {"Cannot run ", FailureCause::ProgramMissing},
    {"cannot start ", FailureCause::ProgramMissing},
    {"no such program: ", FailureCause::ProgramMissing},
    {"Nothing was encoded", FailureCause::NothingEncoded},
    {"ended by signal", FailureCause::EncoderEnded},
    {"Cannot read the source", FailureCause::Damaged},
    {"Invalid data found when processing input", FailureCause::Damaged},
    {"moov atom not found", FailureCause::Damaged},
    {"cannot create the output folder", FailureCause::FolderFailed},
    {"error parsing command line", FailureCause::BadParameters},
    {"is not after the start time", FailureCause::StopBeforeStart},
}};

// A refused write names what it could not write: the output.
bool namesTheOutput(std::string_view line)
{
    for (std::string_view word : {"output file", "output folder", "Cannot write", "cannot write", "cannot create"})
        if (line.find(word) != std::string_view::npos)
            return true;
    return false;
}

} // namespace

FailureCause classifyFailure(std::string_view toolLine)
{
    for (const auto& [marker, cause] : kMarkers) {
        if (toolLine.find(marker) == std::string_view::npos)
            continue;
        if (cause == FailureCause::NoPermission && namesTheOutput(toolLine))
            return FailureCause::NoWritePermission;
        return cause;
    }
    return FailureCause::None;
}

bool failsTheOutput(FailureCause cause)
{
    switch (cause) {
    case FailureCause::NoWritePermission:
    case FailureCause::DiskFull:
    case FailureCause::FolderFailed:
    case FailureCause::NameTooLong:
    case FailureCause::OutputFolderGone: return true;
    default: return false;
    }
}

const char* failureSentence(FailureCause cause)
{
    switch (cause) {
    case FailureCause::NoPermission: return "没有权限:不能读取源文件,或不能写入输出文件夹。";
    case FailureCause::NoWritePermission: return "没有权限写入输出文件夹,请另选一个输出文件夹。";
    case FailureCause::DiskFull: return "磁盘空间不足,输出文件没能写完。";
    case FailureCause::ProgramMissing: return "缺少转换所需的程序,请重新安装本软件。";
    case FailureCause::FolderFailed: return "不能创建输出文件夹,请另选一个输出文件夹。";
    case FailureCause::NoVideo:
        return "源文件没有视频,不能转换为视频格式;请选择音频格式(mp3、wma、m4a、flac 或 opus)。";
    case FailureCause::NoAudio: return "源文件没有音频,不能转换为音频格式。";
    case FailureCause::Damaged: return "源文件已损坏,或者无法读取。";
    case FailureCause::NameTooLong: return "文件名太长:请缩短源文件名或输出文件夹的路径。";
    case FailureCause::SourceMissing: return probe::kMissingFileText;
    case FailureCause::BadParameters: return "编码器不接受这些转换参数。";
    case FailureCause::EncoderEnded: return "编码器意外终止,转换没有完成。";
    case FailureCause::StopBeforeStart: return convert::kStopBeforeStartText;
    case FailureCause::NothingEncoded: return "没有转换出任何内容:开始时间超出了源文件的长度,或源文件太短。";
    case FailureCause::OutputFolderGone: return "输出文件夹在转换过程中被删除或改名,转换已停止。";
    case FailureCause::NoDecodableSound: return "源文件中没有可以解码的声音(MIDI 这类文件只记录音符),无法转换。";
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
