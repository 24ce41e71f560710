#pragma once
// The desktop shortcut of the options page: a desktop entry file
// ("<name>.desktop") lying directly in the user's desktop folder that starts
// the program. Nothing but the target is set: no arguments, no working
// folder, no description, no icon. Pure file work; any thread.

#include <string>

namespace qf::platform {

// The name the shortcut has always had on the desktop.
inline constexpr const char* kDesktopShortcutName = "Tarnwell3.5";

// "<desktopFolder>/<name>.desktop".
std::string desktopShortcutPath(const std::string& desktopFolder, const std::string& name = kDesktopShortcutName);

// The Exec value that starts `executable` with no arguments: the path quoted
// and escaped by the desktop entry rules (quoting, then the string escapes;
// "%" doubled as the field-code rules require).
std::string desktopExecValue(const std::string& executable);

// The whole file. Empty when the executable path or the name cannot be
// written into a desktop entry (not UTF-8, or holding control characters).
std::string desktopEntryText(const std::string& executable, const std::string& name = kDesktopShortcutName);

// Writes the shortcut into desktopFolder, replacing a file of the same name
// (the new file is written beside it and renamed over it, so a failure never
// leaves a cut file), and marks it executable, which desktops require before
// they start a desktop entry. The folder is never created. False, with
// *error saying why when given, when the folder or the executable is missing
// or the file cannot be written.
bool createDesktopShortcut(const std::string& desktopFolder, const std::string& executable,
                           std::string* error = nullptr, const std::string& name = kDesktopShortcutName);

} // namespace qf::platform
