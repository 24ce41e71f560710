#pragma once
// SkinButton: a push button drawn from a vertical image strip (normal, hover,
// pressed, disabled, each as tall as the button) or, without images, as a
// framed skin-coloured button. A sticky button that is selected draws pressed
// (the main window's tabs). Clicks reach the parent as clicked().

#include <QAbstractButton>
#include <QImage>

#include "ui/notify/hover_tip_spec.h"

namespace qf::ui {

class SkinButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit SkinButton(QWidget* parent = nullptr);
    SkinButton(const QString& text, QWidget* parent = nullptr);

    // Copies width x (height * stateCount) pixels at origin from source; the
    // source may be released afterwards.
    void setImages(const QImage& source, QPoint origin, QSize size, int stateCount, bool redrawNow = true);
    void setTooltip(const QString& text, bool above = false);
    // Colours as 0x00BBGGRR: normal (also disabled), hover, pressed.
    void setTextColours(uint32_t normal, uint32_t hover, uint32_t pressed);
    void setSticky(bool sticky) { sticky_ = sticky; }
    bool isSticky() const { return sticky_; }
    void select();
    void deselect();
    bool isSelected() const { return selected_; }
    bool isHovered() const { return hover_; }

    // The image row for a state: disabled 3, pressed or selected-sticky 2,
    // hover 1, else 0; a state the strip lacks falls back to row 0.
    static int imageRow(bool enabled, bool pressed, bool selectedSticky, bool hover, int stateCount);
    int currentRow() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QImage images_; // state count images stacked vertically
    QSize imageSize_;
    int stateCount_ = 0;
    uint32_t colours_[3];
    bool sticky_ = false;
    bool selected_ = false;
    bool hover_ = false;
    HoverTipSpec tip_;
};

} // namespace qf::ui
