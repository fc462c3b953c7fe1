// The Dump button end to end on archives built by the tests: the dump
// options dialog and the answer it keeps, both dump modes with the window's
// end state and closing message, a Cancel in the progress window,
// failures in the closing message, and an empty target.
#include "../platform/desktop_testkit.h"
#include "app/frm_main.h"
#include "support/list_box.h"
#include "ui/frm_dump_options.h"
#include "ui/frm_progress2.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>

#include "../dump/tree_snapshot.h"
#include "platform/stop_signals.h"
#include "support/archive_builder.h"
#include "support/writer_view.h"

using namespace quarrix;
namespace fs = std::filesystem;

namespace {

// Runs `answer` on the dump options dialog once it is up.
void answerDumpOptions(std::function<void(frmDumpOptions&)> answer)
{
    QTimer::singleShot(0, [answer] {
        QVERIFY(frmDumpOptions::instance().isVisible());
        answer(frmDumpOptions::instance());
    });
}

// Runs `action` at the first yield to the window system at which `ready` holds.
void atFirstYieldWhere(std::function<bool()> ready, std::function<void()> action)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [poll, ready, action] {
        ready() ? action() : (void)QMetaObject::invokeMethod(qApp, *poll, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(qApp, *poll, Qt::QueuedConnection);
}

}  // namespace

class FrmMainDumpTest : public QObject {
    Q_OBJECT

private:
    // Made fresh for each test, and removed in the reverse order.
    struct Fixture {
        testkit::TemporaryAppDir appDir;
        testkit::RecordingMessageBoxes boxes;
        writer_test::ScratchDir scratch;
        frmMain window;
    };
    std::unique_ptr<Fixture> d_;
    frmMain* window_ = nullptr;

    fs::path path(const std::string& name) const { return d_->scratch / name; }

    // Lists an archive `name` of these entries (see hpi::test::archive_of).
    void listArchive(const std::string& name, const std::vector<std::pair<std::string, std::string>>& entries)
    {
        writer_test::write_file(path(name), hpi::test::archive_of(entries));
        window_->lstFiles->AddItem(QString::fromStdString(path(name).string()));
    }

    // Three archives a.hpi, b.ufo, c.gp3 holding the files 1, 2 and 3 in a
    // folder named a, b or c, listed as a scan would list them, with `target`
    // as the target directory.
    void listThreeArchives(const fs::path& target)
    {
        for (const std::string name : {"a.hpi", "b.ufo", "c.gp3"}) {
            const std::string d = name.substr(0, 1);
            listArchive(name, {{d + "\\", ""}, {d + "\\1", "1"}, {d + "\\2", "2"}, {d + "\\3", "3"}});
        }
        fs::create_directories(target);
        window_->ScanDir = QString::fromStdString(d_->scratch.path().string());
        window_->txtTarget->setText(QString::fromStdString(target.string()));
        window_->Command4->setEnabled(true);
    }

    // Without details: archives that do not overlap leave the box as it was.
    void verifyEndStateAndClosingBox(platform::MsgBoxIcon icon, const QString& text,
                                     const QString& details = QString())
    {
        QVERIFY(window_->ScanDir.isEmpty() && !window_->Command4->isEnabled() && window_->isEnabled() &&
                !frmProgress2::instance().isVisible());
        QCOMPARE(d_->boxes.shown.size(), 1);
        const platform::MessageBoxRequest& box = d_->boxes.shown[0];
        QCOMPARE(std::tuple(box.title, box.text, box.icon, box.details),
                 std::tuple(QStringLiteral("File Operations"), text, icon, details));
    }

private slots:
    void init()
    {
        d_ = std::make_unique<Fixture>();
        window_ = &d_->window;
    }

    void cleanup() { d_.reset(); }

