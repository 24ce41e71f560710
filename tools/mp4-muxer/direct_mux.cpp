#include "direct_mux.h"

#include "common/temporary_output.h"
#include "common/window_reader.h"
#include "mp4_movie.h"
#include "raw_streams.h"
#include "vol_header.h"

#include <memory>

namespace qf::kit {

std::string muxDirectly(const MuxJob& job)
{
    const bool video = job.kind == StreamKind::Mpeg4Video;
    if (!video && job.kind != StreamKind::AdtsAac)
        return "an unknown stream";
    const bool mp4Brand = !job.args.force3gp;

    std::vector<Mp4Track> tracks;
    std::vector<WindowReader*> sources;
    std::unique_ptr<WindowReader> existing;
    if (job.addToExisting) {
        existing = std::make_unique<WindowReader>(job.args.outputPath);
        ExistingMovie movie = readMovie(*existing);
        if (!movie.doubt.empty())
            return "the existing file has " + movie.doubt;
        if (movie.tracks[0].video == video)
            return "the existing file already has a track of that kind";
        tracks = std::move(movie.tracks);
        sources.push_back(existing.get());
    }

    WindowReader input(job.args.inputPath);
    const int trackId = static_cast<int>(tracks.size()) + 1;
    if (video) {
        M4vStream stream = splitM4v(input);
        if (!stream.doubt.empty())
            return "the video has " + stream.doubt;
        auto [width, height] = declaredVolSize(stream.decoderConfig);
        if (width == 0 || height == 0)
            return "the video declares no picture size";
        std::optional<Fraction> own = declaredVolRate(stream.decoderConfig);
        Fraction rate = playbackRate(own ? *own : Fraction{0, 1}, job.args.rate);
        if (rate.num <= 0 || rate.den <= 0)
            return "the video has no frame rate";
        tracks.push_back(videoTrack(stream, rate, trackId, mp4Brand));
    } else {
        AdtsStream stream = splitAdts(input);
        if (!stream.doubt.empty())
            return "the sound has " + stream.doubt;
        tracks.push_back(audioTrack(stream, trackId, mp4Brand));
    }
    tracks.back().source = static_cast<int>(sources.size());
    sources.push_back(&input);

    TemporaryOutput out(job.args.outputPath);
    writeMovie(out.file(), job.args.outputPath, tracks, sources, job.args.force3gp);
    out.commit();
    return {};
}

} // namespace qf::kit
