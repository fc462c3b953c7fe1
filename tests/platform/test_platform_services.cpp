// Application directory, path joining and the program's end.
#include "desktop_testkit.h"
#include "platform/atomic_file.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace quarrix;

TEST(ApplicationDirectory, SetterOverridesAndEmptyRestoresTheExecutablesFolder)
{
    const QString executableDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    EXPECT_EQ(platform::ApplicationDirectory(), executableDir);
    platform::SetApplicationDirectory(QStringLiteral("/tmp/elsewhere/"));
    EXPECT_EQ(platform::ApplicationDirectory(), QStringLiteral("/tmp/elsewhere"));
    EXPECT_EQ(platform::AppPath(u"Options.ini"), QStringLiteral("/tmp/elsewhere/Options.ini"));
    platform::SetApplicationDirectory(QString());
    EXPECT_EQ(platform::ApplicationDirectory(), executableDir);
}

TEST(JoinPath, BackslashesBecomeNativeSeparatorsAndATrailingOneIsKept)
{
    EXPECT_EQ(platform::JoinPath(QStringLiteral("/app"), u"temp\\"), QStringLiteral("/app/temp/"));
    EXPECT_EQ(platform::JoinPath(QStringLiteral("/app/"), u"\\temp"), QStringLiteral("/app/temp"));
    EXPECT_EQ(platform::JoinPath(QStringLiteral("/app"), u"a\\b\\c.txt"),
              QStringLiteral("/app/a/b/c.txt"));
    EXPECT_EQ(platform::JoinPath(QStringLiteral("/"), u"Options.ini"), QStringLiteral("/Options.ini"));
}

TEST(EndApplication, LeavesNoHalfWrittenFileBehind)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("quarrix-end-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    EXPECT_EXIT(
        {
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
