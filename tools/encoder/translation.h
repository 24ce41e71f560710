#pragma once
// Translation of one encoder command line into one ffmpeg run with the same
// result as MEncoder would give. Pure: no file is touched and no program is
// run; the caller supplies the source facts when needsSourceFacts() says so.

#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "source_facts.h"

namespace qf::encoder {

enum class FailureKind {
    None,
    CommandLine, // refused options: "Exiting... (error parsing command line)"
    Runtime, // any other reason: "Exiting... (<reason>)"
};

// How the two-pass log "divx2pass.log" in the working directory is kept.
enum class PassLog {
    None,
    FfmpegPrefix, // lavc and xvid: ffmpeg writes "divx2pass-0.log"; it is renamed/copied
    X264Stats, // x264 reads and writes "divx2pass.log" (+ ".mbtree") itself
};

inline constexpr const char* kPassLogName = "divx2pass.log";
inline constexpr const char* kPassLogPrefix = "divx2pass";
inline constexpr const char* kFfmpegPassLogName = "divx2pass-0.log";

struct Translation {
    FailureKind failure = FailureKind::None;
    std::string error;

    std::vector<std::string> ffmpegArgs; // after the program name
    // The same run as two ffmpegs, the first (feederArgs) encoding the sound
    // onto the standard input of the second (fedArgs); empty when the run is
    // not worth splitting.
    std::vector<std::string> feederArgs;
    std::vector<std::string> fedArgs;
    std::string sourcePath;
    std::string outputPath; // the final file (-o)
    std::string tempPath; // what ffmpeg writes; renamed to outputPath on success; "" when
                          // the run writes no file (first pass)
    int pass = 0; // 0 single pass, 1 or 2
    PassLog passLog = PassLog::None;

    double startSeconds = 0; // -ss
    std::optional<double> lengthSeconds; // -endpos as a time
    int videoKbps = 0; // for the status line; 0 = unknown
    int audioKbps = 0;
    bool softPulldown = false; // the finished file gets the 3:2 pulldown flags
    bool writesVideo = false;
    bool writesAudio = false;
    bool normalised = false; // the audio chain holds the normaliser
};

struct TranslateOptions {
    // volnorm is carried out. The run that follows a crash of ffmpeg's
    // normaliser turns it off.
    bool normalise = true;
    // The sound may be encoded by a second ffmpeg beside the first.
    bool soundBeside = true;
};

// Sources shorter than this are not normalised: the normaliser's window
// is half a second, and ffmpeg 5.1's crashes on a stream shorter than one
// window; over less than two windows it could hardly work anyway.
inline constexpr double kShortestNormalisedSeconds = 1.0;

// True when translate() needs facts about the source for this command.
bool needsSourceFacts(const Command& command);

// True when facts about the source are worth a probe before the run (see
// source_facts.h); without them the translation still works.
bool wantsSourceFacts(const Command& command);

// The temporary name the output is written under until it is complete.
std::string temporaryPathFor(const std::string& outputPath);

Translation translate(const Command& command, const SourceFacts* facts, const TranslateOptions& options = {});

// Parses and translates; a parse failure comes back as FailureKind::CommandLine.
Translation translate(const std::vector<std::string>& args, const SourceFacts* facts = nullptr);

} // namespace qf::encoder
