// modFileShell: deleting a folder tree.
#pragma once

#include <QString>

namespace quarrix::modFileShell {

// Deletes the file or folder named by `path`, a folder with everything below
// it, without confirmation and for good. The mouse pointer shows busy while it
// works and the default shape afterwards. The outcome is not reported.
void DeleteFolder(const QString& path);

}  // namespace quarrix::modFileShell
