// The application directory and where the program's own files are: those it
// ships with (the guide, the About picture and music) and those it makes (the
// options file, the temporary folder).
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

// A copy run from its own folder (a build, or that folder copied anywhere)
// keeps Options.ini and temp beside itself when it may write there. An
// installed copy, and one whose folder is read-only, keeps them in the user's
// directories instead: these two return ~/.config/quarrix and
// ~/.cache/quarrix (XDG_CONFIG_HOME, XDG_CACHE_HOME), made when missing.
QString SettingsDirectory();
QString WorkingDirectory();

// Gives a first start the usual archive types: when the options file is kept
// in the user's directory and none is there yet, the one the program ships
// with (AssetPath) is copied there. A copy that keeps its files beside itself
// gets its copy from the build; without a shipped file nothing is made, and
// an existing options file is never replaced.
void PlaceDefaultOptionsFile();

// A file the program ships with ("help.html", "BH.jpg"): beside the program
// when it is there, else in the installed data directory
// (<prefix>/share/quarrix, found from <prefix>/bin), else the path beside the
// program all the same.
QString AssetPath(QStringView name);

// A Qt path as the operating system spells it.
std::filesystem::path ToFsPath(const QString& path);

}  // namespace quarrix::platform
