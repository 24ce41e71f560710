// Arbitrary bytes as an MP4 file for the atom editor. The box tree parser
// must refuse them or give back a tree that serializes to exactly the same
// bytes; the editor must refuse the file or write an output whose top level
// parses again, one box per kept input box and inserted box.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "atom-editor/atom_editor.h"
#include "atom-editor/box_tree.h"
#include "common/file_bytes.h"
#include "common/tool_error.h"
#include "fuzz_files.h"

using namespace qf::kit;

namespace {

void checkRoundTrip(std::string_view bytes)
{
    std::vector<Box> boxes;
    try {
        boxes = parseBoxes(bytes, "fuzz");
    } catch (const ToolError&) {
        return;
    }
    std::string again;
    for (const Box& b : boxes)
        b.serialize(again);
    if (again != bytes)
        std::abort();

    for (Box& b : boxes)
        if (b.type == "moov") {
            uint64_t before = b.size();
            unsigned added = addEditLists(b);
            if (b.size() < before || (added == 0 && b.size() != before))
                std::abort();
        }
}

void checkEdit(const uint8_t* data, size_t size)
{
    static qf::fuzz::MemoryFile input("mp4");
    static const std::string output = qf::fuzz::scratchFolder() + "/edited.mp4";
    input.assign(data, size);

    AtomScript script;
    script.deleteTypes = {"free", "udta", "skip"};
    script.insertBoxes = {std::string("uuidQF\x01\x02", 8)};
    script.buildEdts = size % 2 == 0;
    EditReport report;
    try {
        report = editMp4(input.path(), output, script);
    } catch (const ToolError&) {
        return;
    }
    // Only moov was rebuilt; other top-level boxes are copied unread, so
    // only the top level of the output is walked.
    const std::string written = readWholeFile(output);
    std::vector<std::string> types;
    try {
        for (std::string_view rest = written; !rest.empty();) {
            BoxHeader h = checkedBoxHeader(rest, rest.size(), "edited");
            types.push_back(h.type);
            rest.remove_prefix(static_cast<size_t>(h.size));
        }
    } catch (const ToolError&) {
        std::abort();
    }
    if (types.empty() || types.front() != "uuid" || report.inserted != 1)
        std::abort();
    for (const std::string& t : types)
        if (t == "free" || t == "udta" || t == "skip")
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    checkRoundTrip(std::string_view(reinterpret_cast<const char*>(data), size));
    checkEdit(data, size);
    return 0;
}
