#pragma once
// The user's folders, from the XDG user-directory settings
// ($XDG_CONFIG_HOME/user-dirs.dirs), with the usual fallbacks under $HOME.

#include <string>

namespace qf::platform {

std::string homeFolder(); // $HOME, else the password database, else "/tmp"
std::string documentsFolder(); // XDG_DOCUMENTS_DIR, else ~/Documents
std::string desktopFolder(); // XDG_DESKTOP_DIR, else ~/Desktop
std::string configFolder(); // $XDG_CONFIG_HOME, else ~/.config

} // namespace qf::platform