    // First, while the dialog has never been used.
    void dumpOptionsKeepTheirAnswerAcrossShowings()
    {
        frmDumpOptions& dialog = frmDumpOptions::instance();
        QCOMPARE(std::tuple(dialog.OK, dialog.Compressed, dialog.Filename),
                 std::tuple(false, false, QString()));
        enum Close { Ok, Cancel, CloseBox };
        const struct {
            bool consolidated;
            const char* name;  // typed into the name field; nullptr: left as it comes
            bool backToUnpacked;
            Close close;
            bool OK, Compressed;
            const char* Filename;
        } steps[] = {
            {false, nullptr, false, Ok, true, false, ""},
            {true, "", false, Ok, true, true, ""},
            {true, "Mine.ufo", true, Ok, true, false, ""},
            {true, nullptr, false, Ok, true, true, "Pack.ufo"},
            {true, "X.ufo", false, Cancel, false, true, "Pack.ufo"},
            {true, nullptr, false, CloseBox, false, true, "Pack.ufo"},
        };
        for (const auto& step : steps) {
            answerDumpOptions([&step](frmDumpOptions& d) {
                QVERIFY2(d.Option1[0]->isChecked() && !d.Text1->isEnabled() && d.Text1->text() == u"Pack.ufo",
                         "every showing starts from the design state");
                if (step.consolidated)
                    QTest::mouseClick(d.Option1[1], Qt::LeftButton);
                if (step.name)
                    d.Text1->setText(QString::fromUtf8(step.name));
                if (step.backToUnpacked)
                    QTest::mouseClick(d.Option1[0], Qt::LeftButton);
                step.close == Ok       ? d.Command1->click()
                : step.close == Cancel ? d.Command2->click()
                                       : (void)d.close();
            });
            dialog.ShowModal(window_);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(std::tuple(dialog.OK, dialog.Compressed, dialog.Filename),
                     std::tuple(step.OK, step.Compressed, QString::fromUtf8(step.Filename)));
        }
    }

    // First with an empty target field: a message asks for one. Then the
    // third archive is damaged: the other two are dumped, and the closing
    // message lists the damaged one.
    void unpackedDumpRebuildsTheTreesEmptiesTheListAndListsFailures()
    {
        listThreeArchives(path("out"));
        writer_test::write_file(path("c.gp3"), std::string("damaged"));
        const QString target = window_->txtTarget->text();
        window_->txtTarget->clear();
        window_->Command4_Click();
        QCOMPARE(d_->boxes.shown.takeFirst().icon, platform::MsgBoxIcon::Exclamation);
        QCOMPARE(window_->lstFiles->ListCount(), 3);  // no dialog came up: nothing would answer it

        window_->txtTarget->setText(target);
        answerDumpOptions([](frmDumpOptions& d) { d.Command1->click(); });
        window_->Command4_Click();

        QCOMPARE(window_->lstFiles->ListCount(), 0);
        QCOMPARE(dumptest::snapshot(path("out")), (dumptest::Tree{{"a/", ""},
                                                                  {"a/1", "1"},
                                                                  {"a/2", "2"},
                                                                  {"a/3", "3"},
                                                                  {"b/", ""},
                                                                  {"b/1", "1"},
                                                                  {"b/2", "2"},
                                                                  {"b/3", "3"}}));
        verifyEndStateAndClosingBox(platform::MsgBoxIcon::Exclamation,
                                    QStringLiteral("Operation Complete\n\n%1: not an archive")
                                        .arg(QString::fromStdString(path("c.gp3").string())));
    }

    // After the dump the details name the archive whose copy is on disk: not
    // one whose copy failed, nor one a Cancel left out or whose copies never
    // reached the target; a file no copy of which was written says so.
    void theClosingBoxDetailsNameTheCopyThatIsOnDisk()
    {
        const std::string damaged = "bad:" + std::string(140000, 'd');
        const struct {
            const char* what;
            std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> archives;
            const char* cancelAt;  // the archive whose start a Cancel meets
            bool consolidated;     // packed into a target folder that is missing
            const char* details;   // the archives named without their folder
            dumptest::Tree onDisk;
        } cases[] = {
            {"the later copy is damaged",
             {{"a.hpi", {{"x.bin", "a"}, {"y.bin", "a"}}}, {"b.ufo", {{"X.BIN", damaged}, {"y.bin", "b"}}}},
             nullptr,
             false,
             "x.bin: kept from a.hpi\ny.bin: kept from b.ufo",
             {{"x.bin", "a"}, {"y.bin", "b"}}},
            {"every copy is damaged",
             {{"a.hpi", {{"x.bin", damaged}}}, {"b.ufo", {{"x.bin", damaged}}}},
             nullptr,
             false,
             "x.bin: not written",
             {}},
            {"a Cancel as the second archive starts",
             {{"p.hpi", {{"x.bin", "p"}}},
              {"q.ufo", {{"x.bin", "q"}, {"y.bin", "q"}}},
              {"r.gp3", {{"y.bin", "r"}}}},
             "q",
             false,
             "x.bin: kept from p.hpi\ny.bin: not written",
             {{"x.bin", "p"}}},
            {"the consolidated archive cannot be made",
             {{"a.hpi", {{"x.bin", "a"}}}, {"b.ufo", {{"x.bin", "b"}}}},
             nullptr,
             true,
             "x.bin: not written",
             {}},
        };
        for (const auto& c : cases) {
            cleanup();
            init();
            for (const auto& [name, files] : c.archives)
                listArchive(name, files);
            const fs::path target = path(c.consolidated ? "missing" : "out");
            window_->ScanDir = QString::fromStdString(d_->scratch.path().string());
            window_->txtTarget->setText(QString::fromStdString(target.string()));
            if (c.cancelAt) {
                frmProgress2& progress = frmProgress2::instance();
                atFirstYieldWhere(
                    [&progress, &c] {
                        return progress.isVisible() && progress.lblWork->text() == QLatin1String(c.cancelAt);
                    },
                    [&progress] { QTest::mouseClick(progress.Command1, Qt::LeftButton); });
            }
            answerDumpOptions([&c](frmDumpOptions& d) {
                if (c.consolidated)
                    QTest::mouseClick(d.Option1[1], Qt::LeftButton);
                d.Command1->click();
            });
            window_->Command4_Click();
            QVERIFY2(!d_->boxes.shown.isEmpty(), c.what);
            QString details = d_->boxes.shown.last().details;
            details.remove(QString::fromStdString((d_->scratch / "").string()));
            QCOMPARE(details, QString::fromUtf8(c.details));
            QCOMPARE(dumptest::snapshot(target), c.onDisk);
            if (c.cancelAt)
                QCOMPARE(window_->lstFiles->ListCount(), 1);  // the archives after the one in hand
        }
    }

