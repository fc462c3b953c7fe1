// frmFile_IO: choosing a folder through the folder browser, and creating one
// folder.
#pragma once

#include <QString>

class QWidget;

namespace quarrix::frmFile_IO {

// The title of the folder browser, whatever the folder is chosen for.
inline constexpr char16_t kBrowseTitle[] = u"Select your Windows\\System\\ directory";

// The folder the person confirmed, with native separators and without a
// trailing separator (a root keeps its own); `Default` when cancelled.
QString BrowseForFolder(const QString& Default, QWidget* owner);

// Creates the folder named by `path` (only its last level; a trailing
// separator is allowed). Every error is ignored: the folder exists already,
// the parent is missing, no access.
void MakeFolder(const QString& path);

}  // namespace quarrix::frmFile_IO
