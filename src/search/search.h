// Search_: finds, under one start directory (and on request in all its
// subdirectories), every file whose full path ends in one of a set of
// three-character extensions, in a fixed depth-first order.
//
// The finder knows no window: it reports its walk to a SearchProgress, so the
// main window's scan and the command line run the same search.
#pragma once

#include "platform/find_file.h"
#include "support/easy_array.h"

#include <QString>
#include <QStringList>

#include <set>

namespace quarrix {

// What a search tells while it walks; each report does nothing by default.
class SearchProgress {
public:
    virtual ~SearchProgress() = default;
    virtual void searchStarted() {}
    // Every file entry, matching or not, with its full path.
    virtual void fileExamined(const QString& fullPath) { Q_UNUSED(fullPath); }
    // Between two entries of a directory, before the next one is read.
    virtual void betweenEntries() {}
    virtual void searchFinished() {}
};

class Search_ {
public:
    explicit Search_(SearchProgress& progress);

    // The result of the last search: the full path of every matching file,
    // in the order found.
    Easy_Array lstFiles;

    // Searches strPath_Search (blanks around it ignored, a trailing separator
    // optional) for files whose last three characters equal, without regard to
    // case, a piece of strExtension split at "|". Pieces that are not three
    // characters long (".hpi", "gp", the empty piece after a final "|") match
    // nothing; a piece given twice lists its files twice. sMode true enters
    // subdirectories too, except those whose names begin with ".".
    //
    // Within a directory, files come in the order the disk lists them, and
    // before any file of its subdirectories; of the subdirectories, the one
    // listed last is searched first, its whole subtree before the next one.
    // A directory that cannot be listed is passed over, and no directory is
    // listed twice (a link leading back up ends there). A stop asked for by
    // a signal (platform/stop_signals.h) ends the search between two
    // entries, lstFiles holding what was found until then.
    void TrouveFichier(const QString& strPath_Search, const QString& strExtension, bool sMode = false);

    // A directory path as the search lists it: blanks at both ends removed,
    // and ending with "/" (a trailing "\" counts as the separator and becomes
    // "/").
    static QString DirectoryPath(const QString& strPath);

private:
    void Walk_Directories(const QString& strPath, Easy_Array& lstFound, Easy_Array& lstPending);
    void Scan_Directory(const QString& strPath, const QString& strPattern, Easy_Array& lstFound,
                        Easy_Array& lstPending);
    void handleEntry(const QString& directory, const platform::WIN32_FIND_DATAA& entry, Easy_Array& lstFound,
                     Easy_Array& lstPending);

    QStringList strExtensions;  // the pieces that can match, upper-cased
    Easy_Array lstDirs;         // position 0: the directory being searched; 1: the top of the stack
    bool RecurseMode = false;

    std::set<platform::FileIdentity> listed_;
    SearchProgress& progress_;
};

}  // namespace quarrix
