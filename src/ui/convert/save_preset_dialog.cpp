#include "ui/convert/save_preset_dialog.h"

#include <QLineEdit>
#include <QPainter>
#include <QTimerEvent>

#include "ui/controls/skin_button.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

// Template rectangles in dialog units.
constexpr QRect kSaveButtonUnits(12, 66, 28, 9);
constexpr QRect kCancelButtonUnits(52, 66, 28, 9);
constexpr QRect kEditUnits(36, 20, 54, 8);
constexpr int kBandTopUnits = 61;
constexpr double kFrameRadius = 3;

QRect pixels(const QRect& units)
{
    return QRect(skin::du(units.x()), skin::du(units.y()), skin::du(units.width()), skin::du(units.height()));
}

QFont buttonFont() { return skin::font(QStringLiteral("新宋体"), 9.6); }

// The caption left of the name field.
QString nameLabel() { return QStringLiteral("预设名称:"); }

} // namespace

QRect SavePresetDialog::editRect() { return pixels(kEditUnits); }

QRect SavePresetDialog::frameRect() { return editRect().adjusted(-3, -3, 3, 3); }

QRect SavePresetDialog::bandRect(QSize dialog)
{
    const int top = skin::du(kBandTopUnits);
    return QRect(0, top, dialog.width(), std::max(dialog.height() - top, 0));
}

int SavePresetDialog::bandLineY(QSize dialog) { return bandRect(dialog).top() - 3; }

SavePresetDialog::SavePresetDialog(QWidget* parent, const QRect& placement, const QImage& background)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), background_(background), edit_(new QLineEdit(this)),
      save_(new SkinButton(QStringLiteral("保存"), this)), cancel_(new SkinButton(QStringLiteral("取消"), this))
{
    setModal(true);
    setWindowTitle(QStringLiteral("保存当前参数"));
    // The band's text is drawn in the dialog's font; the field and buttons have their own.
    setFont(skin::smallFont());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(placement);
    setFixedSize(placement.size());

    edit_->setGeometry(editRect());
    edit_->setMaxLength(kMaxNameLength);
    edit_->setFrame(false);
    edit_->setFont(skin::smallFont());
    edit_->setTextMargins(0, 0, 0, 0);
    edit_->setAccessibleName(QStringLiteral("预设名称"));
    setAccessibleDescription(nameLabel());
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    edit_->setPalette(pal);
    connect(edit_, &QLineEdit::returnPressed, this, [this] { trySave(); });

    const struct {
        SkinButton* button;
        QRect units;
    } buttons[] = {{save_, kSaveButtonUnits}, {cancel_, kCancelButtonUnits}};
    for (const auto& b : buttons) {
        b.button->setFont(buttonFont());
        b.button->setTextColours(skin::kWhite, skin::kHoverTextColour, skin::kButtonPressedTextColour);
        b.button->setGeometry(pixels(b.units));
    }
    connect(save_, &QAbstractButton::clicked, this, [this] { trySave(); });
    connect(cancel_, &QAbstractButton::clicked, this, [this] { reject(); });

    // Nothing can be typed or pressed before the final picture stands.
    edit_->hide();
    save_->hide();
    cancel_->hide();
}

SavePresetDialog::~SavePresetDialog() = default;

QString SavePresetDialog::name() const { return edit_->text(); }

bool SavePresetDialog::ask(QWidget* parent, const QRect& placement, const QImage& background, QString* name)
{
    SavePresetDialog dialog(parent, placement, background);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (name)
        *name = dialog.name();
    return true;
}

void SavePresetDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (step_ != kFinalStep && !timer_.isActive())
        timer_.start(kStepMs, this);
}

void SavePresetDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == timer_.timerId())
        advance();
    else
        QDialog::timerEvent(event);
}

void SavePresetDialog::advance()
{
    step_ = step_ == kBackgroundStep ? kWhiteStep : kFinalStep;
    update();
    if (step_ != kFinalStep)
        return;
    timer_.stop();
    save_->show();
    cancel_->show();
    edit_->show();
    edit_->setFocus();
}

void SavePresetDialog::trySave()
{
    // A name of blanks alone would stand as an empty row in the model list.
    if (name().trimmed().isEmpty()) {
        edit_->setFocus();
        return;
    }
    accept();
}

void SavePresetDialog::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (step_ == kBackgroundStep) {
        if (background_.isNull())
            p.fillRect(rect(), skin::skinColor());
        else
            p.drawImage(rect(), background_);
        return;
    }
    p.fillRect(rect(), Qt::white);
    if (step_ != kFinalStep)
        return;
    const QColor skinColour = skin::skinColor();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(skinColour, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(frameRect()).adjusted(0.5, 0.5, -0.5, -0.5), kFrameRadius, kFrameRadius);
    p.setRenderHint(QPainter::Antialiasing, false);
    // The field says what it is for.
    p.setFont(font());
    p.drawText(QRect(0, frameRect().top(), frameRect().left() - 4, frameRect().height()),
               Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, nameLabel());
    const int lineY = bandLineY(size());
    p.fillRect(QRect(0, lineY, width(), 1), skinColour);
    const QRect band = bandRect(size());
    p.fillRect(band, skinColour);
    p.setFont(font());
    p.setPen(Qt::white);
    p.drawText(band, Qt::AlignCenter | Qt::TextSingleLine, QStringLiteral("(选择机型)可以任意输入。"));
}

} // namespace qf::ui
