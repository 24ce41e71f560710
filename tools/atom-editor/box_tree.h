#pragma once
// ISO base media (MP4/3GP) boxes as a tree. The boxes on the path to the
// chunk offset tables (moov, trak, mdia, minf, stbl, edts, mvex) are parsed
// into children; every other box is kept as its payload bytes. Each box
// keeps its header form: a 32-bit size, a 64-bit size (size field 1) or
// "to the end of its parent" (size field 0).

#include "common/box_reader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qf::kit {

struct Box {
    std::string type; // 4 bytes
    SizeForm form = SizeForm::Compact;
    bool container = false;
    std::string payload; // leaf boxes: everything after the header
    std::vector<Box> children; // containers

    // Size when serialized, header included.
    uint64_t size() const;
    // Appends the serialized box. A compact header that cannot hold the
    // size becomes a 64-bit one.
    void serialize(std::string& out) const;

    uint64_t bodySize() const;
    bool largeHeader() const;

    Box* child(std::string_view childType);
    const Box* child(std::string_view childType) const;
};

// Whether boxes of this type are parsed into children.
bool isContainerType(std::string_view type);

// The header at the start of data (see readBoxHeader). Throws ToolError
// (with `where` in the message) when it is cut short or its size impossible.
BoxHeader checkedBoxHeader(std::string_view data, uint64_t available, const std::string& where);

// Parses a sequence of boxes that fills data exactly. Throws ToolError on a
// bad size or containers nested deeper than any real file nests them.
std::vector<Box> parseBoxes(std::string_view data, const std::string& where);

} // namespace qf::kit
