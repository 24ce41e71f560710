#pragma once
// The program directory and the paths of the external programs. Set once on
// the UI thread at start-up; read-only afterwards, from any thread.

#include "core/text_string.h"

namespace qf::core {

// How the platform answers the questions of finding the program directory;
// tests replace it.
struct ProgramLocator {
    virtual ~ProgramLocator() = default;
    // The full path of the running executable; false when the platform cannot tell.
    virtual bool executablePath(TextString& out) = 0;
    // The first element of the argument vector; false when there is none.
    virtual bool firstArgument(TextString& out) = 0;
    // The current working directory; false when it cannot be had.
    virtual bool workingDirectory(TextString& out) = 0;
};

// The platform's answers: /proc/self/exe, the argv[0] given to setArguments(),
// getcwd().
class SystemProgramLocator final : public ProgramLocator {
public:
    SystemProgramLocator(int argc, char** argv) : argc_(argc), argv_(argv) {}
    bool executablePath(TextString& out) override;
    bool firstArgument(TextString& out) override;
    bool workingDirectory(TextString& out) override;

private:
    int argc_;
    char** argv_;
};

struct ProgramLocation {
    TextString executablePath{1023}; // slash-separated
    TextString programDirectory{1023}; // slash-separated, no trailing slash
};

// Executable path first, then the first argument (which must name an existing
// file that is not a directory), then the working directory (with the
// executable taken to be "<dir>/Quillfer.exe"). False when none serves.
bool findProgramDirectory(ProgramLocator& locator, ProgramLocation& out);

// The quoted (and, for the script, plain) locations of the external programs,
// all derived from the program directory.
struct ToolPaths {
    TextString encoderPath;
    TextString frameRateProbePath;
    TextString mp4MuxerPath;
    TextString pmpMuxerPath;
    TextString atomEditorPath;
    TextString atomScriptArg;
    TextString atomScriptFile;
    TextString playerPath;

    void build(const char* programDirectory);
    // Moves both atom-script entries into `folder` (no trailing slash), the
    // private scratch folder of one task: the program directory may be
    // read-only, and two tasks (or two programs) must never share a script.
    void placeAtomScript(const char* folder);
};

// The process-wide values; filled by start-up.
ProgramLocation& programLocation();
ToolPaths& toolPaths();
inline const char* programDirectory() { return programLocation().programDirectory.c_str(); }

} // namespace qf::core
