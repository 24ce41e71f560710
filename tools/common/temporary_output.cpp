#include "common/temporary_output.h"

#include "common/tool_error.h"

#include <cerrno>
#include <sys/stat.h>

namespace qf::kit {

TemporaryOutput::TemporaryOutput(std::string finalPath, std::nothrow_t) : file_(std::move(finalPath))
{
    // A directory under the name would only show up at the rename, after
    // all the work.
    struct stat st {};
    if (file_.path().empty())
        refuse("no output file given", EINVAL);
    else if (::stat(file_.path().c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        refuse("cannot write " + file_.path() + ": it is a directory", EISDIR);
    installStopHandlers(StopAction::Die);
    tempPath_ = file_.temporaryPath();
    removal_ = RemovedOnStop(tempPath_);
}

void TemporaryOutput::refuse(std::string why, int code)
{
    file_.discard();
    error_ = std::move(why);
    errorCode_ = code;
}

TemporaryOutput::TemporaryOutput(std::string finalPath) : TemporaryOutput(std::move(finalPath), std::nothrow)
{
    if (!isOpen())
        throw ToolError(error());
}

std::FILE* TemporaryOutput::file()
{
    if (!file_.stream())
        throw ToolError("internal error: output file already closed");
    return file_.stream();
}

bool TemporaryOutput::commit(std::nothrow_t)
{
    const bool committed = file_.commit();
    removal_.release();
    return committed;
}

void TemporaryOutput::commit()
{
    if (!commit(std::nothrow))
        throw ToolError(error());
}

} // namespace qf::kit
