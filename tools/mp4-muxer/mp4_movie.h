#pragma once
// The tracks of an MP4/3GP file as sample lists, read from an existing
// file's boxes or built from a raw stream, and the file written from them:
// ftyp, free, mdat (the samples, interleaved in chunks of about a second),
// moov at the end, as ffmpeg lays out its own files.

#include "common/window_reader.h"
#include "mux_plan.h"
#include "raw_streams.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qf::kit {

struct Mp4Sample {
    uint64_t offset = 0; // in the track's source file
    uint32_t size = 0;
    uint32_t duration = 0; // in the track's timescale
    bool sync = true;
};

struct Mp4Track {
    bool video = false; // else sound
    uint32_t timescale = 0;
    uint16_t language = 0x55c4; // packed ISO 639-2 "und"
    uint32_t width = 0; // 16.16, from tkhd (video)
    uint32_t height = 0;
    std::string sampleDescriptions; // the stsd payload, kept as it is
    int source = 0; // which input file holds the samples
    std::vector<Mp4Sample> samples;

    uint64_t duration() const;
};

// The one track of an existing file, or why ffmpeg must extend it instead.
struct ExistingMovie {
    std::vector<Mp4Track> tracks;
    std::string doubt;
};

ExistingMovie readMovie(ByteSource& file);

// New tracks from the raw streams; trackId goes into the esds, mp4Brand adds
// the btrt box ffmpeg writes in MP4 (not 3GP) files. Video samples take
// their times from rate at a 90 kHz timescale.
Mp4Track videoTrack(const M4vStream& stream, Fraction rate, int trackId, bool mp4Brand);
Mp4Track audioTrack(const AdtsStream& stream, int trackId, bool mp4Brand);

// Where the samples go: chunks in file order.
struct Chunk {
    int track = 0;
    size_t firstSample = 0;
    size_t count = 0;
    uint64_t offset = 0; // in the written file
};

// Chunks of about chunkSeconds per track, ordered by their start times,
// packed one after another from dataStart.
std::vector<Chunk> layoutChunks(const std::vector<Mp4Track>& tracks, uint64_t dataStart, double chunkSeconds = 1.0);

// stts, [stss], stsc, stsz, stco|co64 of one track laid out in chunks.
std::string sampleTableBoxes(const Mp4Track& track, int trackIndex, const std::vector<Chunk>& chunks);

// ftyp, free and the mdat header, 44 bytes; a payload too large for a
// 32-bit size turns free and the mdat header into one 64-bit header.
std::string fileHead(bool force3gp, uint64_t mdatPayload);
constexpr uint64_t kDataStart = 44;

std::string movieBox(const std::vector<Mp4Track>& tracks, const std::vector<Chunk>& chunks);

// The whole file: head, the samples copied from sources (indexed by each
// track's source), moov.
void writeMovie(std::FILE* out, const std::string& outName, const std::vector<Mp4Track>& tracks,
                const std::vector<WindowReader*>& sources, bool force3gp);

} // namespace qf::kit
