// The running task's output folder, known by its device and inode: removed
// or renamed under a run, it fails the run at once (rather than at its last
// rename), and what the run wrote into it is cleaned wherever it went.

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "core/file_system.h"
#include "tasks/conversion_worker.h"

namespace qf::tasks {

void ConversionWorker::holdOutputFolder(const char* folder)
{
    releaseOutputFolder();
    outputFolderFd_ = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void ConversionWorker::releaseOutputFolder()
{
    if (outputFolderFd_ >= 0)
        ::close(outputFolderFd_);
    outputFolderFd_ = -1;
}

bool ConversionWorker::outputFolderMoved(const ConversionTask& task) const
{
    if (outputFolderFd_ < 0)
        return false;
    struct stat held {};
    struct stat named {};
    if (::fstat(outputFolderFd_, &held) != 0)
        return false;
    const core::TextString folder = core::fs::directoryPart(task.outputPath.c_str());
    return ::stat(folder.c_str(), &named) != 0 || named.st_dev != held.st_dev || named.st_ino != held.st_ino;
}

} // namespace qf::tasks
