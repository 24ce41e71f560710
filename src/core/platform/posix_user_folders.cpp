#include "core/platform/user_folders.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace qf::platform {

namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string trimmedTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Reads KEY="$HOME/Folder" from user-dirs.dirs; empty when absent.
std::string userDir(const char* key)
{
    std::ifstream in(configFolder() + "/user-dirs.dirs");
    std::string line;
    const std::string prefix = std::string(key) + "=";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) != 0)
            continue;
        std::string value = line.substr(prefix.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = homeFolder() + value.substr(5);
        else if (value.empty() || value[0] != '/')
            continue;
        value = trimmedTrailingSlashes(value);
        // A folder set to the home folder itself means "none" in XDG terms.
        if (value == trimmedTrailingSlashes(homeFolder()))
            return {};
        return value;
    }
    return {};
}

} // namespace

std::string homeFolder()
{
    std::string home = env("HOME");
    if (!home.empty())
        return trimmedTrailingSlashes(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return trimmedTrailingSlashes(pw->pw_dir);
    return "/tmp";
}

std::string configFolder()
{
    std::string dir = env("XDG_CONFIG_HOME");
    if (!dir.empty() && dir[0] == '/')
        return trimmedTrailingSlashes(dir);
    return homeFolder() + "/.config";
}

std::string documentsFolder()
{
    std::string dir = userDir("XDG_DOCUMENTS_DIR");
    return dir.empty() ? homeFolder() + "/Documents" : dir;
}

std::string desktopFolder()
{
    std::string dir = userDir("XDG_DESKTOP_DIR");
    return dir.empty() ? homeFolder() + "/Desktop" : dir;
}

} // namespace qf::platform
