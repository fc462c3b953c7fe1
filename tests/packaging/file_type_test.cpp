// The archives' file type as a file manager sees it: the package file alone in
// a data directory, its database built by update-mime-database, and files
// named by QMimeDatabase from their names and from their first bytes.
#include <QDir>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kType = QStringLiteral("application/x-hpi-archive");
}

class FileTypeTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir data_;

    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile file(QDir(data_.path()).filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName()
                                                                                    : QString();
    }

private slots:
    void initTestCase()
    {
        const QString update = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
        if (update.isEmpty())
            QSKIP("update-mime-database is missing (scripts/setup installs shared-mime-info)");
        const QDir data(data_.path());
        QVERIFY(data.mkpath(QStringLiteral("mime/packages")));
        QVERIFY(QFile::copy(QStringLiteral(QUARRIX_MIME_PACKAGE),
                            data.filePath(QStringLiteral("mime/packages/quarrix.xml"))));
        // Read before the first QMimeDatabase is made; no other database is seen.
        qputenv("XDG_DATA_DIRS", data_.path().toUtf8());
        qputenv("XDG_DATA_HOME", data_.path().toUtf8());
        QCOMPARE(QProcess::execute(update, {data.filePath(QStringLiteral("mime"))}), 0);
    }

    void typeOfAFile_data()
    {
        QFile archive(QStringLiteral(QUARRIX_TESTDATA_DIR "/stored.hpi"));
        QVERIFY(archive.open(QIODevice::ReadOnly));
        const QByteArray bytes = archive.readAll();
        const QByteArray later = QByteArray("HAPI\0\0\2\0", 8) + QByteArray(24, '\0');
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("byContent");
        QTest::addColumn<bool>("archive");
        QTest::newRow("named") << "base.hpi" << bytes << false << true;
        for (const char* name : {"a.UFO", "b.gp3", "c.Gp4", "d.ccx"})
            QTest::newRow(name) << QString::fromUtf8(name) << QByteArray() << false << true;
        QTest::newRow("renamed") << "base.bak" << bytes << true << true;
        QTest::newRow("renamed, the later layout") << "later" << later << true << true;
        QTest::newRow("renamed text file") << "notes.bak" << QByteArray("plain words\n") << true << false;
        QTest::newRow("text starting with the marker")
            << "hapi.bak" << QByteArray("HAPI is not enough\n") << true << false;
        QTest::newRow("saved game") << "game.bak" << QByteArray("HAPIBANK").append(24, '\0') << true << false;
    }

    void typeOfAFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, byContent);
        QFETCH(bool, archive);
        const QString path = write(name, content);
        QVERIFY(!path.isEmpty());
        const QMimeType type = QMimeDatabase().mimeTypeForFile(
            path, byContent ? QMimeDatabase::MatchContent : QMimeDatabase::MatchExtension);
        QCOMPARE(type.name() == kType, archive);
        if (archive)
            QVERIFY(type.inherits(QStringLiteral("application/octet-stream")) && !type.comment().isEmpty());
    }
};

QTEST_GUILESS_MAIN(FileTypeTest)
#include "file_type_test.moc"
