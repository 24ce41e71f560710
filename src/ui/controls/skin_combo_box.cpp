#include "ui/controls/skin_combo_box.h"

#include <QAbstractItemView>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>

#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

class RowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 16);
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool current = option.state & (QStyle::State_Selected | QStyle::State_MouseOver);
        p->fillRect(option.rect, current ? skin::colorRef(skin::kFrameColour) : skin::colorRef(skin::kWhite));
        p->setFont(skin::smallFont());
        p->setPen(current ? skin::skinColor() : QColor(Qt::black));
        p->drawText(option.rect.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
    }
};

} // namespace

SkinComboBox::SkinComboBox(QWidget* parent) : QComboBox(parent)
{
    setFont(skin::smallFont());
    setFocusPolicy(Qt::StrongFocus);
    auto* view = new QListView(this);
    view->setItemDelegate(new RowDelegate(view));
    view->setUniformItemSizes(true);
    setView(view);
    connect(model(), &QAbstractItemModel::rowsInserted, this, [this] { ensureSelection(); });
}

void SkinComboBox::ensureSelection()
{
    if (count() > 0 && currentIndex() < 0)
        setCurrentIndex(0);
}

void SkinComboBox::showEvent(QShowEvent* event)
{
    ensureSelection();
    QComboBox::showEvent(event);
}

QRect SkinComboBox::dropButtonRect(QSize control)
{
    const int w = std::min(16, control.width() / 2);
    return QRect(control.width() - w - 1, 1, w, control.height() - 2);
}

void SkinComboBox::showPopup()
{
    dropped_ = true;
    update();
    QComboBox::showPopup();
}

void SkinComboBox::hidePopup()
{
    QComboBox::hidePopup();
    dropped_ = false;
    update();
}

void SkinComboBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool enabled = isEnabled();
    p.fillRect(rect(), skin::skinColor());
    const QRect face = rect().adjusted(1, 1, -1, -1);
    p.fillRect(face, enabled ? skin::colorRef(skin::kWhite) : skin::colorRef(0xE0E0E0));
    const QRect button = dropButtonRect(size());
    // The gradient runs downwards while closed and upwards while dropped.
    const QColor light = enabled ? skin::colorRef(skin::kFrameColour) : skin::colorRef(0xD0D0D0);
    const QColor dark = enabled ? skin::skinColor() : skin::colorRef(skin::kDisabledColour);
    skin::fillGradient(p, button, dropped_ ? dark : light, dropped_ ? light : dark, skin::kGradientDown);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(enabled ? QColor(Qt::white) : skin::colorRef(0xF0F0F0));
    const QPointF c = QRectF(button).center();
    if (dropped_)
        p.drawPolygon(QPolygonF({c + QPointF(-3.5, 2), c + QPointF(3.5, 2), c + QPointF(0, -2)}));
    else
        p.drawPolygon(QPolygonF({c + QPointF(-3.5, -2), c + QPointF(3.5, -2), c + QPointF(0, 2)}));
    p.setPen(QPen(skin::colorRef(enabled ? skin::kFrameColour : skin::kDisabledColour), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 1.5, 1.5);
    p.setRenderHint(QPainter::Antialiasing, false);
    QRect textRect = face.adjusted(3, 0, -button.width() - 2, 0);
    // The focus mark: the text on a band of the skin colour, as a chosen
    // row of the list shows it; a pale band would vanish on the white face.
    const bool marked = hasFocus() && enabled;
    if (marked)
        p.fillRect(textRect.adjusted(-1, 2, 0, -2), skin::skinColor());
    p.setFont(font());
    p.setPen(marked ? QColor(Qt::white) : enabled ? QColor(Qt::black) : skin::colorRef(0x767676));
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               QFontMetrics(font()).elidedText(currentText(), Qt::ElideRight, textRect.width()));
}

} // namespace qf::ui
