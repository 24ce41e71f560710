#pragma once
// OutputClaim: a task's hold on its output name and the folder it works in.
//
// Nothing appears under an output's name before the output is complete. A
// run works in a hidden folder of its own beside the output (".<name>.quillfer",
// or ".quillfer-new-XXXXXX" while it is being made): the programs write their
// output, intermediates, logs and scripts there, and publish() moves the
// finished file to its name with a rename that never replaces what stands
// there. The folder holding the name is the claim: two runs, in one process
// or in many, never work towards the same name.
//
// The folder's "owner" file is locked (flock) for as long as the claim lives;
// the kernel lets go of it when the process ends in any way, SIGKILL
// included. removeAbandonedWork() takes what is left of runs whose lock is
// free; it never touches a folder whose owner still runs, nor anything but
// these folders.
//
// Threads: one object belongs to one thread; distinct objects may live on
// distinct threads (the CLI runs several tasks at once).

#include <memory>
#include <string>

namespace qf::tasks {

class OutputClaim {
public:
    // Claims `wanted` in its folder, which must exist; when another file or
    // claim holds it, the first free one of numberFrom, numberFrom " (2)"...
    // (replace: `wanted` itself, written over at publish()). Null, with
    // errno set, when nothing can be made there.
    static std::unique_ptr<OutputClaim> make(const std::string& wanted, const std::string& numberFrom, bool replace);

    // Removes the work folder with everything in it and lets go of the name.
    ~OutputClaim();
    OutputClaim(const OutputClaim&) = delete;
    OutputClaim& operator=(const OutputClaim&) = delete;

    // The name the output gets (changed by publish() when someone else put a
    // file there in the meantime).
    const std::string& finalPath() const { return finalPath_; }
    // The private folder, and the path the programs write the output to.
    const std::string& folder() const { return folder_; }
    std::string workPath() const;

    // Moves the finished file from workPath() to finalPath(), never over a
    // file that stands there (unless replacing): the next free name of
    // numberFrom then.
    // False with errno set when it cannot be moved.
    bool publish();

private:
    OutputClaim(std::string finalPath, std::string numberFrom, std::string folder, int lockFd, bool replace);

    std::string finalPath_;
    std::string numberFrom_;
    std::string folder_;
    int lockFd_;
    bool replace_;
};

// Removes, in `folder`, the work folders of runs whose process has ended.
void removeAbandonedWork(const std::string& folder);

// The hidden work folder that holds the claim of `path`.
std::string claimFolderFor(const std::string& path);

} // namespace qf::tasks
