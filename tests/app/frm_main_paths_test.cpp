// The main window given paths, on its command line and by a drop, over the
// options file the program ships: what the list, the directory to scan and the
// Dump button hold after a folder, archives, a missing path and a mixture, and
// the drops it refuses.
#include "../platform/desktop_testkit.h"
#include "app/frm_main.h"
#include "support/list_box.h"

#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace quarrix;

class FrmMainPathsTest : public QObject {
    Q_OBJECT

private:
    struct Doubles {
        testkit::TemporaryAppDir appDir;
        testkit::RecordingMessageBoxes boxes;
    };
    std::unique_ptr<Doubles> d_;

    QString at(const QString& name) const { return QDir::cleanPath(d_->appDir.filePath(name)); }

    static QStringList rows(const frmMain& window)
    {
        QStringList all;
        for (int i = 0; i < window.lstFiles->ListCount(); ++i)
            all.append(window.lstFiles->List(i));
        return all;
    }

    // Sends a drag and its drop, then runs what the drop queued; true when both were taken.
    static bool drop(frmMain& window, const QMimeData& data)
    {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QCoreApplication::sendEvent(&window, &dropped);
        QCoreApplication::sendPostedEvents();
        return enter.isAccepted() && dropped.isAccepted();
    }

    static bool dropPaths(frmMain& window, const QStringList& paths)
    {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
        QMimeData data;
        data.setUrls(urls);
        return drop(window, data);
    }

private slots:
    // archives/ holds what a scan finds with the shipped types, and more.
    void init()
    {
        d_ = std::make_unique<Doubles>();
        QVERIFY(QFile::copy(QStringLiteral(QUARRIX_DEFAULT_OPTIONS), at(QStringLiteral("Options.ini"))));
        QDir(d_->appDir.path()).mkpath(QStringLiteral("archives/sub"));
        QDir(d_->appDir.path()).mkpath(QStringLiteral("out"));
        const QString archive = QStringLiteral(QUARRIX_TESTDATA_DIR "/stored.hpi");
        for (const char* name : {"archives/a.hpi", "archives/b.UFO", "archives/c.gp3", "archives/d.gp4",
                                 "archives/e.ccx", "archives/sub/f.hpi", "renamed.bak"})
            QVERIFY(QFile::copy(archive, at(QString::fromUtf8(name))));
        d_->appDir.write(QStringLiteral("archives/notes.txt"), "text");
        d_->appDir.write(QStringLiteral("text.hpi"), "HAPI is not enough");
        QVERIFY(QFile::copy(QStringLiteral(QUARRIX_TESTDATA_DIR "/damaged/version2.hpi"),
                            at(QStringLiteral("cut.hpi"))));
    }

    void cleanup()
    {
        QDir::setCurrent(QDir::tempPath());
        d_.reset();
    }

    void pathsAreTakenAsTheButtonsWould_data()
    {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QStringList>("scanned");  // listed first, in the disk's order
        QTest::addColumn<QStringList>("then");     // listed after them, in this order
        QTest::addColumn<QString>("scanDir");
        QTest::addColumn<QStringList>("named");  // in the one message, with the cause
        const QStringList scan{"archives/a.hpi", "archives/b.UFO", "archives/c.gp3", "archives/d.gp4"};
        QTest::newRow("a folder") << QStringList{"archives"} << scan << QStringList() << "archives"
                                  << QStringList();
        QTest::newRow("two archives, one renamed")
            << QStringList{"archives/e.ccx", "renamed.bak"} << QStringList()
            << QStringList{"archives/e.ccx", "renamed.bak"} << "archives" << QStringList();
        QTest::newRow("a missing path") << QStringList{"missing.hpi"} << QStringList() << QStringList()
                                        << QString() << QStringList{"missing.hpi: no such file or folder"};
        QTest::newRow("a damaged archive")
            << QStringList{"cut.hpi", "renamed.bak"} << QStringList() << QStringList{"renamed.bak"} << "."
            << QStringList{"cut.hpi: damaged archive: truncated (the file ends at offset 20"};
        QTest::newRow("a mixture") << QStringList{"text.hpi", "archives", "missing", "renamed.bak",
                                                  "archives/a.hpi"}
                                   << scan << QStringList{"renamed.bak"} << "archives"
                                   << QStringList{"text.hpi: not an archive\n",
                                                  "missing: no such file or folder"};
    }

    void pathsAreTakenAsTheButtonsWould()
    {
        QFETCH(QStringList, given);
        QFETCH(QStringList, scanned);
        QFETCH(QStringList, then);
        QFETCH(QString, scanDir);
        QFETCH(QStringList, named);
        const auto absolute = [this](const QStringList& names) {
            QStringList paths;
            for (const QString& name : names)
                paths.append(at(name));
            return paths;
        };
        QVERIFY(QDir::setCurrent(d_->appDir.path()));
        for (const bool byDrop : {false, true}) {
            frmMain window;
            QVERIFY(!window.mnuRecur->isChecked());
            window.txtTarget->setText(at(QStringLiteral("out")));
            if (byDrop)
                QVERIFY(dropPaths(window, given));
            else
                window.OpenPaths(given);
            QStringList shown = rows(window);
            std::sort(shown.begin(), shown.begin() + std::min(scanned.size(), shown.size()));
            QCOMPARE(shown, absolute(scanned) + absolute(then));
            QCOMPARE(window.ScanDir, scanDir.isEmpty() ? QString() : at(scanDir));
            QCOMPARE(window.Command4->isEnabled(), !scanDir.isEmpty());
            QCOMPARE(d_->boxes.shown.size(), named.isEmpty() ? 0 : 1);
            for (const QString& cause : named)
                QVERIFY2(d_->boxes.shown.constLast().text.contains(cause),
                         qPrintable(d_->boxes.shown.constLast().text));
            d_->boxes.shown.clear();
        }
    }

    // Only local files are taken, and nothing while a scan runs.
    void dropsRefused()
    {
        frmMain window;
        const QString archive = at(QStringLiteral("renamed.bak"));
        QMimeData web;
        web.setUrls({QUrl(QStringLiteral("https://example.org/a.hpi")), QUrl::fromLocalFile(archive)});
        QVERIFY(!drop(window, web));
        QMimeData text;
        text.setText(archive);
        QVERIFY(!drop(window, text));
        QCOMPARE(window.lstFiles->count(), 0);

        bool takenDuringTheScan = true;
        QMetaObject::invokeMethod(
            &window, [&] { takenDuringTheScan = dropPaths(window, {archive}); }, Qt::QueuedConnection);
        window.OpenPaths({at(QStringLiteral("archives"))});
        QVERIFY(!takenDuringTheScan);
        QCOMPARE(window.lstFiles->count(), 4);
        QVERIFY(d_->boxes.shown.isEmpty());
    }
};

QTEST_MAIN(FrmMainPathsTest)
#include "frm_main_paths_test.moc"
