#include "core/program_directory.h"

#include <unistd.h>

#include "core/external_programs.h"
#include "core/file_system.h"

namespace qf::core {

bool SystemProgramLocator::executablePath(TextString& out)
{
    char* buffer = out.reserve(1024);
    const ssize_t n = ::readlink("/proc/self/exe", buffer, 1023);
    if (n <= 0 || n >= 1023) {
        out.clear();
        return false;
    }
    buffer[n] = 0;
    return true;
}

bool SystemProgramLocator::firstArgument(TextString& out)
{
    if (argc_ < 1 || !argv_ || !argv_[0])
        return false;
    out.assign(argv_[0]);
    return true;
}

bool SystemProgramLocator::workingDirectory(TextString& out)
{
    char* buffer = out.reserve(1024);
    if (!::getcwd(buffer, 1024)) {
        out.clear();
        return false;
    }
    return true;
}

bool findProgramDirectory(ProgramLocator& locator, ProgramLocation& out)
{
    TextString& exe = out.executablePath;
    TextString& dir = out.programDirectory;
    if (!locator.executablePath(exe)) {
        if (locator.firstArgument(exe)) {
            if (!fs::isFile(exe.c_str()))
                return false;
        } else {
            if (!locator.workingDirectory(dir))
                return false;
            dir.replaceAll("\\", "/");
            dir.trimRight('/');
            exe = TextString::concat(dir.c_str(), "/Quillfer.exe");
            return true;
        }
    }
    exe.replaceAll("\\", "/");
    exe.trimRight('/');
    const int32_t slash = exe.findLast('/');
    if (slash < 0)
        return false;
    dir.assignBytes(exe.c_str(), uint32_t(slash));
    return true;
}

void ToolPaths::build(const char* dir)
{
    auto quoted = [dir](TextString& entry, const char* name) { entry.format("\"%s/%s\"", dir, name); };
    quoted(encoderPath, external::kEncoderFile);
    quoted(frameRateProbePath, external::kFrameRateProbeFile);
    quoted(mp4MuxerPath, external::kMp4MuxerFile);
    quoted(pmpMuxerPath, external::kPmpMuxerFile);
    quoted(atomEditorPath, external::kAtomEditorFile);
    quoted(atomScriptArg, external::kAtomScriptFile);
    atomScriptFile.format("%s/%s", dir, external::kAtomScriptFile);
    quoted(playerPath, external::kPlayerFile);
}

void ToolPaths::placeAtomScript(const char* folder)
{
    atomScriptArg.format("\"%s/%s\"", folder, external::kAtomScriptFile);
    atomScriptFile.format("%s/%s", folder, external::kAtomScriptFile);
}

ProgramLocation& programLocation()
{
    static ProgramLocation location;
    return location;
}

ToolPaths& toolPaths()
{
    static ToolPaths paths;
    return paths;
}

} // namespace qf::core
