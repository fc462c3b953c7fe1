// The progress windows: the percentage display with its yield, the Cancel
// flag across loads, and texts that fit their controls.
#include "ui/frm_file_scanning.h"
#include "ui/frm_progress.h"
#include "ui/frm_progress2.h"

#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <functional>

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
        struct Display {
            std::function<void(qint32, qint32)> update;
            QProgressBar* bar;
            QLabel* label;
        };
        const Display displays[] = {
            {[&](qint32 v, qint32 m) { one.Update(v, m); }, one.Progress, one.lblPercent},
            {[&](qint32 v, qint32 m) { two.UpdateMain(v, m); }, two.Progress, two.lblPercent},
            {[&](qint32 v, qint32 m) { two.UpdateSub(v, m); }, two.ProgressBar1, two.Label1},
        };
        for (const Display& display : displays) {
            display.update(11, 20);
            bool yielded = false;
            QMetaObject::invokeMethod(this, [&] { yielded = true; }, Qt::QueuedConnection);
            display.update(value, max);
            QVERIFY2(yielded, "an update must let pending events run");
            QCOMPARE(display.bar->value(), bar < 0 ? 55 : bar);
            QCOMPARE(display.label->text(), label);
        }
        // Each update drives its own bar only.
        two.UpdateMain(1, 4);
        two.UpdateSub(3, 4);
        QCOMPARE(two.Progress->value(), 25);
        QCOMPARE(two.lblPercent->text(), QStringLiteral(" 25%"));
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

    void startTextsGoToTheirControlsOnly()
    {
        frmProgress2& window = frmProgress2::instance();
        window.StartMain(QStringLiteral("a.hpi"), QStringLiteral("Decompressing Archive"));
        window.StartSub(QStringLiteral("Exctracting b.txt"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Decompressing Archive"));
        QCOMPARE(window.lblWork->text(), QStringLiteral("a.hpi"));
        QCOMPARE(window.Label2->text(), QStringLiteral("Exctracting b.txt"));
        frmProgress::instance().Start(QStringLiteral("c.txt"), QStringLiteral("Creating monolithic archive"));
        QCOMPARE(frmProgress::instance().windowTitle(), QStringLiteral("Creating monolithic archive"));
        QCOMPARE(frmProgress::instance().lblWork->text(), QStringLiteral("c.txt"));
    }

    void fixedTextsFitTheirControls()
    {
        frmProgress2::instance().lblPercent->setText(QStringLiteral(" 100%"));
        const QList<QWidget*> controls = {frmFileScanning::instance().Label2,
                                           frmProgress2::instance().Command1,
                                           frmProgress2::instance().lblPercent};
        for (QWidget* control : controls) {
            const QString text = control->property("text").toString();
            const QFontMetrics metrics(control->font());
            QVERIFY2(metrics.horizontalAdvance(text) + 4 <= control->width(), qPrintable(text));
            QVERIFY(metrics.height() <= control->height());
        }
    }
};

QTEST_MAIN(ProgressWindowsTest)
#include "test_progress_windows.moc"
