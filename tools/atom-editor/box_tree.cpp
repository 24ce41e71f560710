#include "box_tree.h"

#include "common/byte_order.h"
#include "common/tool_error.h"

namespace qf::kit {

namespace {

constexpr uint64_t kCompactLimit = 0xFFFFFFFFull;

// The parsed containers nest at most five deep in any file (moov, trak,
// mdia, minf, stbl); a file nesting them far deeper is corrupt or hostile,
// and following it would exhaust the stack.
constexpr int kMaxDepth = 16;

ToolError boxError(BoxFault fault, const BoxHeader& h, const std::string& where)
{
    if (fault == BoxFault::CutShort)
        return ToolError(where + ": box header cut short");
    return ToolError(where + ": box '" + fourccText(bytesOf(h.type)) + "' has an impossible size "
                     + std::to_string(h.size));
}

std::vector<Box> parseLevel(std::string_view data, const std::string& where, int depth)
{
    if (depth > kMaxDepth)
        throw ToolError(where + ": boxes nested too deeply");
    std::vector<Box> boxes;
    for (BoxReader reader(data); !reader.atEnd();) {
        BoxView view;
        if (BoxFault fault = reader.next(view); fault != BoxFault::None)
            throw boxError(fault, view.header, where);
        Box box;
        box.type = view.header.type;
        box.form = view.header.form;
        box.container = isContainerType(box.type);
        if (box.container)
            box.children = parseLevel(view.body, where + "/" + box.type, depth + 1);
        else
            box.payload.assign(view.body);
        boxes.push_back(std::move(box));
    }
    return boxes;
}

} // namespace

bool isContainerType(std::string_view type)
{
    for (std::string_view c : {"moov", "trak", "mdia", "minf", "stbl", "edts", "mvex"})
        if (type == c)
            return true;
    return false;
}

uint64_t Box::bodySize() const
{
    if (!container)
        return payload.size();
    uint64_t body = 0;
    for (const Box& c : children)
        body += c.size();
    return body;
}

bool Box::largeHeader() const
{
    return form == SizeForm::Large || (form == SizeForm::Compact && bodySize() + 8 > kCompactLimit);
}

uint64_t Box::size() const { return bodySize() + (largeHeader() ? 16 : 8); }

void Box::serialize(std::string& out) const
{
    uint64_t total = size();
    bool large = largeHeader();
    if (form == SizeForm::ToEnd) {
        appendBe32(out, 0);
        out += type;
    } else if (large) {
        appendBe32(out, 1);
        out += type;
        appendBe64(out, total);
    } else {
        appendBe32(out, static_cast<uint32_t>(total));
        out += type;
    }
    if (container) {
        for (const Box& c : children)
            c.serialize(out);
    } else {
        out += payload;
    }
}

Box* Box::child(std::string_view childType)
{
    for (Box& c : children)
        if (c.type == childType)
            return &c;
    return nullptr;
}

const Box* Box::child(std::string_view childType) const
{
    for (const Box& c : children)
        if (c.type == childType)
            return &c;
    return nullptr;
}

BoxHeader checkedBoxHeader(std::string_view data, uint64_t available, const std::string& where)
{
    BoxHeader h;
    if (BoxFault fault = readBoxHeader(data, available, h); fault != BoxFault::None)
        throw boxError(fault, h, where);
    return h;
}

std::vector<Box> parseBoxes(std::string_view data, const std::string& where) { return parseLevel(data, where, 1); }

} // namespace qf::kit
