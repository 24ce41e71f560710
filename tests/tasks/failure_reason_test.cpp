// The Chinese sentence put before a program's reason line: the common causes
// are recognised in the wording of the encoder, the helper tools and the
// system's error texts, and the program's line always follows unchanged.
#include <gtest/gtest.h>

#include "tasks/failure_reason.h"

namespace qf::tasks {
namespace {

TEST(FailureReason, TheProgramsLinesNameTheirCause)
{
    struct Case {
        const char* line;
        FailureCause cause;
    } cases[] = {
        // A refused write of the output is the folder's; a refused read is not.
        {"Cannot open output file '/o/a.flv': Permission denied", FailureCause::NoWritePermission},
        {"cannot create the output file /o/a.flv: Permission denied", FailureCause::NoWritePermission},
        {"Cannot open file '/in/a.avi': Permission denied", FailureCause::NoPermission},
        {"Cannot open file '/home/u/output/a.avi': Permission denied", FailureCause::NoPermission},
        {"cannot create /o/a.mp4: Read-only file system", FailureCause::NoWritePermission},
        // The errno text decides over the operation that failed.
        {"Cannot open output file '/o/a.flv': No space left on device", FailureCause::DiskFull},
        {"av_interleaved_write_frame(): No space left on device", FailureCause::DiskFull},
        {"cannot write /o/a.3gp: Disk quota exceeded", FailureCause::DiskFull},
        {"Cannot open output file '/o/xxxx-flv.flv': File name too long", FailureCause::NameTooLong},
        {"cannot start /opt/q/ALDER.DAT: No such file or directory", FailureCause::ProgramMissing},
        {"Cannot run ffmpeg: No such file or directory", FailureCause::ProgramMissing},
        {"no such program: /opt/q/CEDAR.DLL", FailureCause::ProgramMissing},
        {"Video stream is mandatory! (the source has no video)", FailureCause::NoVideo},
        {"The source has no such audio stream", FailureCause::NoAudio},
        {"Cannot read the source: Invalid data found when processing input", FailureCause::Damaged},
        {"[mov,mp4] moov atom not found", FailureCause::Damaged},
        {"File not found: '/in/a.avi'", FailureCause::SourceMissing},
        {"no such file: /in/a.avi", FailureCause::SourceMissing},
        {"ffmpeg ended by signal 9 (Error while filtering)", FailureCause::EncoderEnded},
        {"the encoder ended by signal 9", FailureCause::EncoderEnded},
        {"Nothing was encoded (is the start position past the end of the source?)", FailureCause::NothingEncoded},
        {"the output folder /o was removed or renamed", FailureCause::OutputFolderGone},
        {"No sound that can be decoded: '/in/a.mid' is MIDI, notes for a synthesiser", FailureCause::NoDecodableSound},
        {"the stop time 00:01:00 is not after the start time 00:02:00", FailureCause::StopBeforeStart},
        {"cannot create the output folder /o: Not a directory", FailureCause::FolderFailed},
        {"Exiting... (error parsing command line)", FailureCause::BadParameters},
        {"rc buffer underflow", FailureCause::None},
        {"", FailureCause::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classifyFailure(c.line), c.cause) << c.line;
}

TEST(FailureReason, TheSentenceComesFirstAndTheLineAfterIt)
{
    EXPECT_EQ(explainFailure(FailureCause::Unknown, "write: No space left on device"),
              std::string("磁盘空间不足,输出文件没能写完。\r\nwrite: No space left on device"));
    // A line without a known cause stands alone; a cause without a line too.
    EXPECT_EQ(explainFailure(FailureCause::Unknown, "rc buffer underflow"), "rc buffer underflow");
    EXPECT_EQ(explainFailure(FailureCause::None, "Permission denied"), "Permission denied");
    EXPECT_EQ(explainFailure(FailureCause::NoVideo, ""), std::string(failureSentence(FailureCause::NoVideo)));
    // A cause given by the caller wins over the line's wording: a program
    // that may not be run is missing, not a file the user may not read.
    EXPECT_EQ(explainFailure(FailureCause::ProgramMissing, "cannot start /q/ALDER.DAT: Permission denied"),
              std::string("缺少转换所需的程序,请重新安装本软件。\r\ncannot start /q/ALDER.DAT: Permission denied"));
    for (FailureCause cause :
         {FailureCause::NoPermission, FailureCause::NoWritePermission, FailureCause::DiskFull,
          FailureCause::ProgramMissing, FailureCause::FolderFailed, FailureCause::NoVideo, FailureCause::NoAudio,
          FailureCause::Damaged, FailureCause::NameTooLong, FailureCause::SourceMissing, FailureCause::BadParameters,
          FailureCause::EncoderEnded, FailureCause::StopBeforeStart, FailureCause::NothingEncoded,
          FailureCause::OutputFolderGone, FailureCause::NoDecodableSound})
        EXPECT_STRNE(failureSentence(cause), "") << static_cast<int>(cause);
    EXPECT_STREQ(failureSentence(FailureCause::None), "");
    // What lies with the output folder shows the folder's state; what lies
    // with the source does not.
    for (FailureCause cause : {FailureCause::NoWritePermission, FailureCause::DiskFull, FailureCause::FolderFailed,
                               FailureCause::NameTooLong, FailureCause::OutputFolderGone})
        EXPECT_TRUE(failsTheOutput(cause)) << static_cast<int>(cause);
    for (FailureCause cause : {FailureCause::NoPermission, FailureCause::Damaged, FailureCause::SourceMissing,
                               FailureCause::EncoderEnded, FailureCause::NothingEncoded})
        EXPECT_FALSE(failsTheOutput(cause)) << static_cast<int>(cause);
}

} // namespace
} // namespace qf::tasks
