#pragma once
// Test helper: the built-in format rows plus the rows a test adds, installed
// as the table every part reads for the life of the object. Install it
// before the panel, task or worker that should see it exists.

#include <initializer_list>
#include <span>
#include <vector>

#include "convert/value_tables.h"

namespace qf::convert::test {

class ExtendedFormatTable {
public:
    explicit ExtendedFormatTable(std::initializer_list<FormatEntry> added) : rows_(kFormats.begin(), kFormats.end())
    {
        rows_.insert(rows_.end(), added);
        previous_ = installFormatTable(rows_);
    }
    ~ExtendedFormatTable() { installFormatTable(previous_); }
    ExtendedFormatTable(const ExtendedFormatTable&) = delete;
    ExtendedFormatTable& operator=(const ExtendedFormatTable&) = delete;

    // The format value of the n-th added row.
    static int32_t added(int32_t n = 0) { return kFormatCount + n; }

private:
    std::vector<FormatEntry> rows_;
    std::span<const FormatEntry> previous_;
};

// An audio-only format that no built-in row describes: one pass straight
// into the output, the stream choice and the preset's video options on it,
// and the channels fixed by its options.
inline constexpr FormatEntry kTestAudioFormat = {.label = "m4a-AAC",
                                                 .panelLabel = "m4a",
                                                 .suffix = "-m4a.m4a",
                                                 .audioOnly = true,
                                                 .fixedChannels = true,
                                                 .layout = CommandLayout::SingleLine,
                                                 .singleLine = {.audioStream = true, .extraVideoOptions = true}};

inline constexpr TextReplacement kTestRewrites[] = {{"harddup", "harddup,crop=16:16"}};

// A video format through an AVI intermediate muxed to MP4, with its own
// replacement in the options. The muxing steps name their file after the
// container, so the suffix ends in ".mp4".
inline constexpr FormatEntry kTestMuxedFormat = {.label = "tab-XVID,AAC",
                                                 .panelLabel = "tab-mp4",
                                                 .suffix = "-tab.mp4",
                                                 .layout = CommandLayout::Intermediate,
                                                 .intermediateExtension = ".avi",
                                                 .optionRewrites = kTestRewrites,
                                                 .postProcessing = PostProcessing::MuxMp4};

} // namespace qf::convert::test
