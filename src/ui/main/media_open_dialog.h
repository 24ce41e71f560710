#pragma once
// The open dialog of the convert view: files, or folders whose media files
// are all added. Qt's own dialog opens a selected folder on Open; here Open
// takes the selection as it stands (files and folders alike), and a double
// click or Enter on a folder still goes into it, as does Enter after a
// folder's name or path typed into the name field.

#include <QFileDialog>
#include <QStringList>

namespace qf::ui {

class MediaOpenDialog : public QFileDialog {
    Q_OBJECT
public:
    MediaOpenDialog(QWidget* parent, const QString& title, const QStringList& nameFilters);

    // What Open took; empty before Open or after Cancel.
    QStringList chosen() const { return chosen_; }

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    qsizetype typedNames() const;

    QStringList chosen_;
};

} // namespace qf::ui
