#pragma once
// SkinComboBox: a drop-down list drawn on the skin: rounded frame, a drop
// button whose gradient runs one way while the list is closed and the other
// way while it is dropped, rows 16 pixels high in the small font. Row 0 is
// selected whenever rows exist and none is.

#include <QComboBox>

namespace qf::ui {

class SkinComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit SkinComboBox(QWidget* parent = nullptr);

    bool isDropped() const { return dropped_; }
    // The drop button's rectangle in a control of this size.
    static QRect dropButtonRect(QSize control);

    void showPopup() override;
    void hidePopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ensureSelection();

    bool dropped_ = false;
};

} // namespace qf::ui
