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

std::vector<Box> parseLevel(std::string_view data, const std::string& where, int depth)
{
    if (depth > kMaxDepth)
        throw ToolError(where + ": boxes nested too deeply");
    std::vector<Box> boxes;
    while (!data.empty()) {
        BoxHeader h = readBoxHeader(data, data.size(), where);
        Box box;
        box.type = h.type;
        box.form = h.form;
        std::string_view body = data.substr(h.headerSize, static_cast<size_t>(h.size - h.headerSize));
        box.container = isContainerType(h.type);
        if (box.container)
            box.children = parseLevel(body, where + "/" + h.type, depth + 1);
        else
            box.payload.assign(body);
        boxes.push_back(std::move(box));
        data.remove_prefix(static_cast<size_t>(h.size));
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

BoxHeader readBoxHeader(std::string_view data, uint64_t available, const std::string& where)
{
    if (data.size() < 8 || available < 8)
        throw ToolError(where + ": box header cut short");
    const uint8_t* p = bytesOf(data);
    BoxHeader h;
    h.type.assign(data.substr(4, 4));
    uint32_t size32 = readBe32(p);
    if (size32 == 1) {
        if (data.size() < 16 || available < 16)
            throw ToolError(where + ": box header cut short");
        h.form = SizeForm::Large;
        h.headerSize = 16;
        h.size = readBe64(p + 8);
    } else if (size32 == 0) {
        h.form = SizeForm::ToEnd;
        h.size = available;
    } else {
        h.size = size32;
    }
    if (h.size < h.headerSize || h.size > available)
        throw ToolError(where + ": box '" + fourccText(p + 4) + "' has an impossible size " + std::to_string(h.size));
    return h;
}

std::vector<Box> parseBoxes(std::string_view data, const std::string& where) { return parseLevel(data, where, 1); }

} // namespace qf::kit
