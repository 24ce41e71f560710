#pragma once
// SkinCheckBox: a framed check box with a caption (options panel, message
// box). A left release inside an enabled box toggles it; in radio mode a
// click only ever sets it.

#include <QAbstractButton>

#include "ui/notify/hover_tip_spec.h"

namespace qf::ui {

class SkinCheckBox : public QAbstractButton {
    Q_OBJECT
public:
    explicit SkinCheckBox(const QString& text = QString(), QWidget* parent = nullptr);

    void setRadioMode(bool radio) { radio_ = radio; }
    void setTooltip(const QString& text, bool above = false);
    bool isHovered() const { return hover_; }

    // The caption's colour (0x00BBGGRR) for a look.
    static uint32_t captionColour(bool enabled, bool pressed, bool hover);
    // Where the box goes in a control of this size (the check image plus 2).
    static QRect boxRect(QSize control, QSize checkImage);

    QSize sizeHint() const override;
    // The font the caption is drawn in within `width` pixels: the control's
    // font, or the same narrowed by up to a tenth when that makes it fit
    // (one pixel smaller where the font is drawn from its bitmaps).
    static QFont fittedCaptionFont(const QFont& font, const QString& text, int width);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void nextCheckState() override;

private:
    bool radio_ = false;
    bool hover_ = false;
    HoverTipSpec tip_;
};

} // namespace qf::ui
