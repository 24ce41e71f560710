#pragma once
// Small helpers for driving widgets without a real pointer.
#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QWidget>

#include <vector>

#include "ui/skin/sounds.h"

namespace qf::ui::test {

inline void enter(QWidget* w)
{
    QEnterEvent e(QPointF(1, 1), QPointF(1, 1), QPointF(w->mapToGlobal(QPoint(1, 1))));
    QApplication::sendEvent(w, &e);
}

inline void leave(QWidget* w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

inline void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline void click(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    mouse(w, QEvent::MouseButtonPress, at, button);
    mouse(w, QEvent::MouseButtonRelease, at, button);
}

// Records the sounds played while it lives.
class SoundLog {
public:
    SoundLog()
    {
        setSoundRecorder([this](Sound s) { played.push_back(s); });
    }
    ~SoundLog()
    {
        setSoundRecorder([](Sound) {});
    }
    std::vector<Sound> played;
};

inline QColor pixel(QWidget* w, int x, int y) { return w->grab().toImage().pixelColor(x, y); }

} // namespace qf::ui::test
