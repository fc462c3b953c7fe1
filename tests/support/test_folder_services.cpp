// BrowseForFolder through a scripted browser, MakeFolder and DeleteFolder on
// real folders.
#include "../platform/desktop_testkit.h"
#include "support/frm_file_io.h"
#include "support/mod_file_shell.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using namespace quarrix;

TEST(BrowseForFolder, ReturnsTheChosenFolderWithoutTrailingSeparatorAndTheDefaultOnCancel)
{
    testkit::ScriptedFolderChooser browser;
    QWidget owner;
    browser.choose(QStringLiteral("/data/games/"));
    browser.choose(QStringLiteral("/"));
    browser.cancel();
    EXPECT_EQ(frmFile_IO::BrowseForFolder(QStringLiteral("/before"), &owner), QStringLiteral("/data/games"));
    EXPECT_EQ(frmFile_IO::BrowseForFolder(QString(), &owner), QStringLiteral("/"));
    EXPECT_EQ(frmFile_IO::BrowseForFolder(QStringLiteral("/before"), &owner), QStringLiteral("/before"));
    EXPECT_EQ(browser.titles.value(0), QStringLiteral("Select your Windows\\System\\ directory"));
    EXPECT_EQ(browser.owners, (QList<QWidget*>{&owner, &owner, &owner}));
}

class Folders : public testing::Test {
protected:
    QString path(const QString& relative) const { return QDir(root.path()).filePath(relative); }
    void makeFile(const QString& relative, const QByteArray& data = "x") const
    {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    QTemporaryDir root;
};

TEST_F(Folders, MakeFolderCreatesOneLevelAndSwallowsErrors)
{
    frmFile_IO::MakeFolder(path(QStringLiteral("temp/")));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("temp"))).isDir());

    makeFile(QStringLiteral("temp/kept"));
    frmFile_IO::MakeFolder(path(QStringLiteral("temp")));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("temp/kept"))));

    frmFile_IO::MakeFolder(path(QStringLiteral("missing/child")));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("missing"))));

    makeFile(QStringLiteral("plain"));
    frmFile_IO::MakeFolder(path(QStringLiteral("plain")));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("plain"))).isFile());
}

TEST_F(Folders, DeleteFolderRemovesFileOrTreeButNotWhatLinksPointTo)
{
    QDir(root.path()).mkpath(QStringLiteral("temp/a/b"));
    QDir(root.path()).mkpath(QStringLiteral("outside"));
    makeFile(QStringLiteral("temp/top.txt"));
    makeFile(QStringLiteral("temp/a/b/deep.bin"), QByteArray(100000, 'z'));
    makeFile(QStringLiteral("outside/precious"));
    QFile(path(QStringLiteral("temp/top.txt"))).setPermissions(QFileDevice::ReadOwner);
    ASSERT_TRUE(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("temp/a/link"))));

    platform::SetBusyCursor();  // afterwards the default shape, not what was there before
    modFileShell::DeleteFolder(path(QStringLiteral("temp")));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("temp"))));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("outside/precious"))));
    EXPECT_FALSE(platform::IsBusyCursor());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    makeFile(QStringLiteral("single"));  // a plain file goes too; a missing path is no error
    modFileShell::DeleteFolder(path(QStringLiteral("single")));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("single"))));
    modFileShell::DeleteFolder(path(QStringLiteral("never-there")));
}

}  // namespace
