#pragma once
// Showing the user's files in their file manager: a finished output with the
// file selected, or a folder. The desktop's file-manager interface
// (org.freedesktop.FileManager1 on the session bus) is asked first; where it
// is missing or refuses, the folder is handed to the desktop's opener
// program. A missing folder, or no way at all to show it, gets a message box
// on the parent instead of silence. UI thread only; nothing here blocks: the
// bus call and the opener are watched from the event loop.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace qf::ui {

// The texts of the message box (the path follows on the next line).
inline constexpr const char* kFolderMissingText = "找不到这个文件夹:";
inline constexpr const char* kNoFileManagerText = "没有找到可以打开文件夹的文件管理器:";

struct FileManagerAccess {
    // Asks the file-manager interface to run a method ("ShowItems": these
    // files selected in their folders; "ShowFolders": these folders) on file
    // URLs; calls done(true) once it has accepted, done(false) when it is
    // missing or failed. Null: the interface is never asked.
    std::function<void(const QString& method, const QStringList& urls, std::function<void(bool)> done)> showItems;
    // Opener programs tried in order, each with its arguments; the folder is
    // appended. The first that can be started is used; a non-zero exit of it
    // counts as a failure.
    QList<QStringList> openers;
};

// The session bus interface and "xdg-open", then "gio open".
FileManagerAccess defaultFileManagerAccess();
// Tests replace the access (an empty one restores the default).
void setFileManagerAccess(FileManagerAccess access);

// Shows the file selected in its folder; a file that is gone shows its
// folder. False (after the message) when the folder is missing. The file may
// be carried with its exact bytes (pathToQ of local_path.h).
bool revealFile(QWidget* parent, const QString& file);
// Opens the folder. False (after the message) when it is missing.
bool openFolder(QWidget* parent, const QString& folder);

} // namespace qf::ui
