#include "mod_file_shell.h"

#include "platform/desktop.h"
#include "platform/paths.h"

#include <filesystem>
#include <system_error>

namespace quarrix::modFileShell {

void DeleteFolder(const QString& path)
{
    platform::SetBusyCursor();
    std::error_code ignored;
    std::filesystem::remove_all(platform::ToFsPath(path), ignored);
    platform::SetDefaultCursor();
}

}  // namespace quarrix::modFileShell
