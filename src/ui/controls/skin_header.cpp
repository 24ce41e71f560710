#include "ui/controls/skin_header.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/skin/skin.h"
#include "ui/skin/sounds.h"

namespace qf::ui {

SkinHeader::SkinHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setFont(skin::font(QStringLiteral("MS Serif"), 14));
    setSectionsClickable(false);
    setHighlightSections(false);
    setMinimumSectionSize(20);
    setAccessibleName(QStringLiteral("列标题"));
    connect(this, &QHeaderView::sectionCountChanged, this, [this](int, int count) {
        if (count > 0)
            setSectionResizeMode(0, QHeaderView::Fixed);
    });
}

QSize SkinHeader::sizeHint() const
{
    QSize s = QHeaderView::sizeHint();
    s.setHeight(QFontMetrics(font()).height() + 6);
    return s;
}

void SkinHeader::setCheckAll(bool on)
{
    if (on == checkAll_)
        return;
    checkAll_ = on;
    playSound(Sound::Ding);
    viewport()->update();
}

QRect SkinHeader::checkBoxRect() const
{
    const QImage& check = skin::bitmap(skin::kCheckOff);
    const QSize box = check.size() + QSize(2, 2);
    const int left = count() > 0 ? sectionViewportPosition(0) : 0;
    const int width = count() > 0 ? sectionSize(0) : box.width();
    return QRect(QPoint(left + (width - box.width()) / 2, (height() - box.height()) / 2), box);
}

void SkinHeader::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    const QRect all = viewport()->rect();
    p.fillRect(all, skin::colorRef(skin::kHeaderBackColour));
    for (int visual = 0; visual < count(); ++visual) {
        const int logical = logicalIndex(visual);
        if (isSectionHidden(logical))
            continue;
        const QRect r(sectionViewportPosition(logical), 0, sectionSize(logical), all.height());
        if (r.right() >= 0 && r.left() <= all.right())
            paintSection(&p, r, logical);
    }
    p.fillRect(QRect(0, 0, all.width(), 1), skin::colorRef(skin::kHeaderLightColour));
    p.fillRect(QRect(0, all.height() - 1, all.width(), 1), skin::colorRef(skin::kHeaderDarkColour));
}

void SkinHeader::paintSection(QPainter* p, const QRect& r, int logicalIndex) const
{
    p->fillRect(r, skin::colorRef(skin::kHeaderColumnColour));
    p->fillRect(QRect(r.left(), r.top(), 1, r.height()), skin::colorRef(skin::kHeaderLightColour));
    p->fillRect(QRect(r.right(), r.top(), 1, r.height()), skin::colorRef(skin::kHeaderDarkColour));
    if (logicalIndex == 0) {
        const QRect box = checkBoxRect();
        p->fillRect(box, Qt::white);
        p->drawImage(box.topLeft() + QPoint(1, 1), skin::bitmap(checkAll_ ? skin::kCheckOn : skin::kCheckOff));
        return;
    }
    const QString caption
        = model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString() : QString();
    p->setFont(skin::mediumFont());
    p->setPen(Qt::white);
    p->drawText(r, Qt::AlignCenter | Qt::TextSingleLine, caption);
}

void SkinHeader::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton
        && checkBoxRect().adjusted(-2, -2, 2, 2).contains(event->position().toPoint())) {
        checkAll_ = !checkAll_;
        viewport()->update();
        playSound(Sound::Ding);
        if (action_)
            action_(checkAll_);
        return;
    }
    QHeaderView::mousePressEvent(event);
}

} // namespace qf::ui
