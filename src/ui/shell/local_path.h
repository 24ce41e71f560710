#pragma once
// File names on their way into the window. A Linux name is bytes and need
// not be UTF-8 (GBK names from Windows archives); Qt decodes names as UTF-8
// and turns the other bytes into U+FFFD, after which the file cannot be
// reached. Paths are therefore carried in a QString losslessly: each byte
// that breaks UTF-8 becomes the lone surrogate U+DC80 + (byte - 0x80), which
// no decoded text holds, and is turned back into that byte at the end.
// Such a QString is a carrier, not a text to show (toQ of the bytes is).
// Pure functions apart from the directory reads of localPathBytes; any thread.

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

class QMimeData;

namespace qf::ui {

// The bytes carried losslessly in a QString.
QString pathToQ(std::string_view bytes);

// The exact bytes of a path from the window: carried bytes come back as
// they were. A name that Qt has already decoded lossily (an open dialog, a
// command line) and that names nothing is looked up in its folder: the one
// entry that Qt would decode to the same text is taken.
std::string localPathBytes(const QString& path);

// The local files of a drop, each with its exact bytes (read from the
// percent-encoded list of addresses, not from Qt's decoded URLs).
QStringList localPathsOf(const QMimeData* mime);

} // namespace qf::ui
