#pragma once
// The two floating tip windows: the hover tip that skinned controls show when
// the mouse enters them, and the information popup of the task list. Each is
// a single process-wide instance; showing one replaces the previous one.
// Both fade in through core::WindowFade (bindQtLayered() must have run for
// the fade; without it they simply appear). UI thread only.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <QBasicTimer>

namespace qf::ui {

// Placement arithmetic, pure. Rectangles are screen coordinates.
// The size of a tip whose text measures textSize in the 11-point font.
QSize tipSizeForText(QSize textSize);
QSize tipSizeFor(const QString& text);
// Hover tip: centred on the owner (or on the cursor's x), above or below it
// with an 8-pixel gap, then pulled horizontally inside the main window less
// 10 pixels on each side. Vertical position is never corrected.
QPoint hoverTipPosition(QSize tip, const QRect& owner, bool above, bool atCursor, QPoint cursor,
                        const QRect& mainWindow);
// Information popup: left of the cursor (or at it when that would be
// negative), at the cursor's height, raised so that its bottom stays 60
// pixels above the bottom of the screen.
QPoint infoPopupPosition(QSize popup, QPoint cursor, int screenHeight);

// Tips follow the user's "show floating tips" option (settings::current().showFloatingTips()).
void setFloatingTipsEnabled(bool enabled);
bool floatingTipsEnabled();
// The window whose rectangle bounds hover tips; by default the owner's
// top-level window.
void setTipMainWindow(QWidget* mainWindow);

void showHoverTip(QWidget* owner, const QString& text, bool above, bool atCursor);
void hideHoverTip();
// Moves the hover tip now shown to hang below the pointer (global), centred
// on it and kept inside the main window, as the tip of a list row follows
// the pointer along its row.
void moveHoverTipBelow(QPoint pointer);
void showInfoPopup(QWidget* owner, const QString& text);

class FloatingTip;
// The instances now shown (or fading in), for the windows that need to know
// and for tests; null when there is none.
FloatingTip* currentHoverTip();
FloatingTip* currentInfoPopup();

class FloatingTip final : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Hover, Popup };

    FloatingTip(Kind kind, QWidget* owner, const QString& text);
    ~FloatingTip() override;

    Kind kind() const { return kind_; }
    QString text() const { return text_; }
    bool fading() const { return fadeTimer_.isActive(); }
    // Advances the fade by one step, as the 20 ms timer does.
    void stepFade();

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void startFade();

    Kind kind_;
    QString text_;
    QBasicTimer fadeTimer_;
    QPoint dragOffset_;
    bool dragging_ = false;
};

} // namespace qf::ui
