#include "ui/notify/confirm_box.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

#include "ui/skin/skin.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_check_box.h"

namespace qf::ui {

namespace {

constexpr QSize kButtonSize(56, 18); // 28 x 9 dialog units

QFont buttonFont() { return skin::font(QStringLiteral("新宋体"), 9.6); }
QFont messageFont() { return skin::font(QStringLiteral("新宋体"), 11); }

QPainterPath roundedPath(const QRectF& r, double corner)
{
    QPainterPath path;
    path.addRoundedRect(r, corner / 2, corner / 2);
    return path;
}

} // namespace

int confirmButtonResult(int mode, int button)
{
    const bool okCancel = (mode & 3) != 0;
    switch (button) {
    case 0: return okCancel ? kConfirmOk : kConfirmYes;
    case 1: return okCancel ? kConfirmCancel : kConfirmNo;
    default: return kConfirmYesToAll;
    }
}

bool confirmEnterActs(int mode) { return mode == 1 || mode == 4; }

QStringList confirmLines(const QString& message)
{
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n]+"));
    return message.split(breaks);
}

ConfirmLayout confirmLayout(int mode, int lineCount, int maxLineWidth, int lineHeight, int checkTextWidth)
{
    ConfirmLayout l;
    const bool hasCheck = checkTextWidth >= 0;
    const int t = std::max(maxLineWidth, 140);
    const int c = hasCheck ? checkTextWidth + 26 : 0;
    const int w = ((hasCheck && t < c) ? c : t) + 40;
    const int h = lineCount * (lineHeight + 4) + 90 - (hasCheck ? 0 : 30);
    l.size = QSize(w, h);
    const int textLeft = w / 2 - t / 2;
    l.textRect = QRect(QPoint(textLeft, 20), QPoint(textLeft + t, 20 + lineCount * (lineHeight + 4)) - QPoint(1, 1));
    const int top = h - 32;
    if (mode & (2 | 8)) {
        l.buttons = ConfirmLayout::Two;
        const bool yesNo = mode & 8;
        l.captions[0] = yesNo ? QStringLiteral("是") : QStringLiteral("确定");
        l.captions[1] = yesNo ? QStringLiteral("否") : QStringLiteral("取消");
        l.captions[2] = QStringLiteral("全部是");
        l.buttonRects[0] = QRect(QPoint(w / 2 - 64, top), kButtonSize);
        l.buttonRects[1] = QRect(QPoint(w / 2 + 8, top), kButtonSize);
        l.buttonRects[2] = QRect(QPoint(w / 2 - 28, top), kButtonSize);
        l.buttonShown[1] = true;
    } else if (mode & 16) {
        l.buttons = ConfirmLayout::Three;
        l.captions[0] = QStringLiteral("是");
        l.captions[1] = QStringLiteral("否");
        l.captions[2] = QStringLiteral("全部是");
        l.buttonRects[0] = QRect(QPoint(w / 2 - 90, top), kButtonSize);
        l.buttonRects[2] = QRect(QPoint(w / 2 - 28, top), kButtonSize);
        l.buttonRects[1] = QRect(QPoint(w / 2 + 34, top), kButtonSize);
        l.buttonShown[1] = l.buttonShown[2] = true;
    } else {
        l.captions[0] = QStringLiteral("确定");
        l.captions[1] = QStringLiteral("取消");
        l.captions[2] = QStringLiteral("全部是");
        l.buttonRects[0] = QRect(QPoint(w / 2 - 28, top), kButtonSize);
        l.buttonRects[1] = QRect(QPoint(114 * 2, 72 * 2), kButtonSize);
        l.buttonRects[2] = QRect(QPoint(78 * 2, 72 * 2), kButtonSize);
    }
    if (hasCheck)
        l.checkRect = QRect(w / 2 - c / 2, h - 60, c, 21);
    return l;
}

