// MP4 atom editor: `atom-editor IN.mp4 OUT.mp4 SCRIPT.ini` writes OUT as IN
// edited by the script (see atom_script.h), then prints one summary line.

#include "atom_editor.h"
#include "common/file_bytes.h"
#include "common/tool_error.h"
#include "common/tool_main.h"

#include <cstdio>

int main(int argc, char** argv)
{
    return qf::kit::runToolMain("atom-editor", [&] {
        if (argc != 4 || !*argv[1] || !*argv[2] || !*argv[3])
            throw qf::kit::UsageError{"atom-editor INPUT.mp4 OUTPUT.mp4 SCRIPT.ini"};
        std::string text = qf::kit::readWholeFile(argv[3]);
        qf::kit::AtomScript script;
        try {
            script = qf::kit::parseAtomScript(text);
        } catch (const qf::kit::ToolError& e) {
            throw qf::kit::ToolError(std::string(argv[3]) + ": " + e.what());
        }
        qf::kit::EditReport r = qf::kit::editMp4(argv[1], argv[2], script);
        std::printf("%u boxes deleted, %u inserted, %u edit lists added, %u chunk offsets moved\n", r.deleted,
                    r.inserted, r.editListsAdded, r.offsetsChanged);
    });
}
