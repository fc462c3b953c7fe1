// The main window: texts that fit, the start-up sequence, the browse buttons with
// their Dump-enabling rules, the recursion setting, and the ways it ends the
// program. Folder choices come from a scripted browser, and every test runs on
// its own temporary application directory.
#include "../platform/desktop_testkit.h"
#include "app/frm_main.h"
#include "support/list_box.h"
#include "ui/frm_file_scanning.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace quarrix;

class FrmMainTest : public QObject {
    Q_OBJECT

private:
    // Made fresh for each test, and removed in the reverse order.
    struct Doubles {
        testkit::TemporaryAppDir appDir;
        testkit::ScriptedFolderChooser browser;
        testkit::RecordingMessageBoxes boxes;
        testkit::BeepCounter beeps;
        testkit::EndRecorder end;
    };
    std::unique_ptr<Doubles> d_;

    QString makeFolder(const QString& name) const
    {
        QDir(d_->appDir.path()).mkpath(name);
        return d_->appDir.filePath(name);
    }

    static QStringList rows(const frmMain& window)
    {
        QStringList all;
        for (int i = 0; i < window.lstFiles->ListCount(); ++i)
            all.append(window.lstFiles->List(i));
        return all;
    }

private slots:
    void init() { d_ = std::make_unique<Doubles>(); }

    void cleanup()
    {
        QVERIFY2(d_->boxes.shown.isEmpty(), "the main window showed an unexpected message box");
        d_.reset();
    }