ConfirmBox::ConfirmBox(QWidget* owner, const QString& message, int mode, const QString& checkText)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), mode_(mode), lines_(confirmLines(message)),
      check_(new SkinCheckBox(checkText, this))
{
    setModal(true);
    setFont(skin::dialogFont());
    setWindowTitle(QStringLiteral("提示信息"));
    setAccessibleName(message);
    const QFontMetrics fm(messageFont());
    int widest = 0;
    for (const QString& line : lines_)
        widest = std::max(widest, fm.horizontalAdvance(line));
    const int checkWidth = checkText.isEmpty() ? -1 : QFontMetrics(buttonFont()).horizontalAdvance(checkText);
    layout_ = confirmLayout(mode, static_cast<int>(lines_.size()), widest, fm.height(), checkWidth);
    setFixedSize(layout_.size);
    setMask(QRegion(roundedPath(QRectF(rect()), 5).toFillPolygon().toPolygon()));
    for (int i = 0; i < 3; ++i) {
        auto* b = new SkinButton(layout_.captions[i], this);
        b->setFont(buttonFont());
        b->setTextColours(skin::kWhite, skin::kHoverTextColour, skin::kButtonPressedTextColour);
        b->setGeometry(layout_.buttonRects[i]);
        b->setVisible(layout_.buttonShown[i]);
        connect(b, &QAbstractButton::clicked, this, [this, i] { finish(i); });
        buttons_[i] = b;
    }
    check_->setFont(buttonFont());
    if (layout_.checkRect.isEmpty()) {
        check_->hide();
    } else {
        check_->setGeometry(layout_.checkRect);
        check_->show();
    }
    paintBackground();
    // A Yes/No question asks before something is lost (a running batch ends
    // with the program): a stray Space answers No.
    buttons_[(mode & kConfirmNo) && layout_.buttonShown[1] ? 1 : 0]->setFocus();
}

ConfirmBox::~ConfirmBox() = default;

int ConfirmBox::ask(QWidget* owner, const QString& message, int mode, const QString& checkText, bool* checked)
{
    ConfirmBox box(owner, message, mode, checkText);
    const int result = box.exec();
    if (checked)
        *checked = box.checkBoxTicked();
    return result;
}

void ConfirmBox::paintBackground()
{
    const QSize s = size();
    background_ = QImage(s, QImage::Format_RGB32);
    background_.fill(skin::colorRef(skin::kFrameColour));
    QPainter p(&background_);
    const QRectF inner = QRectF(rect()).adjusted(2, 2, -2, -2);
    p.setClipPath(roundedPath(inner, 5));
    skin::fillGradient(p, inner.toRect(), skin::colorRef(0xD69D74), skin::colorRef(skin::kSkinColour),
                       skin::kGradientDown);
    // The corner mark: a rounded piece top left, outside a wide ellipse.
    QPainterPath mark = roundedPath(QRectF(QPointF(1, 2), QPointF(80, 36)), 5);
    QPainterPath ellipse;
    ellipse.addEllipse(QRectF(0, 0, 220, 80));
    mark = mark.subtracted(ellipse);
    p.setClipPath(mark);
    skin::fillGradient(p, QRect(1, 2, 79, 34), skin::colorRef(0x00FFFF), skin::colorRef(0x0000FF), skin::kGradientDown);
}

void ConfirmBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, background_);
    p.setFont(messageFont());
    p.setPen(Qt::white);
    const QRect& text = layout_.textRect;
    if (lines_.size() == 1) {
        p.drawText(text, Qt::AlignCenter | Qt::TextSingleLine, lines_.front());
        return;
    }
    const int step = QFontMetrics(messageFont()).height() + 4;
    int y = text.top();
    for (const QString& line : lines_) {
        if (y + step > text.bottom() + 1)
            break;
        p.drawText(QRect(text.left(), y, text.width(), step), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
        y += step;
    }
}

void ConfirmBox::finish(int button)
{
    ticked_ = check_->isVisible() && check_->isChecked();
    ending_ = true;
    done(confirmButtonResult(mode_, button));
}

void ConfirmBox::reject()
{
    // Escape and the window's close never end the box; only its buttons do.
}

void ConfirmBox::closeEvent(QCloseEvent* event)
{
    if (ending_)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void ConfirmBox::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The focused button, as its look promises; else the only one.
        for (int i = 0; i < 3; ++i) {
            if (buttons_[i] && buttons_[i]->isVisible() && buttons_[i]->hasFocus()) {
                finish(i);
                return;
            }
        }
        if (confirmEnterActs(mode_))
            finish(0);
        return;
    case Qt::Key_Escape:
        // Escape declines: "否" or "取消" where the box offers one.
        if (buttons_[1] && buttons_[1]->isVisible())
            finish(1);
        return;
    default: QDialog::keyPressEvent(event);
    }
}

void ConfirmBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - pos();
    }
}

void ConfirmBox::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_)
        move(event->globalPosition().toPoint() - dragOffset_);
}

void ConfirmBox::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

} // namespace qf::ui
