// The folder browser. Tests install a scripted chooser that answers with a
// prepared folder (or a cancel) and records the title it was shown with.
#pragma once

#include <QString>

class QWidget;

namespace quarrix::platform {

class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // Lets the person pick an existing folder; an empty text means cancelled.
    virtual QString chooseFolder(QWidget* owner, const QString& title) = 0;
};

// Makes `chooser` answer every ChooseFolder from now on; nullptr restores the
// Qt dialog. Returns the previously installed chooser (nullptr for the Qt one).
FolderChooser* InstallFolderChooser(FolderChooser* chooser);

// Modal folder browser over `owner` with `title`; empty when cancelled.
QString ChooseFolder(QWidget* owner, const QString& title);

}  // namespace quarrix::platform
