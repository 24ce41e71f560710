#pragma once
// SavePresetDialog: asks for the name of a new user preset. It lies exactly
// over the parameter panel and appears in three steps, one every 150 ms: the
// picture of the panel it was handed, a white area, then the final look (a
// rounded frame round the name field and a band in the skin colour saying
// that any name may be typed). Only then are the name field and the buttons
// "保存" and "取消" shown, and the field takes the focus.
//
// "保存" (or Enter in the field) ends the dialog with success when a name has
// been typed; a blank name puts the focus back into the field and the dialog
// stays. "取消" (or Escape) ends it without success. UI thread only.

#include <QBasicTimer>
#include <QDialog>
#include <QImage>

class QLineEdit;

namespace qf::ui {

class SkinButton;

class SavePresetDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxNameLength = 13; // characters
    static constexpr int kStepMs = 150;

    enum Step { kBackgroundStep = 1, kWhiteStep = 2, kFinalStep = 3 };

    // placement: the rectangle it covers, in global coordinates; background:
    // the picture shown in its first step.
    SavePresetDialog(QWidget* parent, const QRect& placement, const QImage& background);
    ~SavePresetDialog() override;

    // The name as typed.
    QString name() const;
    // Runs the dialog modally; true, with *name set, when the user saved a name.
    static bool ask(QWidget* parent, const QRect& placement, const QImage& background, QString* name);

    Step step() const { return step_; }
    QLineEdit* nameEdit() const { return edit_; }
    SkinButton* saveButton() const { return save_; }
    SkinButton* cancelButton() const { return cancel_; }

    // The final picture's parts, in pixels of the dialog.
    static QRect editRect();
    static QRect frameRect();
    static QRect bandRect(QSize dialog);
    static int bandLineY(QSize dialog);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void advance();
    void trySave();

    QImage background_;
    QLineEdit* edit_;
    SkinButton* save_;
    SkinButton* cancel_;
    QBasicTimer timer_;
    Step step_ = kBackgroundStep;
};

} // namespace qf::ui
