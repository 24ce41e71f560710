#pragma once
// ConfirmBox: the system's modal message box on the skin, with one, two or
// three buttons and an optional check box ("以后不要再弹出这个提示。").
//
// Modes are bit values: 1 OK; 2 OK/Cancel; 4 OK (answering 4); 8 Yes/No;
// 16 Yes/No/Yes-to-all; 12 is the close confirmation (Yes/No, 4/8). The first
// button answers 1 when the mode has bit 1 or 2, else 4; the second 2, else
// 8; the third 16. Enter presses the focused button (with none focused, the
// first one in modes 1 and 4); Escape presses the second button ("否",
// "取消") where it is shown and does nothing otherwise. The first button has
// the focus, except in the Yes/No modes, where "否" has it. UI thread only.

#include <QDialog>
#include <QImage>
#include <QStringList>

namespace qf::ui {

class SkinButton;
class SkinCheckBox;

enum ConfirmResult : int { kConfirmOk = 1, kConfirmCancel = 2, kConfirmYes = 4, kConfirmNo = 8, kConfirmYesToAll = 16 };

// The whole layout in pixels, from the measured text; pure.
struct ConfirmLayout {
    enum Buttons { One, Two, Three };
    Buttons buttons = One;
    QString captions[3];
    QSize size; // client width W and height (bottom B)
    QRect textRect;
    QRect buttonRects[3];
    bool buttonShown[3] = {true, false, false};
    QRect checkRect; // empty when there is no check-box text
};
// lineCount lines, the widest maxLineWidth and each lineHeight high in the
// 11-point font; checkTextWidth < 0 means no check box.
ConfirmLayout confirmLayout(int mode, int lineCount, int maxLineWidth, int lineHeight, int checkTextWidth);
// The result of button 0..2 in a mode, and whether Enter presses the first
// when no button has the focus.
int confirmButtonResult(int mode, int button);
bool confirmEnterActs(int mode);
// The message's lines: split at every run of CR and LF.
QStringList confirmLines(const QString& message);

class ConfirmBox : public QDialog {
    Q_OBJECT
public:
    ConfirmBox(QWidget* owner, const QString& message, int mode, const QString& checkText = QString());
    ~ConfirmBox() override;

    // Shows the box modally; returns the result code. If checked is given it
    // receives whether the check box was ticked.
    static int ask(QWidget* owner, const QString& message, int mode, const QString& checkText = QString(),
                   bool* checked = nullptr);

    // Valid after the box has ended (and while it runs).
    bool checkBoxTicked() const { return ticked_; }
    const ConfirmLayout& layout() const { return layout_; }
    const QStringList& lines() const { return lines_; }
    SkinButton* button(int index) const { return buttons_[index]; }
    SkinCheckBox* checkBox() const { return check_; }

    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void finish(int button);
    void paintBackground();

    int mode_;
    QStringList lines_;
    ConfirmLayout layout_;
    SkinButton* buttons_[3];
    SkinCheckBox* check_;
    QImage background_;
    bool ticked_ = false;
    bool ending_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;
};

} // namespace qf::ui
