// MP4/3GP muxer with mp4creator-style options:
//   mp4-muxer [-force3GPCompliance] -c INPUT [-rate=FPS] OUTPUT
// INPUT is raw MPEG-4 video (.m4v) or ADTS AAC. A missing OUTPUT is created
// with that track; an existing one gets the track added. The streams the
// system's encoder makes are written by the muxer itself; anything else is
// left to the ffmpeg command-line tool, run by argument vector, and what
// can be read from the files' own headers is, so that no prober has to
// start for it.

#include "common/adts_reader.h"
#include "common/file_bytes.h"
#include "common/run_program.h"
#include "common/temporary_output.h"
#include "common/tool_error.h"
#include "common/tool_main.h"
#include "direct_mux.h"
#include "mp4_tracks.h"
#include "mux_plan.h"
#include "vol_header.h"

#include <algorithm>
#include <optional>
#include <sys/stat.h>

namespace {

using qf::kit::ToolError;

std::string probe(const std::vector<std::string>& argv, const std::string& file, const std::string& what)
{
    qf::kit::ProgramResult r = qf::kit::runProgram(argv);
    if (!r.succeeded()) {
        std::string why = r.lastErrorLine();
        throw ToolError(file + " is not " + what + (why.empty() ? "" : ": " + why));
    }
    return r.output;
}

// What kind of stream the input is, by its first bytes.
void sniffInput(qf::kit::MuxJob& job)
{
    const std::string& path = job.args.inputPath;
    qf::kit::InputFile in(path);
    if (in.size() == 0)
        throw ToolError(path + " is empty");
    job.kind = qf::kit::sniffStreamKind(in.read(0, static_cast<size_t>(std::min<uint64_t>(in.size(), 16))));
    if (job.kind == qf::kit::StreamKind::Unknown)
        throw ToolError(path + " is neither raw MPEG-4 video nor ADTS AAC audio");
}

// The checks and facts ffmpeg needs, for input the muxer leaves to it.
void validateInput(qf::kit::MuxJob& job)
{
    const std::string& path = job.args.inputPath;
    qf::kit::InputFile in(path);
    if (job.kind == qf::kit::StreamKind::AdtsAac) {
        qf::kit::parseAdts(in.read(0, static_cast<size_t>(in.size())), path);
    } else if (job.kind == qf::kit::StreamKind::Mpeg4Video) {
        // The headers before the first VOP are a few dozen bytes.
        std::optional<qf::kit::Fraction> declared
            = qf::kit::declaredVolRate(in.read(0, static_cast<size_t>(std::min<uint64_t>(in.size(), 4096))));
        if (declared) {
            job.sourceRate = *declared;
            return;
        }
        std::string rate = probe({"ffprobe", "-v", "error", "-f", "m4v", "-select_streams", "v:0", "-show_entries",
                                  "stream=r_frame_rate", "-of", "default=nw=1:nk=1", path},
                                 path, "a raw MPEG-4 video stream");
        job.sourceRate = qf::kit::parseFraction(rate);
    }
}

void inspectExistingOutput(qf::kit::MuxJob& job)
{
    const std::string& path = job.args.outputPath;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode))
        throw ToolError("cannot write " + path + ": it is a directory");
    job.addToExisting = true;
    qf::kit::InputFile file(path);
    std::optional<int> tracks = qf::kit::countMp4Tracks(file);
    if (!tracks)
        throw ToolError(path + " exists and is not an MP4 or 3GP file");
    if (*tracks == 0)
        throw ToolError(path + " is not a readable MP4 file: it holds no streams");
    job.existingStreams = *tracks;
}

} // namespace

int main(int argc, char** argv)
{
    return qf::kit::runToolMain("mp4-muxer", [&] {
        qf::kit::MuxJob job;
        job.args = qf::kit::parseMuxerArguments(std::vector<std::string>(argv + 1, argv + argc));
        sniffInput(job);
        inspectExistingOutput(job);
        if (qf::kit::muxDirectly(job).empty())
            return;
        validateInput(job);

        qf::kit::TemporaryOutput out(job.args.outputPath);
        job.temporaryPath = out.path();
        qf::kit::ProgramResult r = qf::kit::runProgram(qf::kit::ffmpegArguments(job));
        if (!r.succeeded()) {
            std::string why = r.lastErrorLine();
            throw ToolError("ffmpeg could not write " + job.args.outputPath + (why.empty() ? "" : ": " + why));
        }
        out.commit();
    });
}
