#include "ui/controls/skin_time_picker.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimeEdit>

#include "core/clock_time.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

// The picker's field: one Tab stop, in which Left and Right move between the
// hours, minutes and seconds (Qt's own edit spends a Tab on each).
class PickerEdit final : public QTimeEdit {
public:
    using QTimeEdit::QTimeEdit;

protected:
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
    // Reached by Tab or Shift+Tab alike, the field starts at the hours.
    void focusInEvent(QFocusEvent* event) override
    {
        QTimeEdit::focusInEvent(event);
        if (event->reason() == Qt::BacktabFocusReason)
            setSelectedSection(QDateTimeEdit::HourSection);
    }
};

} // namespace

SkinSpin::SkinSpin(QWidget* parent) : QWidget(parent) { setCursor(skin::handCursor()); }

void SkinSpin::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int half = height() / 2;
    for (int arrow = 0; arrow < 2; ++arrow) {
        const QRect r(0, arrow * half, width(), arrow ? height() - half : half);
        const bool down = pressed_ == arrow && isEnabled();
        const QColor a = skin::colorRef(skin::kFrameColour), b = skin::skinColor();
        skin::fillGradient(p, r, down ? b : a, down ? a : b, skin::kGradientDown);
        p.setPen(Qt::NoPen);
        p.setBrush(isEnabled() ? QColor(Qt::white) : skin::colorRef(skin::kDisabledColour));
        const QPointF c = QRectF(r).center() + (down ? QPointF(0.5, 0.5) : QPointF(0, 0));
        const double d = arrow == 0 ? -1 : 1;
        p.drawPolygon(QPolygonF({c + QPointF(-3, -1.5 * d), c + QPointF(3, -1.5 * d), c + QPointF(0, 1.5 * d)}));
    }
}

void SkinSpin::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    pressed_ = event->position().y() < height() / 2 ? 0 : 1;
    update();
    Q_EMIT stepRequested(pressed_ == 0 ? 1 : -1);
}

void SkinSpin::mouseReleaseEvent(QMouseEvent*)
{
    pressed_ = -1;
    update();
}

SkinTimePicker::SkinTimePicker(QWidget* parent)
    : QWidget(parent), edit_(new PickerEdit(this)), spin_(new SkinSpin(this)), date_(2009, 1, 1)
{
    setFont(skin::smallFont());
    setFocusPolicy(Qt::NoFocus);
    edit_->setDisplayFormat(QStringLiteral(" HH:mm:ss"));
    edit_->setButtonSymbols(QAbstractSpinBox::NoButtons);
    edit_->setFrame(false);
    edit_->setFont(skin::smallFont());
    edit_->setTime(QTime(0, 0, 0));
    edit_->setAccessibleName(QStringLiteral("时间"));
    // The field takes the focus whether or not the box is ticked, so that
    // Space can tick it; an unticked time cannot be edited.
    edit_->setFocusPolicy(Qt::StrongFocus);
    edit_->installEventFilter(this);
    showChecked();
    // The arrows step the field the user last chose, the seconds at first.
    edit_->setCurrentSection(QDateTimeEdit::SecondSection);
    connect(spin_, &SkinSpin::stepRequested, this, [this](int steps) {
        if (checked_)
            edit_->stepBy(steps);
    });
    connect(edit_, &QTimeEdit::timeChanged, this, [this] { Q_EMIT changed(); });
}

QRect SkinTimePicker::checkRect() const { return QRect(3, (height() - 13) / 2, 13, 13); }

void SkinTimePicker::resizeEvent(QResizeEvent*)
{
    const int spinWidth = 13;
    // The frame takes one pixel; the arrows sit just inside the right edge.
    spin_->setGeometry(width() - spinWidth - 1, 1, spinWidth, height() - 2);
    edit_->setGeometry(19, 1, width() - 19 - spinWidth - 2, height() - 2);
}

QSize SkinTimePicker::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(19 + fm.horizontalAdvance(QStringLiteral(" 00:00:00")) + 20 + 4, fm.height() + 6 + 2);
}

void SkinTimePicker::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QImage& check = skin::bitmap(checked_ ? skin::kCheckOn : skin::kCheckOff);
    p.drawImage(checkRect().topLeft(), check);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(skin::colorRef(isEnabled() ? skin::kFrameColour : skin::kDisabledColour), 1));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 1.5, 1.5);
    if (edit_->hasFocus()) {
        // The keyboard's place: a dotted ring round the check box.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.drawRect(checkRect().adjusted(-2, -2, 1, 1));
    }
}

void SkinTimePicker::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && checkRect().adjusted(-2, -2, 2, 2).contains(event->position().toPoint()))
        setChecked(!checked_);
}

void SkinTimePicker::setChecked(bool checked)
{
    checked_ = checked;
    showChecked();
    update();
    Q_EMIT changed();
}

void SkinTimePicker::showChecked()
{
    edit_->setReadOnly(!checked_);
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, checked_ ? QColor(Qt::black) : skin::colorRef(0x808080));
    pal.setColor(QPalette::Disabled, QPalette::Base, Qt::white);
    pal.setColor(QPalette::Disabled, QPalette::Text, skin::colorRef(0x808080));
    edit_->setPalette(pal);
}

bool SkinTimePicker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edit_) {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            update();
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space
            && static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            setChecked(!checked_);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SkinTimePicker::setTime(int hours, int minutes, int seconds) { edit_->setTime(QTime(hours, minutes, seconds)); }

void SkinTimePicker::setFromText(const char* text)
{
    if (!text || !core::isTimeText(text)) {
        setTime(0, 0, 0);
        setChecked(false);
        return;
    }
    const uint32_t total = core::parseTime(text);
    setTime(static_cast<int>(total / 3600), static_cast<int>(total / 60 % 60), static_cast<int>(total % 60));
    setChecked(total != 0);
}

QString SkinTimePicker::timeText() const { return edit_->time().toString(QStringLiteral("HH:mm:ss")); }

QDateTime SkinTimePicker::dateTime() const { return QDateTime(date_, edit_->time()); }

int SkinTimePicker::seconds() const { return edit_->time().msecsSinceStartOfDay() / 1000; }

} // namespace qf::ui
