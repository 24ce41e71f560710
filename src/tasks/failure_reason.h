#pragma once
// Why a task failed, in words its user can read: a Chinese sentence for the
// common causes, followed by the program's own line, which says exactly what
// went wrong for whoever needs the detail. Pure; no state.

#include <string>
#include <string_view>

namespace qf::tasks {

enum class FailureCause {
    Unknown, // classify the program's line
    None, // no sentence: the program's line alone
    NoPermission, // to read the source or to write the output: the line does not say which
    NoWritePermission,
    DiskFull,
    ProgramMissing,
    FolderFailed,
    NoVideo, // a video format for a source without video
    NoAudio, // an audio format for a source without audio
    Damaged,
    NameTooLong,
    SourceMissing,
    BadParameters,
    EncoderEnded, // the encoder ended (killed) before it finished
    StopBeforeStart, // the stop time is not after the start time
    NothingEncoded, // the start lies past the end, or the source is too short
    OutputFolderGone, // removed or renamed while the task ran
    NoDecodableSound, // a sound track of notes (MIDI), not of sound
};

// The cause a program's line names, by the wording of the encoder, the
// helper tools and the system's error texts; None when it names none of them.
FailureCause classifyFailure(std::string_view toolLine);

// True for the causes that lie with the output folder rather than the
// source: their task shows the folder's error state, not the unreadable one.
bool failsTheOutput(FailureCause cause);

// The Chinese sentence of a cause; "" for Unknown and None.
const char* failureSentence(FailureCause cause);

// The sentence, then "\r\n" and the program's line (either alone when the
// other is empty). Unknown is classified from the line first.
std::string explainFailure(FailureCause cause, std::string_view toolLine);

} // namespace qf::tasks
