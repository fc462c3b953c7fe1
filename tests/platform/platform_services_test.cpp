// Where the program's own files are (beside the executable or, installed, in
// the data and the user's directories; relative paths written the Windows way
// joined onto them), and the program's end.
#include "desktop_testkit.h"
#include "platform/atomic_file.h"
#include "platform/message_box_widget.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using namespace quarrix;

// A copy run from its own folder keeps Options.ini and temp there; an
// installed one (its guide in <prefix>/share/quarrix, none beside it) keeps
// them in the user's directories and finds its shipped files in the data
// directory.
TEST(ProgramFiles, PortableCopyKeepsThemBesideItselfInstalledOneInTheUsersDirectories)
{
    QTemporaryDir root;
    const QDir dir(root.path());
    const auto at = [&dir](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
    for (const char* name : {"portable/help.html", "usr/share/quarrix/help.html"}) {
        dir.mkpath(QFileInfo(at(name)).path());
        QFile(at(name)).open(QIODevice::WriteOnly);
    }
    dir.mkpath(QStringLiteral("usr/bin"));
    qputenv("XDG_CONFIG_HOME", at("config").toUtf8());
    qputenv("XDG_CACHE_HOME", at("cache").toUtf8());
    struct Row {
        const char *application, *settings, *working, *guide;
    };
    const Row rows[] = {
        {"portable", "portable", "portable", "portable/help.html"},
        {"usr/bin", "config/quarrix", "cache/quarrix", "usr/share/quarrix/help.html"},
    };
    for (const Row& row : rows) {
        platform::SetApplicationDirectory(at(row.application));
        EXPECT_EQ(platform::SettingsDirectory(), at(row.settings));
        EXPECT_EQ(platform::WorkingDirectory(), at(row.working));
        EXPECT_EQ(platform::AssetPath(u"help.html"), at(row.guide));
        EXPECT_TRUE(QDir(at(row.settings)).exists() && QDir(at(row.working)).exists());
    }
    platform::SetApplicationDirectory(QString());
    EXPECT_EQ(platform::SettingsDirectory(), QCoreApplication::applicationDirPath());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CACHE_HOME");
}

// The shipped options file reaches the user's directory on a first start only:
// never over one already there, and never beside a copy run from its folder.
TEST(ProgramFiles, DefaultOptionsArePutInPlaceOnlyWhereNoneIs)
{
    struct Row {
        const char *name, *application, *settings;
        QByteArray before, after;  // empty: no options file
        bool shipped;
    };
    const QByteArray shipped("[FileType]\r\nType_Count=1\r\n0=hpi\r\n");
    const Row rows[] = {
        {"installed, first start", "usr/bin", "config/quarrix", "", shipped, true},
        {"installed, already set", "usr/bin", "config/quarrix", "mine", "mine", true},
        {"installed, nothing shipped", "usr/bin", "config/quarrix", "", "", false},
        {"run from its folder", "portable", "portable", "", "", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir root;
        const QDir dir(root.path());
        const auto write = [&dir](const QString& name, const QByteArray& bytes) {
            dir.mkpath(QFileInfo(dir.filePath(name)).path());
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        };
        write(QStringLiteral("portable/help.html"), "");
        write(QStringLiteral("usr/share/quarrix/help.html"), "");
        dir.mkpath(QStringLiteral("usr/bin"));
        if (row.shipped) {  // where each of the two copies finds its shipped files
            write(QStringLiteral("usr/share/quarrix/Options.ini"), shipped);
            write(QStringLiteral("share/quarrix/Options.ini"), shipped);
        }
        const QString options =
            dir.filePath(QString::fromUtf8(row.settings) + QStringLiteral("/Options.ini"));
        if (!row.before.isEmpty())
            write(QString::fromUtf8(row.settings) + QStringLiteral("/Options.ini"), row.before);
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
        platform::SetApplicationDirectory(dir.filePath(QString::fromUtf8(row.application)));
        platform::PlaceDefaultOptionsFile();
        QFile file(options);
        EXPECT_EQ(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), row.after);
    }
    platform::SetApplicationDirectory(QString());
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(JoinPath, BackslashesBecomeNativeSeparatorsAndATrailingOneIsKept)
{
    EXPECT_EQ(platform::JoinPath(QStringLiteral("/app"), u"temp\\"), QStringLiteral("/app/temp/"));
    EXPECT_EQ(platform::JoinPath(QStringLiteral("/app/"), u"\\a\\b.txt"), QStringLiteral("/app/a/b.txt"));
    EXPECT_EQ(platform::JoinPath(QStringLiteral("/"), u"Options.ini"), QStringLiteral("/Options.ini"));
}

// A box with a short text is still as wide as its title needs: "Operation
// Complete" under "File Operations" must not show "File O...ations". Details
// sit behind "Show Details...".
TEST(MessageBoxes, AreAtLeastAsWideAsTheirTitleAndShowTheirDetailsOnRequest)
{
    for (const char* title :
         {"File Operations", "A title much longer than the text under it, as wide as it is"}) {
        for (const QString& details : {QString(), QStringLiteral("units\\a.fbi: kept from b.ufo")}) {
            const platform::MessageBoxRequest request{QStringLiteral("OK"), QString::fromUtf8(title),
                                                      platform::MsgBoxIcon::Information,
                                                      platform::MsgBoxButtons::Ok, details};
            const auto box = platform::MakeDesktopMessageBox(request, nullptr);
            box->show();
            EXPECT_GE(box->width(), platform::TitleBarWidth(request.title)) << title;
            EXPECT_GT(platform::TitleBarWidth(request.title),
                      QFontMetrics(box->font()).horizontalAdvance(request.title));
            EXPECT_EQ(box->detailedText(), details);
            box->hide();
        }
    }
}

TEST(EndApplication, LeavesNoHalfWrittenFileBehind)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("quarrix-end-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    EXPECT_EXIT(
        {
            // A named temporary file is the one that could stay behind.
            platform::ForceNamedTemporaryFiles(true);
            platform::AtomicFile file;
            std::error_code error;
            file.Create(folder / "extracted.bin", error);
            file.Write("part", 4, error);
            platform::EndApplication(3);
        },
        testing::ExitedWithCode(3), "");
    EXPECT_TRUE(fs::is_empty(folder));
    fs::remove_all(folder);
}

}  // namespace
