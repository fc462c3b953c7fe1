#include "search.h"

#include "platform/stop_signals.h"

namespace quarrix {

namespace {

bool isSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

// The last `count` characters of `text`, a surrogate pair counting as one.
QStringView lastCharacters(QStringView text, int count)
{
    qsizetype start = text.size();
    for (int taken = 0; taken < count && start > 0; ++taken) {
        --start;
        if (start > 0 && text[start].isLowSurrogate() && text[start - 1].isHighSurrogate())
            --start;
    }
    return text.sliced(start);
}

QString trimmedOfBlanks(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ')
        ++start;
    while (end > start && text[end - 1] == u' ')
        --end;
    return text.sliced(start, end - start);
}

}  // namespace

Search_::Search_(SearchProgress& progress) : progress_(progress) {}

QString Search_::DirectoryPath(const QString& strPath)
{
    QString path = trimmedOfBlanks(strPath);
    if (!path.isEmpty() && isSeparator(path.back()))
        path.chop(1);
    return path + u'/';
}

void Search_::TrouveFichier(const QString& strPath_Search, const QString& strExtension, bool sMode)
{
    lstFiles.New_Array(QStringLiteral("s"));
    lstDirs.New_Array(QStringLiteral("s"));
    RecurseMode = sMode;
    strExtensions.clear();
    for (const QString& piece : strExtension.split(u'|')) {
        if (piece.toUcs4().size() == 3)
            strExtensions.append(piece.toUpper());
    }
    listed_.clear();
    Walk_Directories(strPath_Search, lstFiles, lstDirs);
}

void Search_::Walk_Directories(const QString& strPath, Easy_Array& lstFound, Easy_Array& lstPending)
{
    lstPending.AddItem(strPath);
    progress_.searchStarted();
    do {
        Scan_Directory(lstPending.List(0).toString(), QStringLiteral("*.*"), lstFound, lstPending);
        lstPending.RemoveItem(0);
    } while (lstPending.ListCount() != 0 && !platform::StopRequested());
    progress_.searchFinished();
}

void Search_::Scan_Directory(const QString& strPath, const QString& strPattern, Easy_Array& lstFound,
                             Easy_Array& lstPending)
{
    const QString directory = DirectoryPath(strPath);
    platform::WIN32_FIND_DATAA entry;
    const QByteArray query = (directory + strPattern).toUtf8();
    const platform::ScopedFind search(
        platform::FindFirstFileA(query.constData(), &entry, platform::FindDetail::KindAndName));
    if (search.get() == platform::INVALID_HANDLE_VALUE)
        return;
    // Reached again through a link: listed already.
    if (!listed_.insert(platform::FindDirectoryIdentity(search.get())).second)
        return;
    do {
        handleEntry(directory, entry, lstFound, lstPending);
        progress_.betweenEntries();
    } while (!platform::StopRequested() && platform::FindNextFileA(search.get(), &entry));
}

void Search_::handleEntry(const QString& directory, const platform::WIN32_FIND_DATAA& entry,
                          Easy_Array& lstFound, Easy_Array& lstPending)
{
    // The name is taken whole: one with leading blanks is a different file.
    const char* name = entry.cFileName;
    if (entry.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) {
        if (name[0] != '.' && RecurseMode)
            lstPending.AddItem(directory + QString::fromUtf8(name) + u'/', 1);
        return;
    }
    const QString full = directory + QString::fromUtf8(name);
    progress_.fileExamined(full);
    if (strExtensions.isEmpty())
        return;
    const QString ending = lastCharacters(full, 3).toString().toUpper();
    for (const QString& extension : std::as_const(strExtensions)) {
        if (ending == extension)
            lstFound.AddItem(full);
    }
}

}  // namespace quarrix
