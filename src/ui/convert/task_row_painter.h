#pragma once
// How one row of the task list looks: the colours, the check-box geometry and
// the painting of a row from its texts and states. Pure: the result depends
// only on the arguments. UI thread only (fonts).

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>

class QPainter;

namespace qf::ui::tasklist {

// 0x00BBGGRR, as the skin names colours (skin::colorRef).
inline constexpr uint32_t kBackgroundColour = 0xB36A36; // 54,106,179: the control and the gap below each row
inline constexpr uint32_t kRowColour = 0xCF8F65; // 101,143,207
inline constexpr uint32_t kSelectedRowColour = 0xA26A43; // 67,106,162: dark enough for the yellow text
inline constexpr uint32_t kEdgeLightColour = 0xFFFF60; // 96,255,255: top and left of a selected row
inline constexpr uint32_t kEdgeDarkColour = 0x646400; // 0,100,100: bottom and right
inline constexpr uint32_t kSelectedTextColour = 0x60FFFF; // 255,255,96
inline constexpr uint32_t kTextColour = 0x000000; // every other row
inline constexpr uint32_t kFirstRowLineColour = 0x00FFFF; // 255,255,0: the line above the first row
inline constexpr uint32_t kCheckBorderColour = 0xD68E4D; // 77,142,214: the box's 2-pixel border
inline constexpr uint32_t kCheckTickColour = 0x000000;

inline constexpr int kRowHeight = 21; // the row proper is one pixel shorter: the gap
inline constexpr int kCheckSize = 13; // the check images
inline constexpr int kFirstRowLineGap = 2; // the line lies this far above the first row

// The row's 13 x 13 check box. (cx, cy) is the centre of the header's first
// item. The box sits cy - 4 below the row's top, but never lower than
// centred in the row proper (4), so that a tall header cannot push it out
// of its row, and never higher than 2.
QRect rowCheckBoxRect(int rowTop, int cx, int cy);
// The left press that toggles a row's box: left of the box's right edge plus 2.
inline bool inCheckClickZone(int x, int cx) { return x < cx + 8; }

// The 13 x 13 box: a 2-pixel border around white, and when checked a black
// tick of 1-pixel lines.
const QImage& checkBoxImage(bool checked);

// Columns 2-4 are centred, the others left-aligned.
Qt::Alignment cellAlignment(int column);

struct TaskRowLook {
    QRect row; // the full band, kRowHeight high, across the columns
    QRect checkBox; // rowCheckBoxRect()
    std::array<QRect, 7> cells{}; // each column's full rectangle; cells[0] is unused
    std::array<QString, 7> texts; // texts[0] is unused
    bool selected = false;
    bool checked = false;
};

// Background, fill (with the 3-D edge when selected), the check box and the
// cell texts on one line each, cut with an ellipsis where they do not fit.
void paintTaskRow(QPainter& painter, const TaskRowLook& look, const QFont& font);

// A text of the width, with "…" at its end when it does not fit.
QString elidedCellText(const QString& text, const QFont& font, int width);

} // namespace qf::ui::tasklist
