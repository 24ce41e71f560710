#include "ui/shell/qt_shell.h"

#include <QWidget>

#include <cmath>
#include <cstdlib>

#include "core/readable_text.h"
#include "core/window_fade.h"

namespace qf::ui {

QString toQ(const char* text) { return text ? toQ(std::string_view(text)) : QString(); }

// Bytes that are not UTF-8 (a GBK file name) are shown readably.
QString toQ(std::string_view text)
{
    if (core::isValidUtf8(text))
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return QString::fromStdString(core::readableText(text));
}

QString toQ(const core::TextString& text) { return toQ(text.view()); }

std::string fromQ(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

core::TextString toText(const QString& text) { return core::TextString(text.toUtf8().constData()); }

QString chooseGuiPlatform()
{
    // Window contents go to the X server by plain requests, not shared-memory
    // segments: the server hands each segment over as a descriptor, and one
    // that fails to arrive (seen on loaded machines, at any moment) ends the
    // display connection and the program. Our pictures are small; the video
    // is drawn by the player. Qt reads the variable when it connects.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", QByteArrayLiteral("1"));
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    if (!chosen.isEmpty())
        return QString::fromUtf8(chosen);
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
    return QStringLiteral("xcb");
}

namespace {

QWidget* widgetOf(core::WindowHandle window) { return static_cast<QWidget*>(window); }

void qtMakeLayered(core::WindowHandle) {}

void qtSetAlpha(core::WindowHandle window, uint8_t alpha)
{
    if (QWidget* w = widgetOf(window))
        w->setWindowOpacity(alpha / 255.0);
}

bool qtGetAlpha(core::WindowHandle window, uint8_t* alpha)
{
    QWidget* w = widgetOf(window);
    if (!w || !alpha)
        return false;
    *alpha = static_cast<uint8_t>(std::lround(w->windowOpacity() * 255.0));
    return true;
}

} // namespace

bool bindQtLayered()
{
    static const core::LayeredBackend backend{qtMakeLayered, qtSetAlpha, qtGetAlpha};
    return core::bindLayered(&backend);
}

} // namespace qf::ui
