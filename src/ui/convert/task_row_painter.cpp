#include "ui/convert/task_row_painter.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "ui/skin/skin.h"

namespace qf::ui::tasklist {

namespace {

// The row proper, shrunk by one pixel, must hold the box and its white
// margin; a tall header would push it lower than centred in the row proper.
constexpr int kMinBoxOffset = 2;
constexpr int kMaxBoxOffset = (kRowHeight - 1 - kCheckSize + 1) / 2;

} // namespace

// The rows use the shared check images, as the header's check-all box does.
const QImage& checkBoxImage(bool checked) { return skin::bitmap(checked ? skin::kCheckOn : skin::kCheckOff); }

QRect rowCheckBoxRect(int rowTop, int cx, int cy)
{
    const int offset = std::clamp(cy - 4, kMinBoxOffset, kMaxBoxOffset);
    return QRect(cx - 7, rowTop + offset, kCheckSize, kCheckSize);
}

Qt::Alignment cellAlignment(int column) { return column >= 2 && column <= 4 ? Qt::AlignHCenter : Qt::AlignLeft; }

QString elidedCellText(const QString& text, const QFont& font, int width)
{
    return QFontMetrics(font).elidedText(text, Qt::ElideRight, std::max(width, 0));
}

void paintTaskRow(QPainter& p, const TaskRowLook& look, const QFont& font)
{
    p.fillRect(look.row, skin::colorRef(kBackgroundColour));
    const QRect proper = look.row.adjusted(0, 0, 0, -1);
    if (look.selected) {
        p.fillRect(proper, skin::colorRef(kSelectedRowColour));
        const QColor light = skin::colorRef(kEdgeLightColour);
        const QColor dark = skin::colorRef(kEdgeDarkColour);
        p.fillRect(QRect(proper.left(), proper.top(), proper.width(), 1), light);
        p.fillRect(QRect(proper.left(), proper.top(), 1, proper.height()), light);
        p.fillRect(QRect(proper.left(), proper.bottom(), proper.width(), 1), dark);
        p.fillRect(QRect(proper.right(), proper.top(), 1, proper.height()), dark);
    } else {
        p.fillRect(proper, skin::colorRef(kRowColour));
    }

    p.fillRect(look.checkBox.adjusted(-1, -1, 1, 1), Qt::white);
    p.drawImage(look.checkBox.topLeft(), checkBoxImage(look.checked));

    p.setFont(font);
    p.setPen(skin::colorRef(look.selected ? kSelectedTextColour : kTextColour));
    for (size_t column = 1; column < look.cells.size(); ++column) {
        const QRect cell = look.cells[column].adjusted(1, 1, -1, -2);
        if (cell.width() <= 0)
            continue;
        const int c = static_cast<int>(column);
        p.drawText(cell, cellAlignment(c) | Qt::AlignVCenter | Qt::TextSingleLine,
                   elidedCellText(look.texts[column], font, cell.width()));
    }
}

} // namespace qf::ui::tasklist
