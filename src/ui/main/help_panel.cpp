#include "ui/main/help_panel.h"

#include <QFileInfo>
#include <QPainter>
#include <QTextBrowser>
#include <QTimerEvent>

#include "core/program_directory.h"
#include "ui/controls/small_button.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

constexpr char kSiteLine[] = "Quillfer3.5 使用帮助";
constexpr char kMissingPage[] = "<p>帮助页面不在程序目录中 (help/index.html)。</p>";
const QPoint kActivityAt(66, 7);

} // namespace

HelpPanel::HelpPanel(const QUrl& page, QWidget* parent)
    : QWidget(parent), page_(page), browser_(new QTextBrowser(this)), refresh_(new SmallButton(this)),
      homeButton_(new SmallButton(this))
{
    const QImage& images = skin::bitmap(skin::kSmallButtons);
    refresh_->setImages(images, QPoint(32, 0), QSize(16, 16), 1);
    refresh_->setTooltip(toQ("刷新"));
    refresh_->setGeometry(10, 6, 16, 16);
    homeButton_->setImages(images, QPoint(32, 16), QSize(16, 16), 1);
    homeButton_->setTooltip(toQ("主页"));
    homeButton_->setGeometry(36, 6, 16, 16);
    refresh_->setAccessibleName(toQ("刷新"));
    homeButton_->setAccessibleName(toQ("主页"));
    connect(refresh_, &SmallButton::clicked, this, &HelpPanel::refresh);
    connect(homeButton_, &SmallButton::clicked, this, &HelpPanel::home);

    browser_->setOpenExternalLinks(true);
    browser_->setFrameShape(QFrame::NoFrame);
}

QUrl HelpPanel::defaultPage()
{
    return QUrl::fromLocalFile(toQ(core::programDirectory()) + QStringLiteral("/help/index.html"));
}

SmallButton* HelpPanel::button(int id) const
{
    if (id == kCmdRefresh)
        return refresh_;
    if (id == kCmdHome)
        return homeButton_;
    return nullptr;
}

void HelpPanel::refresh()
{
    startActivity();
    if (browser_->source().isEmpty())
        home();
    else
        browser_->reload();
}

void HelpPanel::home()
{
    startActivity();
    if (page_.isLocalFile() && !QFileInfo::exists(page_.toLocalFile())) {
        browser_->setHtml(toQ(kMissingPage));
        return;
    }
    browser_->setSource(page_);
}

void HelpPanel::startActivity()
{
    // The page is local and loads at once; one turn of the indicator still
    // tells the user that the click was taken.
    ticksLeft_ = kActivityFrames;
    if (!activity_.isActive())
        activity_.start(kActivityTickMs, this);
}

void HelpPanel::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != activity_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    frame_ = (frame_ + 1) % kActivityFrames;
    if (--ticksLeft_ <= 0) {
        activity_.stop();
        frame_ = 0;
    }
    update(QRect(kActivityAt, QSize(16, 16)));
}

void HelpPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(QRect(0, 0, width(), kStripHeight), skin::skinColor());
    p.drawImage(kActivityAt, skin::bitmap(skin::kActivity), QRect(frame_ * 16, 0, 16, 16));
    p.setFont(skin::smallFont());
    p.setPen(Qt::white);
    p.drawText(QRect(90, 0, width() - 90, kStripHeight), Qt::AlignVCenter | Qt::AlignLeft, toQ(kSiteLine));
}

void HelpPanel::resizeEvent(QResizeEvent*) { browser_->setGeometry(0, kStripHeight, width(), height() - kStripHeight); }

void HelpPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    home();
}

} // namespace qf::ui
