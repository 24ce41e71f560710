#pragma once
// OptionsPanel: the Options view. A button that puts a shortcut to the
// program on the desktop (and says so with a message that fades out), two
// boxes for the floating tips and the Start prompts, a box that shows
// whether a conversion runs, which the computer may be shut down after, and
// one that makes the outputs of a folder's files keep its subfolders.
// Options change at once; they reach the "cfg" file at exit. UI thread only.
//
// Also here: the shutdown sequence that the main window runs when the last
// queued task has finished and the user chose to shut down.

#include <QBasicTimer>
#include <QColor>
#include <QRect>
#include <QWidget>

#include <cstdint>

namespace qf::ui {

class SkinButton;
class SkinCheckBox;

class OptionsPanel : public QWidget {
    Q_OBJECT
public:
    enum ControlId : int {
        kShortcutId = 1032, // "创建桌面快捷方式"
        kFloatingTipsId = 1033, // showFloatingTips
        kPromptsId = 1034, // promptNoFiles and promptNoneChecked together
        kShutdownId = 1035, // shows whether a conversion runs
        kKeepTreeId = 1036, // keepFolderTree
    };
    static constexpr int kFadePeriodMs = 50;
    static constexpr uint32_t kFadeStart = 0xFFFFFF;
    static inline const QRect kMessageRect{QPoint(150, 20), QPoint(279, 41)}; // (150, 20)-(280, 42)

    // hub: the main window, asked REQ_IS_CONVERTING each time the panel is
    // shown (null: never converting).
    explicit OptionsPanel(QObject* hub, QWidget* parent = nullptr);

    QWidget* control(int id) const;

    // Where 1032 puts the shortcut: the XDG desktop folder, and the running
    // program. Made the same way every time it is clicked.
    void createShortcut();

    // The success message's colour as 0x00BBGGRR; the skin colour at rest,
    // so the message is only seen while it fades.
    uint32_t messageColourRef() const { return messageColour_; }
    QColor messageColour() const;
    bool fading() const { return fadeTimer_.isActive(); }
    // One tick of the fade, as the 50 ms timer runs it; nothing at rest.
    void stepFade();
    // The colour that follows c: 0x020202 less down to 0xE0E0E1, then
    // 0x090909 less; below 0xA0A0A0 the fade ends at the skin colour.
    static uint32_t nextFadeColour(uint32_t c);

    // Reads the options and the conversion state into the boxes, as every
    // showing does.
    void refresh();

Q_SIGNALS:
    // The user turned "保持文件夹结构" on or off.
    void keepFolderTreeChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    bool converting() const;
    void startFade();

    QObject* hub_;
    SkinButton* shortcut_;
    SkinCheckBox* floatingTips_;
    SkinCheckBox* prompts_;
    SkinCheckBox* shutdown_;
    SkinCheckBox* keepTree_;
    uint32_t messageColour_;
    QBasicTimer fadeTimer_;
};

// The power-off of REQ_ALL_DONE: asks the system to power off in 60 seconds
// with a message that says how to cancel it (`shutdown -c`). True when the
// request was accepted (the main window then closes); false when the
// `shutdown` command is missing or refuses, and the window stays open.
bool runShutdownSequence();

} // namespace qf::ui
