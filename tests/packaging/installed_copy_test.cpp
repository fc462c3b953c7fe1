// Run by installed-copy against a copy installed below a temporary prefix
// (QUARRIX_INSTALLED_BIN is its bin directory; XDG_CONFIG_HOME and
// XDG_CACHE_HOME lie in the same temporary folder): the main window opens with
// the guide, picture and music found in <prefix>/share/quarrix, and keeps its
// settings and temporary folder out of bin.
#include "../platform/desktop_testkit.h"
#include "app/frm_main.h"
#include "ui/frm_about.h"
#include "ui/frm_help.h"

#include <QPainter>
#include <QTest>
#include <QTextBrowser>

using namespace quarrix;

class InstalledCopyTest : public QObject {
    Q_OBJECT

private slots:
    void mainWindowFindsTheInstalledFilesAndKeepsBinClean()
    {
        const QDir bin(qEnvironmentVariable("QUARRIX_INSTALLED_BIN"));
        const QDir data(QDir::cleanPath(bin.filePath(QStringLiteral("../share/quarrix"))));
        const QDir config(qEnvironmentVariable("XDG_CONFIG_HOME"));
        QVERIFY(data.exists(QStringLiteral("help.html")));
        platform::SetApplicationDirectory(bin.path());
        testkit::RecordingMessageBoxes boxes;

        frmMain& main = frmMain::instance();
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.mnuGuide->trigger();
        QCOMPARE(frmHelp::instance().WebBrowser1->source(),
                 QUrl::fromLocalFile(data.filePath(QStringLiteral("help.html"))));

        main.mnuAbout->trigger();
        const QImage installed(data.filePath(QStringLiteral("BH.jpg")));
        QVERIFY(!installed.isNull());
        QImage picture(frmAbout::instance().size(), QImage::Format_RGB32);
        picture.fill(Qt::black);
        QPainter(&picture).drawImage(0, 0, installed);
        const QImage shown = frmAbout::instance().grab().toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), picture);
        QVERIFY(boxes.shown.isEmpty());  // the music was found too
        QTest::mouseClick(&frmAbout::instance(), Qt::LeftButton);

        main.mnuRecur->trigger();
        QVERIFY(config.exists(QStringLiteral("quarrix/Options.ini")));
        QCOMPARE(bin.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({QStringLiteral("quarrix"), QStringLiteral("quarrix-cli")}));
    }
};

QTEST_MAIN(InstalledCopyTest)
#include "installed_copy_test.moc"
