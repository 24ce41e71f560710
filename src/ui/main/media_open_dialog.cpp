#include "ui/main/media_open_dialog.h"

#include <QFileInfo>
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

}  // namespace qf::ui
