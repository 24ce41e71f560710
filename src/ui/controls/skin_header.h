#pragma once
// SkinHeader: the task list's column header. Painted on the skin: a band in
// 0xC87E4C with light and dark rules, each column in 0xC67A42 between a light
// and a dark line with its caption in white (11-point 宋体), and over the
// first column a check-all box instead of a caption. A left press within 2
// pixels of the box toggles it, plays "ding.wav" and calls the owner's
// check-all action. The first column cannot be resized.

#include <QHeaderView>

#include <functional>

namespace qf::ui {

class SkinHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit SkinHeader(QWidget* parent = nullptr);

    // Plays "ding.wav" when the state changes; never calls the action.
    void setCheckAll(bool on);
    bool checkAll() const { return checkAll_; }
    void setCheckAllAction(std::function<void(bool)> action) { action_ = std::move(action); }

    // The white square of the box (the check image plus a 1-pixel margin),
    // centred in the first section.
    QRect checkBoxRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    bool checkAll_ = false;
    std::function<void(bool)> action_;
};

} // namespace qf::ui
