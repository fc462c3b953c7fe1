// The File types window: what it loads from Options.ini, what Add and Delete
// do, what it saves (which is what the scan reads), and when it reads again.
#include "../platform/desktop_testkit.h"
#include "settings/frm_extensions.h"
#include "support/leading_number.h"
#include "settings/mod_ini_files.h"
#include "support/list_box.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace quarrix;

namespace {

const QString kOptions = QStringLiteral("Options.ini");

QByteArray fileTypes(const char* entries)
{
    return "[FileType]\r\n" + QByteArray(entries);
}

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
        QTest::addColumn<QByteArray>("after");
        const char* abcd = "0=a\r\n1=b\r\n2=c\r\n3=d\r\n";
        QTest::newRow("blank middle row: counted, no key")
            << fileTypes("Type_Count=3\r\n0=hpi\r\n2=gp3\r\n") << QStringList()
            << QStringList{"hpi", "", "gp3"} << fileTypes("Type_Count=3\r\n0=hpi\r\n2=gp3\r\n");
        QTest::newRow("2.5 gives 2, stale keys stay")
            << fileTypes("Type_Count=2.5\r\n") + abcd << QStringList() << QStringList{"a", "b"}
            << fileTypes("Type_Count=2\r\n") + abcd;
        QTest::newRow("delete in the middle")
            << fileTypes("Type_Count=3\r\n0=hpi\r\n1=ufo\r\n2=gp3\r\n") << QStringList{"select 1", "delete"}
            << QStringList{"hpi", "gp3"} << fileTypes("Type_Count=2\r\n0=hpi\r\n1=gp3\r\n2=gp3\r\n");
        QTest::newRow("add as typed, empty adds nothing")
            << fileTypes("Type_Count=1\r\n0=hpi\r\n") << QStringList{"add HPI", "add "}
            << QStringList{"hpi", "HPI"} << fileTypes("Type_Count=2\r\n0=hpi\r\n1=HPI\r\n");
        QTest::newRow("delete with no row selected")
            << QByteArray() << QStringList{"add hpi", "delete"} << QStringList{"hpi"}
            << fileTypes("Type_Count=1\r\n0=hpi\r\n");
    }

    void loadEditSave()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, rows);
        QFETCH(QByteArray, after);
        testkit::TemporaryAppDir appDir;
        appDir.write(kOptions, before);
        QWidget main;
        frmExtensions window;
        window.ShowAt(&main);
        for (const QString& step : steps) {
            if (step.startsWith(u"select"))
                window.lstTypes->setCurrentRow(step.section(u' ', 1).toInt());
            else if (step == u"delete")
                window.Command4->click();
            else {
                window.txtExt->setText(step.section(u' ', 1));
                window.Command3->click();
            }
        }
        QCOMPARE(rowsOf(*window.lstTypes), rows);
        QCOMPARE(window.lstTypes->currentRow(), 0);

        window.Command1->click();
        QCOMPARE(appDir.read(kOptions), after);
        // The scan asks for the keys below Type_Count with a blank before the digits.
        const QString section = QStringLiteral("FileType");
        QStringList scanned;
        for (int row = 0; row < Int16FromText(modIniFiles::ReadIni(section, "Type_Count")); ++row)
            scanned.append(modIniFiles::ReadIni(section, u' ' + QString::number(row)));
        QCOMPARE(scanned, rows);
    }

    // The window takes the main window's place and gives it back at its own.
    void backKeepsTheRowsAndACloseSavesAndUnloads()
    {
        testkit::TemporaryAppDir appDir;
        appDir.write(kOptions, fileTypes("Type_Count=1\r\n0=hpi\r\n"));
        QWidget main;
        main.move(40, 30);
        frmExtensions window;
        window.ShowAt(&main);
        QCOMPARE(window.pos(), QPoint(40, 30));
        window.move(200, 120);
        window.Command1->click();
        QVERIFY(main.isVisible() && !window.isVisible());
        QCOMPARE(main.pos(), QPoint(200, 120));
        appDir.write(kOptions, fileTypes("Type_Count=1\r\n0=gp3\r\n"));
        window.ShowAt(&main);
        QCOMPARE(rowsOf(*window.lstTypes), QStringList{"hpi"});  // still loaded: not read again
        window.close();
        QCOMPARE(appDir.read(kOptions), fileTypes("Type_Count=1\r\n0=hpi\r\n"));
        appDir.write(kOptions, fileTypes("Type_Count=1\r\n0=gp3\r\n"));
        window.ShowAt(&main);
        QCOMPARE(rowsOf(*window.lstTypes), QStringList{"gp3"});
    }
};

QTEST_MAIN(FrmExtensionsTest)
#include "frm_extensions_test.moc"
