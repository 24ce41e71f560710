#include "tasks/scratch_folder.h"

#include <cstdlib>

#include "core/file_system.h"

namespace qf::tasks {

ScratchFolder::ScratchFolder(const char* outputPath)
{
    const char* tmp = std::getenv("TMPDIR");
    path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillfer-task-XXXXXX";
    if (::mkdtemp(path_.data()))
        return;
    path_ = std::string(core::fs::directoryPart(outputPath).c_str()) + "/.quillfer-task-XXXXXX";
    if (!::mkdtemp(path_.data()))
        path_.clear();
}

ScratchFolder::~ScratchFolder()
{
    if (!path_.empty())
        core::fs::removePath(path_.c_str());
}

} // namespace qf::tasks
