#include "frm_file_io.h"

#include "platform/folder_dialog.h"
#include "platform/paths.h"

#include <QDir>

#include <filesystem>
#include <system_error>

namespace quarrix::frmFile_IO {

namespace {

QString withoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

}  // namespace

QString BrowseForFolder(const QString& Default, QWidget* owner)
{
    const QString chosen = platform::ChooseFolder(owner, QString::fromUtf16(kBrowseTitle));
    if (chosen.isEmpty())
        return Default;
    return QDir::toNativeSeparators(withoutTrailingSeparator(QDir::fromNativeSeparators(chosen)));
}

void MakeFolder(const QString& path)
{
    std::error_code ignored;
    std::filesystem::create_directory(platform::ToFsPath(path), ignored);
}

}  // namespace quarrix::frmFile_IO
