#pragma once
// ISO base media (MP4/3GP) box headers, and the boxes of a span held in
// memory, for every tool that reads such files. A header's size field holds
// the whole box's size, 1 for a 64-bit size after the type, or 0 for "to the
// end of what holds it"; a box never reaches past what holds it.

#include <cstdint>
#include <string>
#include <string_view>

namespace qf::kit {

enum class SizeForm { Compact, Large, ToEnd };

enum class BoxFault {
    None,
    CutShort, // the header itself does not fit
    BadSize, // smaller than its header, or past what holds it
};

struct BoxHeader {
    std::string type; // four bytes, as read
    SizeForm form = SizeForm::Compact;
    uint32_t headerSize = 8;
    uint64_t size = 0; // the whole box, header included
};

// Reads the header at the start of head (8 bytes, 16 for a 64-bit size) of
// a box that may span `available` bytes; head may hold fewer. On BadSize the
// header holds the size as read; on CutShort it holds the type when head
// has 8 bytes.
BoxFault readBoxHeader(std::string_view head, uint64_t available, BoxHeader& header);

// Whether a type is four printable characters, as every real one is.
bool isPrintableType(std::string_view type);

struct BoxView {
    BoxHeader header;
    std::string_view body; // everything after the header
};

// The boxes that fill a span, one after another.
class BoxReader {
public:
    explicit BoxReader(std::string_view bytes) : rest_(bytes) {}

    bool atEnd() const { return rest_.empty(); }
    // Reads the next box. On a fault the reader stays where it is, and
    // box.header holds what readBoxHeader could read.
    BoxFault next(BoxView& box);

private:
    std::string_view rest_;
};

} // namespace qf::kit
