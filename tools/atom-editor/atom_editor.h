#pragma once
// Applies an atom-edit script to an MP4/3GP file: deletes boxes at the top
// level and among the children of 'moov', inserts new top-level boxes at
// the start of the file, optionally adds edit lists, and moves every
// 'stco'/'co64' chunk offset so that it still points at the same media
// bytes. Media data is copied, never decoded or rewritten.
//
// Blocks. The output appears under its name only when complete; the input
// is only read (it may be the same path as the output).

#include "atom_script.h"
#include "box_tree.h"

#include <cstdint>
#include <string>

namespace qf::kit {

struct EditReport {
    unsigned deleted = 0;
    unsigned inserted = 0;
    unsigned editListsAdded = 0;
    unsigned offsetsChanged = 0;
};

// Throws ToolError (output left untouched) on any failure.
EditReport editMp4(const std::string& inputPath, const std::string& outputPath, const AtomScript& script);

// Gives every 'trak' of moov without an 'edts' one after its 'tkhd': one
// entry covering the track's duration from tkhd (movie timescale), starting
// at media time 0, or at the first sample's composition offset when the
// track has 'ctts'. Returns how many were added.
unsigned addEditLists(Box& moov);

} // namespace qf::kit
