#include "ui/main/media_open_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>

namespace qf::ui {

MediaOpenDialog::MediaOpenDialog(QWidget* parent, const QString& title, const QStringList& nameFilters)
    : QFileDialog(parent, title)
{
    // A desktop's own dialog would open the folder instead of taking it.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::ExistingFiles);
    setOption(QFileDialog::ReadOnly, false);
    setNameFilters(nameFilters);
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->installEventFilter(this);
}

bool MediaOpenDialog::eventFilter(QObject* watched, QEvent* event)
{
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit || event->type() != QEvent::KeyPress)
        return QFileDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const QString typed = edit->text().trimmed();
    if ((key != Qt::Key_Return && key != Qt::Key_Enter) || typed.isEmpty() || typed.contains(u'"'))
        return QFileDialog::eventFilter(watched, event);
    const QString path = QDir(directory().absolutePath()).absoluteFilePath(typed);
    if (!QFileInfo(path).isDir())
        return QFileDialog::eventFilter(watched, event);
    // A typed folder is gone into, as in every file dialog; Open still takes it.
    setDirectory(path);
    edit->clear();
    return true;
}

qsizetype MediaOpenDialog::typedNames() const
{
    const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit)
        return 0;
    const QString text = edit->text().trimmed();
    if (!text.contains(u'"'))
        return text.isEmpty() ? 0 : 1;
    // Several names: each in quotes, as the dialog writes them.
    return text.count(u'"') / 2;
}

void MediaOpenDialog::accept()
{
    const QStringList selected = selectedFiles();
    bool anyFolder = false;
    for (const QString& path : selected)
        anyFolder = anyFolder || QFileInfo(path).isDir();
    if (!anyFolder) {
        // Files only: Qt checks they exist and refuses (with its box) when not.
        QFileDialog::accept();
        if (result() == QDialog::Accepted)
            chosen_ = selectedFiles();
        return;
    }
    // The selection leaves out typed names that do not exist; a name typed
    // wrong keeps the dialog open for a correction rather than being dropped.
    if (typedNames() > selected.size())
        return;
    chosen_ = selected;
    QDialog::accept();
}

} // namespace qf::ui
