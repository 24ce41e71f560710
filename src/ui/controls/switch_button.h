#pragma once
// SwitchButton: the small on/off switch beside a slider. On a left press (or
// Space), if toggling is enabled, it flips its state and posts
// WM_SWITCH_NOTIFY to its parent: wParam = the new state (0/1), lParam = the
// control.

#include <QWidget>

namespace qf::ui {

class SwitchButton : public QWidget {
    Q_OBJECT
public:
    explicit SwitchButton(QWidget* parent = nullptr);

    void setState(bool on);
    bool state() const { return on_; }
    void setToggleEnabled(bool enabled) { toggleEnabled_ = enabled; }
    bool toggleEnabled() const { return toggleEnabled_; }

    QSize sizeHint() const override { return QSize(14, 14); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void flip();

    bool on_ = false;
    bool toggleEnabled_ = true;
};

} // namespace qf::ui
