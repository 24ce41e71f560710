#pragma once
// The helper-tool command lines of post-processing. B is the task's
// intermediate base (its output path without the extension); every file is
// B plus a suffix, quoted as one argument. Pure: texts in, text out.

#include <cstdint>

#include "core/program_directory.h"
#include "core/text_string.h"

namespace qf::tasks {

enum class ToolCommand {
    Probe3gp, // frame-rate probe; the tool and the file touch: "P""B.avi"
    ProbeMp4, // frame-rate probe, one blank between
    ExtractVideo, // encoder: B.avi -> B.m4v
    ExtractAudio, // encoder: B.avi -> B.aac
    Video3gp, // muxer: B.m4v at the rate -> new B.3gp
    Audio3gp, // muxer: B.aac added to B.3gp
    VideoMp4,
    AudioMp4,
    PmpMux, // B.avi + B.aac -> B.pmp (and B.pmp.log)
    PmpMuxSilent, // B.avi alone -> B.pmp with a silent track (a PMP reader needs audio)
    AtomEdit, // B.mp4 -> B.tmp, as the script directs
};

// `rate` is used by Video3gp and VideoMp4 only.
core::TextString toolCommand(ToolCommand which, const core::ToolPaths& tools, const char* base, int32_t rate = 0);

// B + suffix.
core::TextString withSuffix(const char* base, const char* suffix);

// The atom-edit script, CR LF after every line.
extern const char* const kAtomEditScript;

} // namespace qf::tasks
