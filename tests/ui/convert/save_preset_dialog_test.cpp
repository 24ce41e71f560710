// The save-preset dialog: its three steps, the name field's limit, the
// refusal of a blank name, and the modal ask().
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include "ui/controls/skin_button.h"
#include "ui/convert/save_preset_dialog.h"
#include "ui/skin/skin.h"

using namespace qf::ui;

namespace {

const QRect kPlacement(40, 60, 846, 160);

QImage panelPicture()
{
    QImage image(kPlacement.size(), QImage::Format_RGB32);
    image.fill(QColor(Qt::red));
    return image;
}

bool waitFor(const std::function<bool()>& done, int ms = 3000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

void type(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(w, &press);
    }
}

void pressKey(QWidget* w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
}

QColor pixelOf(QWidget* w, QPoint at) { return w->grab().toImage().pixelColor(at); }

} // namespace

TEST(SavePresetDialog, AppearsInThreeStepsAndThenOffersTheNameField)
{
    SavePresetDialog dialog(nullptr, kPlacement, panelPicture());
    EXPECT_EQ(dialog.geometry(), kPlacement);
    dialog.show();
    EXPECT_EQ(dialog.step(), SavePresetDialog::kBackgroundStep);
    EXPECT_EQ(pixelOf(&dialog, QPoint(400, 80)), QColor(Qt::red)) << "the panel's picture first";
    EXPECT_FALSE(dialog.nameEdit()->isVisible());
    EXPECT_FALSE(dialog.saveButton()->isVisible());

    ASSERT_TRUE(waitFor([&] { return dialog.step() == SavePresetDialog::kWhiteStep; }));
    EXPECT_EQ(pixelOf(&dialog, QPoint(400, 80)), QColor(Qt::white));
    EXPECT_EQ(pixelOf(&dialog, QPoint(400, 150)), QColor(Qt::white)) << "no band yet";
    EXPECT_FALSE(dialog.nameEdit()->isVisible());

    ASSERT_TRUE(waitFor([&] { return dialog.step() == SavePresetDialog::kFinalStep; }));
    EXPECT_TRUE(dialog.nameEdit()->isVisible());
    EXPECT_TRUE(dialog.saveButton()->isVisible());
    EXPECT_TRUE(dialog.cancelButton()->isVisible());
    EXPECT_EQ(dialog.focusWidget(), dialog.nameEdit());
    EXPECT_EQ(dialog.saveButton()->text(), QStringLiteral("保存"));
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("取消"));
    EXPECT_EQ(dialog.nameEdit()->geometry(), QRect(72, 40, 108, 16));
    EXPECT_EQ(dialog.saveButton()->geometry(), QRect(24, 132, 56, 18));
    EXPECT_EQ(dialog.cancelButton()->geometry(), QRect(104, 132, 56, 18));

    // The final picture: the band in the skin colour with white text in its middle,
    // the white area above it, and the frame round the field.
    QFont solid = dialog.font();
    solid.setStyleStrategy(QFont::NoAntialias);
    dialog.setFont(solid);
    const QImage image = dialog.grab().toImage();
    const QRect band = SavePresetDialog::bandRect(dialog.size());
    EXPECT_EQ(image.pixelColor(band.right() - 2, band.bottom() - 2), skin::skinColor());
    EXPECT_EQ(image.pixelColor(band.right() - 2, SavePresetDialog::bandLineY(dialog.size())), skin::skinColor());
    EXPECT_EQ(image.pixelColor(band.right() - 2, band.top() - 8), QColor(Qt::white));
    int white = 0;
    const QRect textArea(band.center().x() - 90, band.top(), 180, band.height());
    for (int y = textArea.top(); y <= textArea.bottom(); ++y)
        for (int x = textArea.left(); x <= textArea.right(); ++x)
            white += image.pixelColor(x, y) == QColor(Qt::white);
    EXPECT_GT(white, 40) << "(选择机型)可以任意输入。";
    const QRect frame = SavePresetDialog::frameRect();
    EXPECT_NE(image.pixelColor(frame.center().x(), frame.top()), QColor(Qt::white)) << "the frame's top edge";
    EXPECT_EQ(image.pixelColor(frame.center().x(), frame.top() - 4), QColor(Qt::white));
    // The field's caption, in the skin colour left of the frame.
    int caption = 0;
    for (int y = frame.top(); y <= frame.bottom(); ++y)
        for (int x = 0; x < frame.left() - 2; ++x)
            caption += image.pixelColor(x, y) == skin::skinColor();
    EXPECT_GT(caption, 30) << "预设名称:";

    // It stays final.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 400)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(dialog.step(), SavePresetDialog::kFinalStep);
}

TEST(SavePresetDialog, RefusesABlankNameAndTakesAtMostThirteenCharacters)
{
    SavePresetDialog dialog(nullptr, kPlacement, panelPicture());
    dialog.open();
    ASSERT_TRUE(waitFor([&] { return dialog.step() == SavePresetDialog::kFinalStep; }));
    QLineEdit* edit = dialog.nameEdit();

    dialog.saveButton()->setFocus();
    dialog.saveButton()->click();
    EXPECT_TRUE(dialog.isVisible()) << "an empty name is refused";
    EXPECT_EQ(dialog.focusWidget(), edit) << "and the focus is back in the field";
    type(edit, QStringLiteral("   "));
    pressKey(edit, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "blanks alone are no name";
    edit->clear();

    type(edit, QStringLiteral("一二三四五六七八九十甲乙丙丁戊"));
    EXPECT_EQ(edit->text(), QStringLiteral("一二三四五六七八九十甲乙丙"));
    EXPECT_EQ(dialog.name().size(), SavePresetDialog::kMaxNameLength);
    dialog.saveButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.name(), QStringLiteral("一二三四五六七八九十甲乙丙"));
}

TEST(SavePresetDialog, AskAnswersTheNameOnSaveAndNothingOnCancel)
{
    // Answers the running dialog once its field is shown.
    auto answer = [](const QString& name, bool save) {
        QTimer::singleShot(0, [name, save] {
            auto* dialog = qobject_cast<SavePresetDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            ASSERT_TRUE(waitFor([&] { return dialog->step() == SavePresetDialog::kFinalStep; }));
            type(dialog->nameEdit(), name);
            (save ? dialog->saveButton() : dialog->cancelButton())->click();
        });
    };

    QString name = QStringLiteral("unchanged");
    answer(QStringLiteral("DVD 影片"), true);
    EXPECT_TRUE(SavePresetDialog::ask(nullptr, kPlacement, panelPicture(), &name));
    EXPECT_EQ(name, QStringLiteral("DVD 影片")) << "stored as typed";

    name = QStringLiteral("unchanged");
    answer(QStringLiteral("不要"), false);
    EXPECT_FALSE(SavePresetDialog::ask(nullptr, kPlacement, panelPicture(), &name));
    EXPECT_EQ(name, QStringLiteral("unchanged"));

    // Escape cancels as well, even before the field is shown.
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        pressKey(dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(SavePresetDialog::ask(nullptr, kPlacement, QImage(), &name));
}
