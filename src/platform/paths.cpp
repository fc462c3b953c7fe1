#include "paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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

QString installedDataDirectory()
{
    return QDir::toNativeSeparators(
        QDir::cleanPath(ApplicationDirectory() + QStringLiteral("/" QUARRIX_DATA_FROM_BIN)));
}

// An installed copy finds its guide in the data directory, not beside itself.
// Its bin directory is shared with other programs, so it keeps nothing there
// even when it could write there (root, or an install into ~/.local).
bool keepsFilesBesideItself()
{
    const QString marker = QStringLiteral("help.html");
    const bool installed = !QFileInfo::exists(JoinPath(ApplicationDirectory(), marker)) &&
                           QFileInfo::exists(JoinPath(installedDataDirectory(), marker));
    return !installed && QFileInfo(ApplicationDirectory()).isWritable();
}

QString usersDirectory(QStandardPaths::StandardLocation location)
{
    const QString directory = JoinPath(QStandardPaths::writableLocation(location), u"quarrix");
    QDir().mkpath(directory);
    return directory;
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
    overriddenDirectory() =
        directory.isEmpty() ? QString() : withoutTrailingSeparators(QDir::toNativeSeparators(directory));
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

QString SettingsDirectory()
{
    return keepsFilesBesideItself() ? ApplicationDirectory()
                                    : usersDirectory(QStandardPaths::GenericConfigLocation);
}

QString WorkingDirectory()
{
    return keepsFilesBesideItself() ? ApplicationDirectory()
                                    : usersDirectory(QStandardPaths::GenericCacheLocation);
}

void PlaceDefaultOptionsFile()
{
    const QString settings = SettingsDirectory();
    if (settings == ApplicationDirectory())
        return;
    const QString options = JoinPath(settings, u"Options.ini");
    const QString shipped = AssetPath(u"Options.ini");
    if (!QFileInfo::exists(options) && QFileInfo::exists(shipped))
        QFile::copy(shipped, options);
}

QString AssetPath(QStringView name)
{
    const QString beside = JoinPath(ApplicationDirectory(), name);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = JoinPath(installedDataDirectory(), name);
    return QFileInfo::exists(installed) ? installed : beside;
}

std::filesystem::path ToFsPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace quarrix::platform
