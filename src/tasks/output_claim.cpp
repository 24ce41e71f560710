#include "tasks/output_claim.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "tasks/output_name.h"

namespace qf::tasks {

namespace {

constexpr char kOwnerFile[] = "owner";
// The first line of every owner file: a folder without it is not ours.
constexpr std::string_view kOwnerMagic = "quillfer work folder\n";
constexpr std::string_view kStagePrefix = ".quillfer-new-";
constexpr std::string_view kClaimSuffix = ".quillfer";
constexpr size_t kNameMax = 255;
constexpr int kMaxNumber = 100000;

// Work folders of this process. A lock taken through another descriptor of
// the same process is refused by flock on local disks, but network file
// systems emulate it with locks that belong to the process: this set keeps
// one task's cleanup off a sibling task's folder there.
std::mutex g_liveMutex;
std::set<std::string>& liveFolders()
{
    static std::set<std::string> folders;
    return folders;
}

bool isLive(const std::string& folder)
{
    const std::lock_guard<std::mutex> lock(g_liveMutex);
    return liveFolders().count(folder) != 0;
}

// True when the set changed (a name already there is someone else's).
bool setLive(const std::string& folder, bool live)
{
    const std::lock_guard<std::mutex> lock(g_liveMutex);
    if (live)
        return liveFolders().insert(folder).second;
    return liveFolders().erase(folder) != 0;
}

bool present(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string parentOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// 0 done, -1 refused (errno set), 1 the file system has no such rename.
int renameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    return errno == EINVAL || errno == ENOSYS ? 1 : -1;
}

bool moveFolderNoReplace(const std::string& from, const std::string& to)
{
    const int moved = renameNoReplace(from, to);
    if (moved <= 0)
        return moved == 0;
    // A plain rename onto a folder fails when that folder holds anything,
    // and a live claim always holds its owner file.
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool moveFileNoReplace(const std::string& from, const std::string& to)
{
    const int moved = renameNoReplace(from, to);
    if (moved <= 0)
        return moved == 0;
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST)
        return false;
    // Neither (some removable drives): the claim still keeps our own runs
    // off the name; only another program could slip in here.
    if (present(to)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool isTaken(int error) { return error == EEXIST || error == ENOTEMPTY; }

bool isWorkFolderName(std::string_view name)
{
    if (name.substr(0, kStagePrefix.size()) == kStagePrefix)
        return true;
    return name.size() > kClaimSuffix.size() + 1 && name[0] == '.'
        && name.substr(name.size() - kClaimSuffix.size()) == kClaimSuffix;
}

// Removes `folder` when its owner file is ours and unlocked; true if gone.
bool removeIfAbandoned(const std::string& folder)
{
    struct stat st {};
    if (isLive(folder) || ::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    const std::string owner = folder + "/" + kOwnerFile;
    const int fd = ::open(owner.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    bool abandoned = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Still the file under that name (another cleaner may have removed
        // it, and a new run made the folder again), and one of ours.
        struct stat held {};
        struct stat named {};
        char head[kOwnerMagic.size()];
        abandoned = ::fstat(fd, &held) == 0 && held.st_nlink > 0 && ::lstat(owner.c_str(), &named) == 0
            && held.st_ino == named.st_ino && held.st_dev == named.st_dev
            && ::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head)
            && std::string_view(head, sizeof head) == kOwnerMagic;
    }
    if (abandoned) {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    ::close(fd);
    return abandoned && !present(folder);
}

// A new work folder under a name no claim has, its owner file locked before
// the file has the name that others look for. Empty on failure (errno set).
std::string makeStage(const std::string& parent, int& lockFd)
{
    std::string stage = parent + "/" + std::string(kStagePrefix) + "XXXXXX";
    if (!::mkdtemp(stage.data()))
        return {};
    const std::string fresh = stage + "/owner.new";
    const int fd = ::open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int saved = errno;
        ::rmdir(stage.c_str());
        errno = saved;
        return {};
    }
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%.*spid %d\n", static_cast<int>(kOwnerMagic.size()),
                                     kOwnerMagic.data(), static_cast<int>(::getpid()));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::write(fd, text, static_cast<size_t>(length)) != length
        || ::rename(fresh.c_str(), (stage + "/" + kOwnerFile).c_str()) != 0) {
        const int saved = errno;
        ::close(fd);
        std::error_code error;
        std::filesystem::remove_all(stage, error);
        errno = saved;
        return {};
    }
    lockFd = fd;
    setLive(stage, true);
    return stage;
}

// Removes a work folder of ours that no claim came of, keeping errno.
void discardStage(const std::string& stage, int lockFd)
{
    const int saved = errno;
    std::error_code error;
    std::filesystem::remove_all(stage, error);
    setLive(stage, false);
    ::close(lockFd);
    errno = saved;
}

// Moves our folder to `to`; the live set knows both names meanwhile.
bool moveOwnFolder(const std::string& from, const std::string& to)
{
    // Another task of this process holds that name.
    if (!setLive(to, true)) {
        errno = EEXIST;
        return false;
    }
    if (moveFolderNoReplace(from, to)) {
        setLive(from, false);
        return true;
    }
    const int saved = errno;
    setLive(to, false);
    errno = saved;
    return false;
}

} // namespace

std::string claimFolderFor(const std::string& path)
{
    const std::string name = nameOf(path);
    std::string folder = "." + name + std::string(kClaimSuffix);
    if (folder.size() > kNameMax) {
        // FNV-1a: the same long name gives the same folder in every process.
        uint64_t hash = 1469598103934665603ull;
        for (unsigned char c : name)
            hash = (hash ^ c) * 1099511628211ull;
        char text[40];
        std::snprintf(text, sizeof text, ".quillfer-%016llx", static_cast<unsigned long long>(hash));
        folder = text + std::string(kClaimSuffix);
    }
    return parentOf(path) + "/" + folder;
}

std::unique_ptr<OutputClaim> OutputClaim::make(const std::string& wanted, const std::string& numberFrom, bool replace)
{
    int fd = -1;
    const std::string stage = makeStage(parentOf(wanted), fd);
    if (stage.empty())
        return nullptr;
    auto made = [&](std::string finalPath, std::string folder) {
        return std::unique_ptr<OutputClaim>(
            new OutputClaim(std::move(finalPath), numberFrom, std::move(folder), fd, replace));
    };
    for (int n = 0; n <= kMaxNumber; ++n) {
        if (n == 1 && numberFrom == wanted)
            continue;
        const std::string candidate = n == 0 ? wanted : n == 1 ? numberFrom : numberedPath(numberFrom, n).c_str();
        if (!replace && present(candidate))
            continue;
        const std::string claim = claimFolderFor(candidate);
        bool moved = moveOwnFolder(stage, claim);
        int error = moved ? 0 : errno;
        if (!moved && isTaken(error) && removeIfAbandoned(claim)) {
            moved = moveOwnFolder(stage, claim);
            error = moved ? 0 : errno;
        }
        if (!moved) {
            if (replace && isTaken(error))
                return made(candidate, stage); // another run writes it over too: the last one wins
            if (isTaken(error))
                continue;
            errno = error;
            discardStage(stage, fd);
            return nullptr;
        }
        // Published by another program between the look and the claim.
        if (!replace && present(candidate)) {
            if (moveOwnFolder(claim, stage))
                continue;
            return made(candidate, claim); // publish() finds the next free name
        }
        return made(candidate, claim);
    }
    errno = EEXIST;
    discardStage(stage, fd);
    return nullptr;
}

OutputClaim::OutputClaim(std::string finalPath, std::string numberFrom, std::string folder, int lockFd, bool replace)
    : finalPath_(std::move(finalPath)), numberFrom_(std::move(numberFrom)), folder_(std::move(folder)), lockFd_(lockFd),
      replace_(replace)
{}

// The work folder where it is now: the output folder may have been moved
// under the run, and the kernel follows the owner file we hold open. Empty
// when it was removed: a folder of that name now would be someone else's.
static std::string folderNow(int lockFd, const std::string& folder)
{
    char link[4096];
    const std::string proc = "/proc/self/fd/" + std::to_string(lockFd);
    const ssize_t n = ::readlink(proc.c_str(), link, sizeof link);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof link)
        return folder;
    const std::string_view owner(link, static_cast<size_t>(n));
    const std::string_view ownFile = "/owner";
    if (!owner.ends_with(ownFile))
        return {}; // " (deleted)"
    const std::string_view now = owner.substr(0, owner.size() - ownFile.size());
    const size_t slash = now.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? now : now.substr(slash + 1);
    // Only ever one of our own folders.
    if (!name.starts_with(".") || !(name.ends_with(kClaimSuffix) || name.starts_with(kStagePrefix)))
        return folder;
    return std::string(now);
}

OutputClaim::~OutputClaim()
{
    std::error_code error;
    const std::string now = folderNow(lockFd_, folder_);
    if (!now.empty())
        std::filesystem::remove_all(now, error);
    setLive(folder_, false);
    ::close(lockFd_);
}

std::string OutputClaim::workPath() const { return folder_ + "/" + nameOf(finalPath_); }

bool OutputClaim::publish()
{
    const std::string from = workPath();
    if (replace_)
        return ::rename(from.c_str(), finalPath_.c_str()) == 0;
    const std::string wanted = finalPath_;
    for (int n = 0; n <= kMaxNumber; ++n) {
        const std::string target = n == 0 ? wanted : n == 1 ? numberFrom_ : numberedPath(numberFrom_, n).c_str();
        // A name another run holds is that run's, even before it has a file.
        if (n > 0 && (target == wanted || present(target) || present(claimFolderFor(target))))
            continue;
        if (moveFileNoReplace(from, target)) {
            finalPath_ = target;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    errno = EEXIST;
    return false;
}

void removeAbandonedWork(const std::string& folder)
{
    std::error_code error;
    std::vector<std::string> candidates;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (isWorkFolderName(name))
            candidates.push_back(entry.path().string());
    }
    for (const std::string& candidate : candidates)
        removeIfAbandoned(candidate);
}

} // namespace qf::tasks