    // Texts fit their controls, and the first showing is centred on the screen.
    void layout()
    {
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (QPushButton* button : {window.Command3, window.Command4, window.Command1, window.Command2}) {
            const QFontMetrics metrics(button->font());
            QVERIFY2(metrics.horizontalAdvance(button->text()) + 4 <= button->width() &&
                         metrics.height() <= button->height(),
                     qPrintable(button->text()));
        }
        const QFontMetrics labelMetrics(window.Label1->font());
        QVERIFY(labelMetrics.horizontalAdvance(window.Label1->text()) <=
                    window.Label1->contentsRect().width() &&
                labelMetrics.height() <= window.Label1->contentsRect().height());
        QVERIFY(QFontMetrics(window.txtTarget->font()).height() <= window.txtTarget->height());
        const QPoint offset = window.frameGeometry().center() - window.screen()->availableGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2, "window not centred");
    }

    // An empty etat: no options file at all, which is also never written by a start.
    void recursionStartsOnOnlyForExactlyChecked_data()
    {
        QTest::addColumn<QByteArray>("etat");
        QTest::addColumn<bool>("checked");
        QTest::newRow("no options file") << QByteArray() << false;
        QTest::newRow("Checked") << QByteArray("Checked") << true;
        QTest::newRow("lower case") << QByteArray("checked") << false;
    }

    void recursionStartsOnOnlyForExactlyChecked()
    {
        QFETCH(QByteArray, etat);
        QFETCH(bool, checked);
        const QString options = QStringLiteral("Options.ini");
        if (!etat.isEmpty())
            d_->appDir.write(options, "[Recursivity]\r\nEtat=" + etat + "\r\n");
        frmMain window;
        QCOMPARE(window.mnuRecur->isChecked(), checked);
        QVERIFY(!window.Command4->isEnabled() && window.ScanDir.isEmpty() &&
                window.txtTarget->text().isEmpty());
        QCOMPARE(QFileInfo::exists(d_->appDir.filePath(options)), !etat.isEmpty());
    }

    void leftoverTempFolderIsRemovedAtStartUp()
    {
        QDir(d_->appDir.path()).mkpath(QStringLiteral("temp/deep/er"));
        d_->appDir.write(QStringLiteral("temp/deep/er/b.txt"), "leftover");
        frmMain window;
        QVERIFY(!QFileInfo::exists(d_->appDir.filePath(QStringLiteral("temp"))));
        QVERIFY(QFileInfo::exists(d_->appDir.path()));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // Dump needs both directories; a cancelled browse keeps the scan
    // directory but empties the target, and leaves Dump enabled.
    void browseButtonsAndTheDumpButton_data()
    {
        QTest::addColumn<bool>("targetFirst");
        QTest::newRow("target, then scan directory") << true;
        QTest::newRow("scan directory, then target") << false;
    }

    void browseButtonsAndTheDumpButton()
    {
        QFETCH(bool, targetFirst);
        const QString scan = makeFolder(QStringLiteral("archives"));
        const QString target = makeFolder(QStringLiteral("out"));
        d_->browser.choose(targetFirst ? target : scan);
        d_->browser.choose(targetFirst ? scan : target);
        d_->browser.cancel();
        d_->browser.cancel();
        frmMain window;
        QPushButton* first = targetFirst ? window.Command2 : window.Command3;
        QPushButton* second = targetFirst ? window.Command3 : window.Command2;
        QTest::mouseClick(first, Qt::LeftButton);
        QVERIFY(!window.Command4->isEnabled());
        QTest::mouseClick(second, Qt::LeftButton);
        QVERIFY(window.Command4->isEnabled());
        QCOMPARE(std::pair(window.ScanDir, window.txtTarget->text()), std::pair(scan, target));
        first->click();
        second->click();
        QCOMPARE(std::pair(window.ScanDir, window.txtTarget->text()), std::pair(scan, QString()));
        QVERIFY(window.Command4->isEnabled());
        QCOMPARE(d_->browser.owners, (QList<QWidget*>{&window, &window, &window, &window}));
    }

    // Reading the setting back is covered by the table above.
    void recursionSettingIsSaved()
    {
        frmMain window;
        window.mnuRecur->trigger();
        QCOMPARE(d_->appDir.read(QStringLiteral("Options.ini")),
                 QByteArray("[Recursivity]\r\nEtat=Checked\r\n"));
        QCOMPARE(window.lstFiles->count(), 0);  // no scan directory: nothing to list
        window.mnuRecur->trigger();
        QVERIFY(!window.mnuRecur->isChecked());
        QCOMPARE(d_->appDir.read(QStringLiteral("Options.ini")),
                 QByteArray("[Recursivity]\r\nEtat=Unchecked\r\n"));
        QCOMPARE(d_->beeps.beeps, 0);
    }

    void failedSaveOfTheRecursionSettingBeepsAndKeepsTheMark()
    {
        QVERIFY(QDir(d_->appDir.path()).mkdir(QStringLiteral("Options.ini")));
        frmMain window;
        window.mnuRecur->trigger();
        QVERIFY(window.mnuRecur->isChecked());
        QCOMPARE(d_->beeps.beeps, 1);
    }

    void scanFillsTheListWhileTheWindowIsDisabledAndRecursionRebuildsIt()
    {
        d_->appDir.write(QStringLiteral("Options.ini"), "[FileType]\r\nType_Count=2\r\n0=hpi\r\n1=ufo\r\n");
        makeFolder(QStringLiteral("archives/sub"));
        d_->appDir.write(QStringLiteral("archives/a.hpi"), "x");
        d_->appDir.write(QStringLiteral("archives/b.gp3"), "x");
        d_->appDir.write(QStringLiteral("archives/sub/c.UFO"), "x");
        const QString top = d_->appDir.filePath(QStringLiteral("archives/a.hpi"));
        const QString below = d_->appDir.filePath(QStringLiteral("archives/sub/c.UFO"));
        d_->browser.choose(d_->appDir.filePath(QStringLiteral("archives")));
        frmMain window;
        frmFileScanning& notice = frmFileScanning::instance();
        bool enabledDuring = true;
        bool noticeOverTheWindow = false;
        QMetaObject::invokeMethod(
            &window,
            [&] {
                enabledDuring = window.isEnabled();
                noticeOverTheWindow =
                    notice.isVisible() && notice.windowHandle()->transientParent() == window.windowHandle();
            },
            Qt::QueuedConnection);
        window.Command3->click();
        QVERIFY(!enabledDuring && noticeOverTheWindow);
        QVERIFY(window.isEnabled() && !notice.isVisible());
        QCOMPARE(rows(window), QStringList{top});
        window.mnuRecur->trigger();
        QCOMPARE(rows(window), (QStringList{top, below}));
        QCOMPARE(notice.Label1->text(), below);
        window.mnuRecur->trigger();  // the list is emptied before each scan
        QCOMPARE(rows(window), QStringList{top});
    }

    void exitAndClosingTheWindowEndTheProgram()
    {
        frmMain window;
        QTest::mouseClick(window.Command1, Qt::LeftButton);
        QCOMPARE(d_->end.exitCodes, QList<int>{0});
        window.show();
        QVERIFY(window.close());
        QCOMPARE(d_->end.exitCodes, (QList<int>{0, 0}));
    }
};

QTEST_MAIN(FrmMainTest)
#include "frm_main_test.moc"
