#pragma once
// SmallButton: a 16 x 16 image button of the toolbars. The images form a
// grid: column 0 normal, column 1 hover or pressed; in toggle mode one row
// per state (row 0 = state 1 "on", row 1 = state 0 "off"). A toggle flips
// its state on release, before clicked() reaches the parent.

#include <QAbstractButton>
#include <QImage>

#include "ui/notify/hover_tip_spec.h"

namespace qf::ui {

class SmallButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit SmallButton(QWidget* parent = nullptr);

    // The grid at origin: 2 columns of cell size, stateCount rows.
    void setImages(const QImage& source, QPoint origin, QSize cell, int stateCount, bool redrawNow = true);
    void setTooltip(const QString& text, bool above = false);
    void setToggleMode(bool toggle) { setCheckable(toggle); }
    bool toggleMode() const { return isCheckable(); }
    void setState(int state) { setChecked(state != 0); }
    int state() const { return isChecked() ? 1 : 0; }
    bool isHovered() const { return hover_; }

    // Grid cell for a look: (column, row).
    static QPoint imageCell(bool hoverOrPressed, bool toggle, int state, int stateCount);

    QSize sizeHint() const override { return QSize(18, 18); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QImage images_;
    QSize cell_;
    int stateCount_ = 1;
    bool hover_ = false;
    HoverTipSpec tip_;
};

} // namespace qf::ui
