// modIniFiles on a temporary application directory.
#include "../platform/desktop_testkit.h"
#include "settings/mod_ini_files.h"

#include <gtest/gtest.h>

namespace {

using namespace quarrix;
using modIniFiles::ReadIni;
using modIniFiles::WriteIni;

// The first write, a missing file and a failed write (one beep) are the main
// window's recursion-setting tests; how a write can fail, and that it leaves
// the file alone, is the options-file layer's.
TEST(IniFiles, ValuesReadBackCutTo49Characters)
{
    testkit::TemporaryAppDir appDir;
    const QString sixty = QStringLiteral("abcdefghij").repeated(6);
    const QString accented = QStringLiteral("\u00e9").repeated(60);    // two bytes each in the file
    const QString astral = QStringLiteral("\U0001F600").repeated(50);  // surrogate pairs in a QString
    WriteIni(QStringLiteral("FileType"), QStringLiteral("0"), sixty);
    WriteIni(QStringLiteral("FileType"), QStringLiteral("2"), accented);
    WriteIni(QStringLiteral("FileType"), QStringLiteral("3"), astral);
    EXPECT_EQ(ReadIni(QStringLiteral("FileType"), QStringLiteral("0")), sixty.left(49));
    EXPECT_EQ(ReadIni(QStringLiteral("FileType"), QStringLiteral("2")), accented.left(49));
    EXPECT_EQ(ReadIni(QStringLiteral("FileType"), QStringLiteral("3")), astral.left(98));
}

}  // namespace
