#pragma once
// LinkLabel: a one-line hyperlink (the output folder). As wide as its text,
// at most the maximum width. Underlined while hovered or pressed; the pressed
// colour while the left button is held. A left release inside calls the left
// action, or opens the target when there is none; a right release inside
// calls the right action. Actions get the parent window and the target.

#include <QWidget>

#include <functional>

#include "ui/notify/hover_tip_spec.h"

namespace qf::ui {

class LinkLabel : public QWidget {
    Q_OBJECT
public:
    using Action = std::function<void(QWidget* parent, const QString& target)>;

    LinkLabel(QPoint position, int maximumWidth, QWidget* parent, const QString& text, const QString& target,
              const QFont& font);

    // Colours as 0x00BBGGRR.
    void setColours(uint32_t background, uint32_t pressedText, uint32_t normalText);
    void setTextAndTarget(const QString& text, const QString& target);
    void setTooltip(const QString& text);
    void setLeftAction(Action action) { left_ = std::move(action); }
    void setRightAction(Action action) { right_ = std::move(action); }

    QString text() const { return text_; }
    QString target() const { return target_; }
    bool isHovered() const { return hover_; }
    bool isPressed() const { return pressed_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fitToText();
    void activate();

    QString text_;
    QString target_;
    int maximumWidth_;
    uint32_t background_;
    uint32_t pressedColour_ = 0xFFFF00;
    uint32_t normalColour_ = 0x00FFFF;
    bool hover_ = false;
    bool pressed_ = false;
    Action left_;
    Action right_;
    HoverTipSpec tip_;
};

} // namespace qf::ui
