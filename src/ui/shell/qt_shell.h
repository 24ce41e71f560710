#pragma once
// The boundary between the system's 8-bit text and Qt, and the start-up steps
// that the GUI takes before and right after it makes its QApplication.
// UI thread only, except toQ/fromQ, which are pure.

#include <QString>

#include <string>
#include <string_view>

#include "core/text_string.h"

namespace qf::ui {

// The system's text is the platform's narrow encoding: UTF-8 here. Convert
// only where a string enters or leaves Qt. toQ shows bytes that are not
// UTF-8 readably (lossy); file paths enter Qt through local_path.h instead.
QString toQ(const char* text);
QString toQ(std::string_view text);
QString toQ(const core::TextString& text);
std::string fromQ(const QString& text);
core::TextString toText(const QString& text);

// Call before constructing QApplication. The player embeds by X11 window id,
// so the GUI runs on xcb; an explicit QT_QPA_PLATFORM (the tests use
// "offscreen") is left alone; X shared memory is turned off unless the
// environment says otherwise. Returns the platform name that will be used.
QString chooseGuiPlatform();

// Binds the engine's layered-window functions to QWidget opacity, so that
// core::WindowFade fades Qt windows. The window handle is a QWidget*.
// Returns false only if the engine refused the backend.
bool bindQtLayered();

} // namespace qf::ui
