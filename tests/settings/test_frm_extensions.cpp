// The File types window: what it loads from Options.ini, what Add and Delete
// do, and what it saves, which is what the scan reads; and when it reads the
// file again.
#include "../platform/desktop_testkit.h"
#include "settings/frm_extensions.h"
#include "settings/leading_number.h"
#include "settings/mod_ini_files.h"
#include "support/list_box.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace quarrix;

namespace {

const QString kOptions = QStringLiteral("Options.ini");

QStringList rowsOf(const ListBox& list)
{
    QStringList rows;
    for (int row = 0; row < list.ListCount(); ++row)
        rows.append(list.List(row));
    return rows;
}

}  // namespace

class FrmExtensionsTest : public QObject {
    Q_OBJECT

private slots:
    void loadEditSave_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("steps");  // "select N", "delete", "add TEXT"
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QByteArray>("after");
        const QByteArray abcd = "0=a\r\n1=b\r\n2=c\r\n3=d\r\n";
        QTest::newRow("no FileType section")
            << QByteArray() << QStringList() << QStringList() << -1
            << QByteArray("[FileType]\r\nType_Count=0\r\n");
        QTest::newRow("blank middle row: counted, not written")
            << QByteArray("[FileType]\r\nType_Count=3\r\n0=hpi\r\n2=gp3\r\n") << QStringList()
            << QStringList{"hpi", "", "gp3"} << 0
            << QByteArray("[FileType]\r\nType_Count=3\r\n0=hpi\r\n2=gp3\r\n");
        QTest::newRow("2.5 rounds to 2, stale keys stay")
            << "[FileType]\r\nType_Count=2.5\r\n" + abcd << QStringList() << QStringList{"a", "b"} << 0
            << "[FileType]\r\nType_Count=2\r\n" + abcd;
        QTest::newRow("3.5 rounds to 4")
            << "[FileType]\r\nType_Count=3.5\r\n" + abcd << QStringList()
            << QStringList{"a", "b", "c", "d"} << 0 << "[FileType]\r\nType_Count=4\r\n" + abcd;
        QTest::newRow("delete in the middle")
            << QByteArray("[FileType]\r\nType_Count=3\r\n0=hpi\r\n1=ufo\r\n2=gp3\r\n")
            << QStringList{"select 1", "delete"} << QStringList{"hpi", "gp3"} << 0
            << QByteArray("[FileType]\r\nType_Count=2\r\n0=hpi\r\n1=gp3\r\n2=gp3\r\n");
        QTest::newRow("add as typed, nothing when empty")
            << QByteArray("[FileType]\r\nType_Count=1\r\n0=hpi\r\n") << QStringList{"add HPI", "add "}
            << QStringList{"hpi", "HPI"} << 0
            << QByteArray("[FileType]\r\nType_Count=2\r\n0=hpi\r\n1=HPI\r\n");
        QTest::newRow("delete with no row selected")
            << QByteArray() << QStringList{"add hpi", "delete"} << QStringList{"hpi"} << 0
            << QByteArray("[FileType]\r\nType_Count=1\r\n0=hpi\r\n");
    }

    void loadEditSave()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, rows);
        QFETCH(int, selected);
        QFETCH(QByteArray, after);
        testkit::TemporaryAppDir appDir;
        testkit::BeepCounter beeps;
        appDir.write(kOptions, before);
        frmExtensions window;
        window.Load();
        for (const QString& step : steps) {
            const QString argument = step.section(u' ', 1);
            if (step.startsWith(u"select"))
                window.lstTypes->setCurrentRow(argument.toInt());
            else if (step == u"delete")
                window.Command4->click();
            else {
                window.txtExt->setText(argument);
                window.Command3->click();
            }
        }
        QCOMPARE(rowsOf(*window.lstTypes), rows);
        QCOMPARE(window.lstTypes->currentRow(), selected);

        window.Command1->click();
        QCOMPARE(appDir.read(kOptions), after);
        QCOMPARE(beeps.beeps, 0);
        // The scan asks for the keys below Type_Count with a blank before the digits.
        const QString section = QStringLiteral("FileType");
        const int count = Int16FromText(modIniFiles::ReadIni(section, QStringLiteral("Type_Count")));
        QStringList scanned;
        for (int row = 0; row < count; ++row)
            scanned.append(modIniFiles::ReadIni(section, u' ' + QString::number(row)));
        QCOMPARE(scanned, rows);
    }

    // Back to main keeps the window loaded: its rows survive without a new
    // read. A close from the title bar saves and unloads: the next opening
    // reads the file again and starts with an empty field.
    void backKeepsTheRowsAndACloseReloadsThem()
    {
        testkit::TemporaryAppDir appDir;
        appDir.write(kOptions, "[FileType]\r\nType_Count=1\r\n0=hpi\r\n");
        QWidget main;
        frmExtensions window;
        window.ShowAt(&main);
        window.txtExt->setText(QStringLiteral("ufo"));
        window.Command3->click();
        window.Command1->click();
        QVERIFY(!window.isVisible());

        appDir.write(kOptions, "[FileType]\r\nType_Count=1\r\n0=gp3\r\n");
        window.ShowAt(&main);
        QCOMPARE(rowsOf(*window.lstTypes), (QStringList{"hpi", "ufo"}));
        window.close();
        QCOMPARE(appDir.read(kOptions), QByteArray("[FileType]\r\nType_Count=2\r\n0=hpi\r\n1=ufo\r\n"));

        appDir.write(kOptions, "[FileType]\r\nType_Count=1\r\n0=gp3\r\n");
        window.ShowAt(&main);
        QCOMPARE(rowsOf(*window.lstTypes), QStringList{"gp3"});
        QVERIFY(window.txtExt->text().isEmpty());
    }
};

QTEST_MAIN(FrmExtensionsTest)
#include "test_frm_extensions.moc"
