// modIniFiles: the options file Options.ini in the application directory. Each
// call reads or writes one value and goes to the file; nothing is cached.
//
// Layout of the file (every section and key the program uses):
//   [Recursivity]  Etat = "Checked" or "Unchecked"   (recursion of the scan)
//   [FileType]     Type_Count = number of archive extensions
//                  "0", "1", ... = one extension each, as the user typed it
// Readers ask for the extension keys with a leading blank (" 0") and find the
// written "0" because names match without regard to surrounding blanks.
#pragma once

#include <QString>

namespace quarrix::modIniFiles {

// Values come back cut to this many characters.
inline constexpr int kReadLimit = 49;

// The full path of Options.ini.
QString OptionsFilePath();

// The value of `key` in `section`, at most kReadLimit characters; empty when
// the file, the section or the key does not exist.
QString ReadIni(const QString& section, const QString& key);

// Stores `value` under `key` in `section`. A failed write only beeps.
void WriteIni(const QString& section, const QString& key, const QString& value);

}  // namespace quarrix::modIniFiles
