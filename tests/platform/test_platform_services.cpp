// Where the program's own files are (beside the executable, with relative
// paths written the Windows way joined onto it), and the program's end.
#include "desktop_testkit.h"
#include "platform/atomic_file.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace quarrix;

TEST(AppPath, OptionsFileSitsBesideTheExecutable)
{
    EXPECT_EQ(platform::AppPath(u"Options.ini"),
              QCoreApplication::applicationDirPath() + QStringLiteral("/Options.ini"));
}

TEST(JoinPath, BackslashesBecomeNativeSeparatorsAndATrailingOneIsKept)
{
    EXPECT_EQ(platform::JoinPath(QStringLiteral("/app"), u"temp\\"), QStringLiteral("/app/temp/"));
    EXPECT_EQ(platform::JoinPath(QStringLiteral("/app/"), u"\\a\\b.txt"), QStringLiteral("/app/a/b.txt"));
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
