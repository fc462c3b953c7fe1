// The file finder on real directory trees: the depth-first order, the
// matching rule, links, unlistable directories and UTF-8 names.
#include "search/search.h"

#include "platform/stop_signals.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;
using namespace quarrix;

namespace {

struct Tree : QTemporaryDir {
    explicit Tree(const QStringList& files)
    {
        for (const QString& file : files) {
            QDir().mkpath(QFileInfo(filePath(file)).path());
            QFile(filePath(file)).open(QIODevice::WriteOnly);
        }
    }
};

QStringList search(const QString& start, const QString& extensions, bool recursive,
                   SearchProgress&& progress = SearchProgress())
{
    Search_ finder(progress);
    finder.TrouveFichier(start, extensions, recursive);
    QStringList found;
    for (qint32 i = 0; i < finder.lstFiles.ListCount(); ++i)
        found.append(finder.lstFiles.List(i).toString());
    return found;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// The promised order, built the other way round: a directory's files in the
// order the disk lists them, then its subdirectories (but hidden ones) from
// the one listed last to the first, each with its whole subtree.
QStringList depthFirst(const QString& directory)
{
    QStringList files;
    QStringList subdirectories;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory.toStdString())) {
        const QString path = QString::fromStdString(entry.path().string());
        if (!entry.is_directory())
            files.append(path);
        else if (!entry.path().filename().string().starts_with('.'))
            subdirectories.prepend(path);
    }
    for (const QString& subdirectory : subdirectories)
        files += depthFirst(subdirectory);
    return files;
}

TEST(Search, VisitsDirectoriesDepthFirstTheLastListedFirst)
{
    Tree tree(
        {"a.hpi", "S1/c.hpi", "b.HPI", "S2/T/d.hpi", "S2/e.hpi", "S2/U/f.hpi", "S3/g.hpi", ".hidden/h.hpi"});
    EXPECT_EQ(search(tree.path(), "hpi|ufo|", true), depthFirst(tree.path()));
    EXPECT_EQ(search(tree.path(), "hpi|ufo|", false).size(), 2);
}

TEST(Search, MatchesTheLastThreeCharactersOfEveryPiece)
{
    const struct {
        const char* name;
        QStringList files;
        QString extensions;
        QStringList found;
    } cases[] = {
        {"no dot needed", {"readmehpi", "a.hpi", "a.txt"}, "hpi|", {"a.hpi", "readmehpi"}},
        {"case ignored, also beyond ASCII", {"b.HPI", "карта.тхт"}, "Hpi|ТХТ|", {"b.HPI", "карта.тхт"}},
        {"dotted, four, two letters, blanks", {"a.hpi", "a.hpix", "b.gp"}, ".hpi|hpix|gp| hpi|", {}},
        {"a piece given twice", {"a.hpi", "c.ufo"}, "hpi|hpi|ufo|", {"a.hpi", "a.hpi", "c.ufo"}},
        {"names shorter than three characters", {"pi", "i"}, "hpi|", {}},
        {"a file named like the extension", {".hpi"}, "hpi|", {".hpi"}},
        {"no pieces", {"a.hpi"}, "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tree tree(c.files);
        QStringList expected;
        for (const QString& file : c.found)
            expected.append(tree.filePath(file));
        EXPECT_EQ(sorted(search(tree.path(), c.extensions, false)), sorted(expected));
    }
}

TEST(Search, ListsEachDirectoryOnceEvenThroughLinksAndNamesAsTheyAre)
{
    Tree tree({"Карта/x.hpi", "地图/y.hpi"});
    const fs::path root = tree.path().toStdString();
    fs::create_directory_symlink(root, root / "loop");
    fs::create_directory_symlink("..", root / "地图" / "up");
    std::ofstream(root / "bad\xff.hpi") << "12345";  // not UTF-8: the program cannot name it
    const QStringList found = search(tree.path(), "hpi|", true);
    EXPECT_EQ(sorted(found), sorted({tree.filePath("Карта/x.hpi"), tree.filePath("地图/y.hpi")}));
    for (const QString& path : found)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();

    // The full record: lengths, and a link's identity is its target's.
    std::ofstream(root / "five.bin") << "12345";
    platform::WIN32_FIND_DATAA record;
    platform::FindHandle listing = platform::FindFirstFileA((root / "*").c_str(), &record);
    ASSERT_NE(listing, platform::INVALID_HANDLE_VALUE);
    std::map<std::string, platform::WIN32_FIND_DATAA> records;
    do
        records[record.cFileName] = record;
    while (platform::FindNextFileA(listing, &record));
    EXPECT_EQ(records.at("five.bin").nFileSize, 5u);
    EXPECT_EQ(records.at("loop").identity, platform::FindDirectoryIdentity(listing));
    platform::FindClose(listing);
    fs::remove(root / "bad\xff.hpi");  // Qt cannot name it either
}

std::size_t openDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(Search, EndsEveryListingItStartsOnEveryPath)
{
    // A directory reached again through a link is left at once: that early
    // way out must end its listing too, or a big tree of links would run out
    // of descriptors.
    Tree tree({"a/x.hpi", "b/y.hpi"});
    const fs::path root = tree.path().toStdString();
    for (int i = 0; i < 50; ++i)
        fs::create_directory_symlink(root / "a", root / "b" / ("to-a-" + std::to_string(i)));
    const std::size_t before = openDescriptors();
    EXPECT_EQ(search(tree.path(), "hpi|", true).size(), 2);
    EXPECT_EQ(openDescriptors(), before);
}

// While one of two stacked directories is searched, removes the other.
struct RemovingTheOther : SearchProgress {
    void fileExamined(const QString& fullPath) override
    {
        QDir parent = QFileInfo(fullPath).dir();
        const QString other = parent.dirName() == u"A" ? QStringLiteral("B") : QStringLiteral("A");
        parent.cdUp();
        QDir(parent.filePath(other)).removeRecursively();
    }
};

TEST(Search, PassesOverADirectoryThatCannotBeListed)
{
    Tree tree({"A/a.hpi", "B/b.hpi"});
    const QStringList found = search(tree.path(), "hpi|", true, RemovingTheOther());
    ASSERT_EQ(found.size(), 1);
    EXPECT_TRUE(QFileInfo::exists(found[0]));
}

// Ctrl-C while the first file is looked at (once: a second one would end
// the test program).
struct StoppingAtTheFirstFile : SearchProgress {
    void fileExamined(const QString&) override
    {
        if (!platform::StopRequested())
            platform::RequestStop(SIGINT);
    }
};

TEST(Search, EndsAtTheNextEntryOnceAStopIsRequestedKeepingWhatItFound)
{
    Tree tree({"a.hpi", "b.hpi", "S1/c.hpi", "S2/d.hpi"});
    const platform::StopSignalScope stopSignals;
    const QStringList found = search(tree.path(), "hpi|", true, StoppingAtTheFirstFile());
    ASSERT_EQ(found.size(), 1);
    EXPECT_TRUE(found[0].endsWith(u"a.hpi") || found[0].endsWith(u"b.hpi")) << found[0].toStdString();
}

}  // namespace
