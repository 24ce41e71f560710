// Arbitrary bytes as an atom-edit script: refused with a ToolError naming
// the line, or read into box types of four bytes and boxes with a type.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "atom-editor/atom_script.h"
#include "common/tool_error.h"

using namespace qf::kit;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        AtomScript script = parseAtomScript(text);
        for (const std::string& type : script.deleteTypes)
            if (type.size() != 4)
                std::abort();
        for (const std::string& box : script.insertBoxes)
            if (box.size() < 4)
                std::abort();
    } catch (const ToolError& e) {
        if (std::string_view(e.what()).substr(0, 12) != "script line ")
            std::abort();
    }
    try {
        // Decoding only ever shortens the text.
        std::string decoded = decodePercent(text);
        if (decoded.size() > size)
            std::abort();
    } catch (const ToolError&) {}
    return 0;
}
