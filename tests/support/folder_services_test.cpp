// BrowseForFolder through a scripted browser, MakeFolder and DeleteFolder on
// real folders.
#include "../platform/desktop_testkit.h"
#include "support/frm_file_io.h"
#include "support/mod_file_shell.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using namespace quarrix;

// Cancel and the owner window are the main window's tests.
TEST(BrowseForFolder, TheChosenFolderLosesItsTrailingSeparatorButTheRootStays)
{
    testkit::ScriptedFolderChooser browser;
    browser.choose(QStringLiteral("/data/games/"));
    browser.choose(QStringLiteral("/"));
    EXPECT_EQ(frmFile_IO::BrowseForFolder(QStringLiteral("/before"), nullptr), QStringLiteral("/data/games"));
    EXPECT_EQ(frmFile_IO::BrowseForFolder(QString(), nullptr), QStringLiteral("/"));
    EXPECT_EQ(browser.titles.value(0), QStringLiteral("Select your Windows\\System\\ directory"));
}

class Folders : public testing::Test {
protected:
    QString path(const QString& relative) const { return QDir(root.path()).filePath(relative); }
    // Makes the file and any folders above it.
    void makeFile(const QString& relative) const
    {
        QDir(root.path()).mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    QTemporaryDir root;
};

TEST_F(Folders, MakeFolderCreatesOneLevelAndSwallowsErrors)
{
    makeFile("kept/inside");
    makeFile("plain");
    for (const char* folder : {"temp/", "kept", "missing/child", "plain"})
        frmFile_IO::MakeFolder(path(folder));
    EXPECT_TRUE(QFileInfo(path("temp")).isDir());
    EXPECT_TRUE(QFileInfo::exists(path("kept/inside")));
    EXPECT_FALSE(QFileInfo::exists(path("missing")));
    EXPECT_TRUE(QFileInfo(path("plain")).isFile());
}

// The main window's start-up test removes an ordinary tree.
TEST_F(Folders, DeleteFolderRemovesFileOrTreeButNotWhatLinksPointTo)
{
    makeFile("temp/a/read-only");
    makeFile("outside/precious");
    makeFile("single");
    QFile(path("temp/a/read-only")).setPermissions(QFileDevice::ReadOwner);
    ASSERT_TRUE(QFile::link(path("outside"), path("temp/a/link")));
    platform::SetBusyCursor();  // afterwards the default shape, not what was there before
    for (const char* target : {"temp", "single", "never-there"})
        modFileShell::DeleteFolder(path(target));
    EXPECT_FALSE(QFileInfo::exists(path("temp")));
    EXPECT_FALSE(QFileInfo::exists(path("single")));
    EXPECT_TRUE(QFileInfo::exists(path("outside/precious")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
