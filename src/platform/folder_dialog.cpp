#include "folder_dialog.h"

#include <QDir>
#include <QFileDialog>

namespace quarrix::platform {

namespace {

class QtFolderChooser final : public FolderChooser {
public:
    QString chooseFolder(QWidget* owner, const QString& title) override
    {
        // The browser starts at the top of the person's own files, as a
        // desktop-rooted browser would.
        return QFileDialog::getExistingDirectory(owner, title, QDir::homePath(), QFileDialog::ShowDirsOnly);
    }
};

FolderChooser*& installedChooser()
{
    static FolderChooser* chooser = nullptr;
    return chooser;
}

}  // namespace

FolderChooser* InstallFolderChooser(FolderChooser* chooser)
{
    FolderChooser* previous = installedChooser();
    installedChooser() = chooser;
    return previous;
}

QString ChooseFolder(QWidget* owner, const QString& title)
{
    if (FolderChooser* chooser = installedChooser())
        return chooser->chooseFolder(owner, title);
    QtFolderChooser qtChooser;
    return qtChooser.chooseFolder(owner, title);
}

}  // namespace quarrix::platform