    // SIGTERM (a desktop logout) in the middle of a consolidated dump ends the
    // program as Exit does: no temporary file, no working folder, no archive.
    void aStopSignalEndsTheProgramAndTakesTheWorkingFolder()
    {
        frmMain::EndOnStopSignals();
        const platform::StopSignalScope forgetsTheStopAfterwards;
        testkit::EndRecorder ends;
        listThreeArchives(path("target"));
        const fs::path temp = d_->appDir.filePath(QStringLiteral("temp")).toStdString();
        bool tempWasThere = false;
        frmProgress2& progress = frmProgress2::instance();
        atFirstYieldWhere([&progress] { return progress.isVisible() && progress.lblWork->text() == u"b"; },
                          [&] {
                              tempWasThere = fs::exists(temp);
                              platform::RequestStop(SIGTERM);
                          });
        answerDumpOptions([](frmDumpOptions& d) {
            QTest::mouseClick(d.Option1[1], Qt::LeftButton);
            d.Command1->click();
        });
        window_->Command4_Click();
        QCoreApplication::processEvents();
        QVERIFY(tempWasThere);
        QCOMPARE(ends.exitCodes, QList<int>{143});
        QVERIFY(!fs::exists(temp));
        QCOMPARE(dumptest::snapshot(path("target")), dumptest::Tree{});
    }

    // Cancel is clicked once the window shows a file of the second archive:
    // the third archive is left, and what was extracted is packed all the
    // same. The window does not show every file (of those the workers
    // finished together, only the last), so the click may come at any of
    // the second archive's files; those already being written then are
    // finished whole, so which of them follow its first depends on the
    // workers.
    void cancelDuringTheSecondArchiveStillPacks()
    {
        listThreeArchives(path("target"));
        frmProgress2& progress = frmProgress2::instance();
        atFirstYieldWhere(
            [&progress] {
                return progress.isVisible() && progress.lblWork->text() == u"b" &&
                       progress.Label2->text().startsWith(u"Exctracting b\\");
            },
            [&progress] { QTest::mouseClick(progress.Command1, Qt::LeftButton); });
        answerDumpOptions([](frmDumpOptions& d) {
            QTest::mouseClick(d.Option1[1], Qt::LeftButton);
            d.Command1->click();
        });
        window_->Command4_Click();

        QCOMPARE(window_->lstFiles->ListCount(), 1);
        QVERIFY(!fs::exists(d_->appDir.filePath(QStringLiteral("temp")).toStdString()));
        auto packed = hpi::Archive::open(path("target/Pack.ufo"));
        QVERIFY(packed);
        std::vector<std::string> names;
        for (const hpi::Entry& entry : packed.value()->entries())
            names.push_back(entry.path);
        const std::vector<std::string> whole = {"a", "a\\1", "a\\2", "a\\3", "b", "b\\1", "b\\2", "b\\3"};
        QVERIFY(names.size() >= 6 && names.size() <= whole.size());
        QVERIFY(std::equal(names.begin(), names.end(), whole.begin()));
        verifyEndStateAndClosingBox(platform::MsgBoxIcon::Information, QStringLiteral("Operation Complete"));
    }
};

QTEST_MAIN(FrmMainDumpTest)
#include "frm_main_dump_test.moc"
