// The file finder on real directory trees: the depth-first order, the
// matching rule, start paths, links, unlistable directories and UTF-8 names.
#include "search/search.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;
using namespace quarrix;

namespace {

class Tree {
public:
    QString path(const QString& relative = QString()) const
    {
        return relative.isEmpty() ? dir_.path() : dir_.filePath(relative);
    }
    void file(const QString& relative) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile(path(relative)).open(QIODevice::WriteOnly);
    }

private:
    QTemporaryDir dir_;
};

QStringList items(const Easy_Array& list)
{
    QStringList all;
    for (qint32 i = 0; i < list.ListCount(); ++i)
        all.append(list.List(i).toString());
    return all;
}

QStringList search(const QString& start, const QString& extensions, bool recursive,
                   SearchProgress&& progress = SearchProgress())
{
    Search_ finder(progress);
    finder.TrouveFichier(start, extensions, recursive);
    return items(finder.lstFiles);
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// The promised order, built the other way round: a directory's matching
// files in the order the disk lists them, then its subdirectories from the
// one listed last to the first, each with its whole subtree.
QStringList depthFirst(const QString& directory, const QString& ending)
{
    QStringList files;
    QStringList subdirectories;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory.toStdString())) {
        const QString name = QString::fromStdString(entry.path().filename().string());
        if (entry.is_directory())
            subdirectories.prepend(directory + u'/' + name);
        else if (name.endsWith(ending, Qt::CaseInsensitive))
            files.append(directory + u'/' + name);
    }
    for (const QString& subdirectory : subdirectories)
        files += depthFirst(subdirectory, ending);
    return files;
}

TEST(Search, VisitsDirectoriesDepthFirstTheLastListedFirst)
{
    Tree tree;
    for (const char* name : {"a.hpi", "S1/c.hpi", "b.HPI", "S2/T/d.hpi", "S2/e.hpi", "S2/U/f.hpi",
                             "S3/g.hpi", ".hidden/h.hpi"})
        tree.file(QString::fromUtf8(name));
    QStringList expected = depthFirst(tree.path(), QStringLiteral(".hpi"));
    expected.removeIf([](const QString& path) { return path.contains(u"/.hidden/"); });
    ASSERT_EQ(expected.size(), 7);
    EXPECT_EQ(search(tree.path(), QStringLiteral("hpi|ufo|"), true), expected);
}

struct MatchCase {
    const char* name;
    QStringList files;
    QString extensions;
    QStringList found;
};

TEST(Search, MatchesTheLastThreeCharactersOfEveryPiece)
{
    const MatchCase cases[] = {
        {"no dot needed", {"readmehpi", "a.hpi", "a.txt"}, "hpi|", {"a.hpi", "readmehpi"}},
        {"case ignored, also beyond ASCII", {"b.HPI", "карта.тхт"}, "Hpi|ТХТ|",
         {"b.HPI", "карта.тхт"}},
        {"dotted, four-letter, two-letter and blanked pieces", {"a.hpi", "a.hpix", "b.gp"},
         ".hpi|hpix|gp| hpi|", {}},
        {"a piece given twice", {"a.hpi", "c.ufo"}, "hpi|hpi|ufo|", {"a.hpi", "a.hpi", "c.ufo"}},
        {"names shorter than three characters", {"pi", "i"}, "hpi|", {}},
        {"a file named like the extension", {".hpi"}, "hpi|", {".hpi"}},
        {"no pieces", {"a.hpi"}, "", {}},
    };
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        Tree tree;
        for (const QString& file : c.files)
            tree.file(file);
        QStringList expected;
        for (const QString& file : c.found)
            expected.append(tree.path(file));
        EXPECT_EQ(sorted(search(tree.path(), c.extensions, false)), sorted(expected));
    }
}

TEST(Search, StartPathsWithSeparatorOrBlanksGiveTheSameResult)
{
    Tree tree;
    tree.file(QStringLiteral("a.hpi"));
    tree.file(QStringLiteral("sub/b.hpi"));
    const QString plain = tree.path();
    const QStringList recursive = search(plain, QStringLiteral("hpi|"), true);
    EXPECT_EQ(recursive.size(), 2);
    for (const QString& start : {plain + u'/', QStringLiteral("  ") + plain + QStringLiteral("  "),
                                 plain + u'\\'})
        EXPECT_EQ(search(start, QStringLiteral("hpi|"), true), recursive) << start.toStdString();
    EXPECT_EQ(search(plain, QStringLiteral("hpi|"), false), QStringList{tree.path("a.hpi")});
}

TEST(Search, ListsEachDirectoryOnceEvenThroughLinksAndNamesAsTheyAre)
{
    Tree tree;
    tree.file(QStringLiteral("Карта/x.hpi"));
    tree.file(QStringLiteral("地图/y.hpi"));
    const fs::path root = tree.path().toStdString();
    fs::create_directory_symlink(root, root / "loop");
    fs::create_directory_symlink("..", root / "地图" / "up");
    std::ofstream(root / "bad\xff.hpi");  // not UTF-8: the program cannot name it
    const QStringList found = search(tree.path(), QStringLiteral("hpi|"), true);
    EXPECT_EQ(sorted(found), sorted({tree.path("Карта/x.hpi"), tree.path("地图/y.hpi")}));
    for (const QString& path : found)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
}

// Removes the other directory while the first one is searched, after both
// were stacked.
class RemovingProgress : public SearchProgress {
public:
    explicit RemovingProgress(QString root) : root_(std::move(root)) {}
    void fileExamined(const QString& fullPath) override
    {
        const QString other = fullPath.contains(u"/A/") ? QStringLiteral("B") : QStringLiteral("A");
        QDir(root_ + u'/' + other).removeRecursively();
    }

private:
    QString root_;
};

TEST(Search, PassesOverADirectoryThatCannotBeListed)
{
    Tree tree;
    tree.file(QStringLiteral("A/a.hpi"));
    tree.file(QStringLiteral("B/b.hpi"));
    const QStringList found =
        search(tree.path(), QStringLiteral("hpi|"), true, RemovingProgress(tree.path()));
    ASSERT_EQ(found.size(), 1);
    EXPECT_TRUE(QFileInfo::exists(found[0]));
}

}  // namespace
