// The progress windows: the percentage display with its yield, the Cancel
// flag across loads, what a close from the title bar does, and the design
// state each showing starts from.
#include "ui/frm_file_scanning.h"
#include "ui/frm_progress.h"
#include "ui/frm_progress2.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <tuple>

using namespace quarrix;

class ProgressWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void percentageDisplay_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("bar");  // -1: left where it was
        QTest::addColumn<QString>("label");
        QTest::newRow("0 of 10") << 0 << 10 << 0 << " 0%";
        QTest::newRow("1 of 8: 12.5, tie to even below") << 1 << 8 << 12 << " 12%";
        QTest::newRow("3 of 8: 37.5, tie to even above") << 3 << 8 << 38 << " 37%";
        QTest::newRow("2 of 3: bar rounds, label rounds down") << 2 << 3 << 67 << " 66%";
        QTest::newRow("29 of 100: ratio held as float") << 29 << 100 << 29 << " 29%";
        QTest::newRow("10 of 10") << 10 << 10 << 100 << " 100%";
        QTest::newRow("3 of 2: beyond the bar") << 3 << 2 << -1 << " 150%";
        QTest::newRow("-1 of 8: minus sign, below the bar") << -1 << 8 << -1 << "-13%";
        QTest::newRow("Max 0: nothing changes") << 5 << 0 << -1 << " 55%";
    }

    void percentageDisplay()
    {
        QFETCH(int, value);
        QFETCH(int, max);
        QFETCH(int, bar);
        QFETCH(QString, label);
        frmProgress& one = frmProgress::instance();
        frmProgress2& two = frmProgress2::instance();
        using Update = std::function<void(qint32, qint32)>;
        const std::tuple<Update, QProgressBar*, QLabel*> displays[] = {
            {[&](qint32 v, qint32 m) { one.Update(v, m); }, one.Progress, one.lblPercent},
            {[&](qint32 v, qint32 m) { two.UpdateMain(v, m); }, two.Progress, two.lblPercent},
            {[&](qint32 v, qint32 m) { two.UpdateSub(v, m); }, two.ProgressBar1, two.Label1},
        };
        for (const auto& [update, shownBar, shownLabel] : displays) {
            update(11, 20);
            bool yielded = false;
            QMetaObject::invokeMethod(
                this, [&] { yielded = true; }, Qt::QueuedConnection);
            update(value, max);
            QVERIFY2(yielded, "an update must let pending events run");
            QCOMPARE(shownBar->value(), bar < 0 ? 55 : bar);
            QCOMPARE(shownLabel->text(), label);
        }
    }

    void cancelHoldsUntilTheNextLoad()
    {
        frmProgress2& window = frmProgress2::instance();
        for (int load = 0; load < 2; ++load) {
            window.Show();
            QVERIFY(!window.Cancel);
            QTest::mouseClick(window.Command1, Qt::LeftButton);
            QTest::mouseClick(window.Command1, Qt::LeftButton);
            window.UpdateMain(1, 2);
            QVERIFY(window.Cancel);
            QVERIFY(window.isVisible());
            window.Unload();
            QVERIFY(!window.isVisible());
            QVERIFY(window.Cancel);
        }
    }

    // A close from the title bar during the extraction asks to cancel, and
    // the window stays until the work ends; the packing and the scan cannot
    // be stopped, so there it is refused.
    void aTitleBarCloseCancelsTheExtractionAndIsRefusedElsewhere()
    {
        frmProgress2& two = frmProgress2::instance();
        frmProgress& one = frmProgress::instance();
        frmFileScanning& scanning = frmFileScanning::instance();
        const struct {
            FormWindow* window;
            bool cancels;
        } cases[] = {{&two, true}, {&one, false}, {&scanning, false}};
        for (const auto& c : cases) {
            c.window->Show();
            QVERIFY(!two.Cancel);
            c.window->close();
            QVERIFY2(c.window->isVisible(), qPrintable(c.window->windowTitle()));
            QCOMPARE(two.Cancel, c.cancels);
            c.window->Unload();
            two.Cancel = false;
        }
    }

    // Nothing of an earlier job shows when a window comes back: not its
    // caption, bars, percentages or texts, even where the next job's first
    // update leaves them alone (a bar whose Max is 0).
    void eachShowingStartsFromTheDesignState()
    {
        frmProgress2& two = frmProgress2::instance();
        two.Show();
        two.StartMain(QStringLiteral("TOTALA1"), QStringLiteral("Decompressing Archive"));
        two.StartSub(QStringLiteral("Exctracting ARMCOM"));
        two.UpdateMain(2, 3);
        two.UpdateSub(7, 8);
        two.Unload();
        two.Show();
        two.UpdateSub(0, 0);
        QCOMPARE(std::tuple(two.windowTitle(), two.Progress->value(), two.ProgressBar1->value()),
                 std::tuple(QStringLiteral("Form1"), 0, 0));
        for (QLabel* label : {two.lblWork, two.lblPercent, two.Label1, two.Label2})
            QVERIFY2(label->text().isEmpty(), qPrintable(label->text()));
        two.Unload();

        frmProgress& one = frmProgress::instance();
        one.Show();
        one.Start(QStringLiteral("ARMCOM.FBI"), QStringLiteral("Creating monolithic archive"));
        one.Update(5, 10);
        one.Unload();
        one.Show();
        QCOMPARE(
            std::tuple(one.windowTitle(), one.Progress->value(), one.lblWork->text(), one.lblPercent->text()),
            std::tuple(QStringLiteral("Form2"), 0, QString(), QString()));
        one.Unload();

        frmFileScanning& scanning = frmFileScanning::instance();
        scanning.Show();
        scanning.ShowFileBeingScanned(QStringLiteral("/games/old.hpi"));
        scanning.hide();
        scanning.Show();
        QVERIFY(scanning.Label1->text().isEmpty());
        scanning.hide();
    }
};

QTEST_MAIN(ProgressWindowsTest)
#include "progress_windows_test.moc"
