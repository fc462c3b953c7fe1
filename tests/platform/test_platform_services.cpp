// Application directory, path joining and the message-box front.
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

TEST(MsgBox, UntitledBoxesCarryTheApplicationTitle)
{
    testkit::RecordingMessageBoxes boxes;
    platform::MsgBox(QStringLiteral("plain"));
    platform::MsgBox(QStringLiteral("stop"), platform::MsgBoxButtons::Ok,
                     platform::MsgBoxIcon::Critical, QStringLiteral("Array Error"));
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Quarrix"));
    EXPECT_EQ(boxes.shown[0].icon, platform::MsgBoxIcon::None);
    EXPECT_EQ(boxes.shown[1].title, QStringLiteral("Array Error"));
    EXPECT_EQ(boxes.shown[1].icon, platform::MsgBoxIcon::Critical);
}

TEST(Installers, RemovingATestDoubleRestoresTheOneBefore)
{
    testkit::RecordingMessageBoxes outer;
    {
        testkit::RecordingMessageBoxes inner;
        platform::MsgBox(QStringLiteral("to inner"));
        EXPECT_EQ(inner.shown.size(), 1);
    }
    platform::MsgBox(QStringLiteral("to outer"));
    EXPECT_EQ(outer.shown.size(), 1);

    testkit::BeepCounter beeps;
    {
        testkit::EndRecorder end;
        platform::EndApplication(3);
        EXPECT_EQ(end.exitCodes, QList<int>{3});
    }
    platform::Beep();
    EXPECT_EQ(beeps.beeps, 1);
}

}  // namespace
