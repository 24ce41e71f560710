#include "common/box_reader.h"

#include "common/byte_order.h"

#include <algorithm>

namespace qf::kit {

BoxFault readBoxHeader(std::string_view head, uint64_t available, BoxHeader& header)
{
    ByteCursor in(head.substr(0, static_cast<size_t>(std::min<uint64_t>(head.size(), available))));
    uint32_t size32 = in.be32();
    std::string_view type = in.take(4);
    if (!in.ok())
        return BoxFault::CutShort;
    header.type.assign(type);
    header.form = SizeForm::Compact;
    header.headerSize = 8;
    header.size = size32;
    if (size32 == 1) {
        header.form = SizeForm::Large;
        header.headerSize = 16;
        header.size = in.be64();
        if (!in.ok())
            return BoxFault::CutShort;
    } else if (size32 == 0) {
        header.form = SizeForm::ToEnd;
        header.size = available;
    }
    return header.size < header.headerSize || header.size > available ? BoxFault::BadSize : BoxFault::None;
}

bool isPrintableType(std::string_view type)
{
    return std::all_of(type.begin(), type.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

BoxFault BoxReader::next(BoxView& box)
{
    BoxFault fault = readBoxHeader(rest_, rest_.size(), box.header);
    if (fault != BoxFault::None)
        return fault;
    const BoxHeader& h = box.header;
    box.body = rest_.substr(h.headerSize, static_cast<size_t>(h.size - h.headerSize));
    rest_.remove_prefix(static_cast<size_t>(h.size));
    return BoxFault::None;
}

} // namespace qf::kit
