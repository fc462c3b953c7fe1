// The Help menu's windows: the guide over the main window, closing when the
// program's focus moves, its links and pictures; the About window in the main
// window's place, with and without its media and sound device; and the texts
// of the sound library's error codes.
#include "../platform/desktop_testkit.h"
#include "app/frm_main.h"
#include "ui/fmod_module.h"
#include "ui/frm_about.h"
#include "ui/frm_help.h"

#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>

using namespace quarrix;

namespace {

const QDir kAssets(QStringLiteral(QUARRIX_ASSETS_DIR));

void copyAssets(const testkit::TemporaryAppDir& appDir, const QStringList& patterns)
{
    for (const QString& name : kAssets.entryList(patterns, QDir::Files))
        QFile::copy(kAssets.filePath(name), appDir.filePath(name));
}

}  // namespace

class GuideAboutTest : public QObject {
    Q_OBJECT

private slots:
    void soundErrorTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "No errors";
        QTest::newRow("12 keeps its blank") << 12 << "Not enough memory ";
        QTest::newRow("19, the last") << 19 << "Required Mediaplayer codec is not installed";
        QTest::newRow("20") << 20 << "Unknown error";
        QTest::newRow("-1") << -1 << "Unknown error";
    }

    void soundErrorTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(FMod::GetSoundErrorText(code), text);
    }

    void guideClosesOnlyWhenAnotherWindowOfTheProgramBecomesActive()
    {
        testkit::TemporaryAppDir appDir;
        copyAssets(appDir, {QStringLiteral("help.html")});
        frmMain main;
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        frmHelp& guide = frmHelp::instance();
        guide.Show(nullptr);
        emit qGuiApp->focusWindowChanged(main.windowHandle());  // before the guide was ever active
        QVERIFY(guide.isVisible());
        guide.Unload();
        main.mnuGuide->trigger();
        QVERIFY(QTest::qWaitForWindowActive(&guide));
        QCOMPARE(guide.pos(), main.pos());  // over the main window, which stays shown
        QScrollBar* scroll = guide.WebBrowser1->verticalScrollBar();
        scroll->setValue(scroll->maximum());
        emit qGuiApp->focusWindowChanged(nullptr);  // another application takes the focus
        QVERIFY(guide.isVisible());
        main.activateWindow();
        QTRY_VERIFY(!guide.isVisible());
        main.mnuGuide->trigger();
        QCOMPARE(scroll->value(), 0);  // each opening starts at the top
    }

    void everyLinkOfTheGuideHasItsSectionAndEveryPictureExists()
    {
        QFile file(kAssets.filePath(QStringLiteral("help.html")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(file.readAll());
        QStringList sections;
        for (const auto& match : QRegularExpression(QStringLiteral(" id=\"([^\"]+)\"")).globalMatch(page))
            sections.append(match.captured(1));
        for (const auto& match : QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(page))
            QVERIFY2(sections.contains(match.captured(1)), qPrintable(match.captured(1)));
        for (const auto& match : QRegularExpression(QStringLiteral("src=\"([^\"]+)\"")).globalMatch(page))
            QVERIFY2(!QImage(kAssets.filePath(match.captured(1))).isNull(), qPrintable(match.captured(1)));
    }

    void aboutOpensWithOrWithoutSound_data()
    {
        QTest::addColumn<bool>("media");  // BH.jpg and the music beside the program
        QTest::addColumn<QByteArray>("driver");
        QTest::addColumn<QString>("message");
        QTest::newRow("picture and music") << true << QByteArray("dummy") << QString();
        QTest::newRow("no sound device")
            << true << QByteArray("no-such-driver")
            << "An error occured initializing fmod\r\n" + FMod::GetSoundErrorText(fsound::kErrOutputDevice);
        QTest::newRow("no picture, no music")
            << false << QByteArray("dummy")
            << "Error while opening file\r\n" + FMod::GetSoundErrorText(fsound::kErrFileNotFound);
    }

    // Each opening starts the library and the music afresh and each closing
    // shuts them down; without sound the window opens all the same.
    void aboutOpensWithOrWithoutSound()
    {
        QFETCH(bool, media);
        QFETCH(QByteArray, driver);
        QFETCH(QString, message);
        testkit::TemporaryAppDir appDir;
        testkit::RecordingMessageBoxes boxes;
        testkit::EndRecorder end;
        if (media)
            copyAssets(appDir, {QStringLiteral("BH.jpg"), QStringLiteral("*.mp3")});
        QImage picture(frmAbout::instance().size(), QImage::Format_RGB32);
        picture.fill(Qt::black);
        QPainter(&picture).drawImage(0, 0, QImage(appDir.filePath(QStringLiteral("BH.jpg"))));
        frmMain main;
        main.show();
        const fsound::Activity before = fsound::CurrentActivity();
        qputenv("SDL_AUDIODRIVER", driver);
        const auto restoreDriver = qScopeGuard([] { qputenv("SDL_AUDIODRIVER", "dummy"); });
        for (int opening = 1; opening <= 2; ++opening) {
            main.mnuAbout->trigger();
            frmAbout& about = frmAbout::instance();
            QVERIFY(about.isVisible() && !main.isVisible());
            QCOMPARE(about.pos(), main.pos());
            QCOMPARE(boxes.shown.size(), message.isEmpty() ? 0 : opening);
            QCOMPARE(fsound::CurrentActivity().playing, message.isEmpty());
            QCOMPARE(about.grab().toImage().convertToFormat(QImage::Format_RGB32), picture);
            about.move(about.pos() + QPoint(20, 10));
            QTest::mouseClick(&about, Qt::LeftButton);
            QVERIFY(main.isVisible() && !about.isVisible());
            QCOMPARE(main.pos(), about.pos());
        }
        for (const platform::MessageBoxRequest& box : boxes.shown)
            QCOMPARE(box.text, message);
        const int starts = driver == "dummy" ? 2 : 0;
        QCOMPARE(fsound::CurrentActivity().starts - before.starts, starts);
        QCOMPARE(fsound::CurrentActivity().shutdowns - before.shutdowns, starts);
        QVERIFY(end.exitCodes.isEmpty());
    }
};

QTEST_MAIN(GuideAboutTest)
#include "guide_about_test.moc"
