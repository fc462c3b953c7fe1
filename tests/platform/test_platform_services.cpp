// Application directory and path joining.
#include "desktop_testkit.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

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

}  // namespace
