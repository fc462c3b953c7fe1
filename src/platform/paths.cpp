#include "paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace quarrix::platform {

namespace {
QString& overriddenDirectory()
{
    static QString directory;
    return directory;
}

QString withoutTrailingSeparators(QString path)
{
    while (path.size() > 1 && (path.endsWith(u'/') || path.endsWith(QDir::separator())))
        path.chop(1);
    return path;
}
}  // namespace

QString ApplicationDirectory()
{
    const QString& directory = overriddenDirectory();
    if (!directory.isEmpty())
        return directory;
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void SetApplicationDirectory(const QString& directory)
{
    overriddenDirectory() = directory.isEmpty()
        ? QString()
        : withoutTrailingSeparators(QDir::toNativeSeparators(directory));
}

QString JoinPath(const QString& directory, QStringView relative)
{
    QString name = relative.toString();
    name.replace(u'\\', u'/');
    while (name.startsWith(u'/'))
        name.remove(0, 1);
    QString joined = withoutTrailingSeparators(QDir::fromNativeSeparators(directory));
    if (!joined.endsWith(u'/'))
        joined += u'/';
    return QDir::toNativeSeparators(joined + name);
}

QString AppPath(QStringView relative)
{
    return JoinPath(ApplicationDirectory(), relative);
}

std::filesystem::path ToFsPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace quarrix::platform
