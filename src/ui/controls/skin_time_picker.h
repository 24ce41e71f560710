#pragma once
// SkinTimePicker: a time of day in " HH:mm:ss" with a check box in front
// (unticked means "no time") and SkinSpin arrows at the right, all in the
// small font. It starts at 2009-01-01 00:00:00; only the time matters.
// Keyboard: the picker is one Tab stop (its field); Space ticks the box,
// Left and Right move between the fields, Up and Down change one.

#include <QDateTime>
#include <QWidget>

class QTimeEdit;

namespace qf::ui {

// Two stacked arrows that step the picker's current field.
class SkinSpin : public QWidget {
    Q_OBJECT
public:
    explicit SkinSpin(QWidget* parent = nullptr);
    // -1 none, 0 up, 1 down.
    int pressedArrow() const { return pressed_; }

Q_SIGNALS:
    void stepRequested(int steps);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int pressed_ = -1;
};

class SkinTimePicker : public QWidget {
    Q_OBJECT
public:
    explicit SkinTimePicker(QWidget* parent = nullptr);

    // From "hh:mm:ss": a text that is not a valid time sets 00:00:00 and
    // clears the check box; a valid time is set and ticks the box unless it
    // is 00:00:00.
    void setFromText(const char* text);
    // The time as "HH:MM:SS".
    QString timeText() const;
    QDateTime dateTime() const;
    int seconds() const;
    bool isChecked() const { return checked_; }
    void setChecked(bool checked);
    void setTime(int hours, int minutes, int seconds);

    SkinSpin* spin() const { return spin_; }
    QTimeEdit* editor() const { return edit_; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect checkRect() const;
    // The field follows the check box: editable and black when ticked.
    void showChecked();

    QTimeEdit* edit_;
    SkinSpin* spin_;
    QDate date_;
    bool checked_ = false;
};

} // namespace qf::ui
