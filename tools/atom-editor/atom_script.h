#pragma once
// The atom-edit script: an ini text with [Config], [DeleteAtom] and
// [InsertAtom] sections. Lines may end in CR LF; ';' and '#' start comments.
//
//   [Config]      Title=..., MQV=n, CODEC=n (recorded, no effect),
//                 Build_edts=0|1 (give every track an edit list)
//   [DeleteAtom]  ItemN=TYPE   four-character box type, removed at the top
//                              level and among the children of 'moov'
//   [InsertAtom]  ItemN=BYTES  box type then payload, %XX = one byte; the
//                              box (4-byte big-endian size prepended) goes to
//                              the start of the file, items in N order
//
// Unknown [Config] keys and unknown sections are ignored (later versions may
// add them); anything else that is not understood is an error, because a
// misread editing script would silently damage the output.

#include <string>
#include <string_view>
#include <vector>

namespace qf::kit {

struct AtomScript {
    std::string title;
    int mqv = -1; // -1: not given
    int codec = -1;
    bool buildEdts = false;
    std::vector<std::string> deleteTypes; // 4 bytes each
    std::vector<std::string> insertBoxes; // type + payload, without size
};

// Throws ToolError naming the line that is wrong.
AtomScript parseAtomScript(std::string_view text);

// Decodes %XX escapes; throws ToolError on a malformed escape.
std::string decodePercent(std::string_view text);

} // namespace qf::kit
