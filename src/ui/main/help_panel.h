#pragma once
// HelpPanel: the Help view. A strip with the refresh and home buttons, an
// activity indicator and a line naming the page, over a text browser that
// shows the help page shipped in the program directory. Each time the panel
// is shown it loads the page again. UI thread only.

#include <QBasicTimer>
#include <QString>
#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace qf::ui {

class SmallButton;

class HelpPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStripHeight = 28;
    static constexpr int kActivityFrames = 15;
    static constexpr int kActivityTickMs = 40;

    enum Command : int { kCmdRefresh = 1010, kCmdHome = 1009 };

    explicit HelpPanel(const QUrl& page, QWidget* parent = nullptr);

    // "<program directory>/help/index.html".
    static QUrl defaultPage();

    void refresh();
    void home();

    QTextBrowser* browser() const { return browser_; }
    SmallButton* button(int id) const;
    QUrl page() const { return page_; }
    bool busy() const { return activity_.isActive(); }
    int activityFrame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void startActivity();

    QUrl page_;
    QTextBrowser* browser_;
    SmallButton* refresh_;
    SmallButton* homeButton_;
    QBasicTimer activity_;
    int frame_ = 0;
    int ticksLeft_ = 0;
};

} // namespace qf::ui
