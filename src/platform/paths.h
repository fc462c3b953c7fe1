// The application directory and the paths the program keeps beside itself.
#pragma once

#include <QString>
#include <QStringView>
#include <filesystem>

namespace quarrix::platform {

// The directory that holds the program file, without a trailing separator.
QString ApplicationDirectory();

// Points the application directory elsewhere (tests use a temporary folder so
// that they never touch the real Options.ini or temp folder). An empty text
// goes back to the directory of the executable.
void SetApplicationDirectory(const QString& directory);

// Joins a directory and a relative name written with "\" between levels
// ("Options.ini", "temp\"), using the native separator throughout. A trailing
// "\" in the name is kept as a trailing separator.
QString JoinPath(const QString& directory, QStringView relative);

// JoinPath(ApplicationDirectory(), relative).
QString AppPath(QStringView relative);

// A Qt path as the operating system spells it.
std::filesystem::path ToFsPath(const QString& path);

}  // namespace quarrix::platform
