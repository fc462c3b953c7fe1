// The Dump button end to end on archives built by the tests: the dump
// options dialog and the answer it keeps, both dump modes with the window's
// end state and closing message, a Cancel clicked in the progress window,
// failures in the closing message, and an empty target.
#include "../platform/desktop_testkit.h"
#include "app/frm_main.h"
#include "support/list_box.h"
#include "ui/frm_dump_options.h"
#include "ui/frm_progress2.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QApplication>

#include <filesystem>
#include <functional>
#include <memory>

#include "../dump/tree_snapshot.h"
#include "support/archive_builder.h"
#include "support/writer_view.h"

using namespace quarrix;
namespace fs = std::filesystem;

namespace {

// Answers the dump options dialog once it is up: `choose` runs on the open
// dialog, which is then closed by `close` (its OK button by default).
void answerDumpOptions(std::function<void(frmDumpOptions&)> choose,
                       std::function<void(frmDumpOptions&)> close = [](frmDumpOptions& d) { d.Command1->click(); })
{
    QTimer::singleShot(0, [choose, close] {
        frmDumpOptions& dialog = frmDumpOptions::instance();
        QVERIFY(dialog.isVisible());
        choose(dialog);
        close(dialog);
    });
}

// Runs `action` at the first yield to the window system at which `ready`
// holds: a queued call is handed out at every yield, and one queued while
// they are handed out waits for the next.
void atFirstYieldWhere(std::function<bool()> ready, std::function<void()> action)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [poll, ready, action] {
        if (ready())
            action();
        else
            QMetaObject::invokeMethod(qApp, *poll, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(qApp, *poll, Qt::QueuedConnection);
}

// The content of one file of an archive; empty when it cannot be read.
std::string entryText(const fs::path& archive, const std::string& entry)
{
    auto opened = hpi::Archive::open(archive);
    if (!opened)
        return {};
    const auto index = opened.value()->find(entry);
    hpi::test::Bytes bytes;
    if (!index || hpi::test::read_all(*opened.value(), *index, bytes))
        return {};
    return std::string(bytes.begin(), bytes.end());
}

void chooseConsolidated(frmDumpOptions& dialog)
{
    QTest::mouseClick(dialog.Option1[1], Qt::LeftButton);
}

}  // namespace

class FrmMainDumpTest : public QObject {
    Q_OBJECT

private:
    struct Doubles {
        testkit::TemporaryAppDir appDir;
        testkit::RecordingMessageBoxes boxes;
    };
    std::unique_ptr<Doubles> d_;
    std::unique_ptr<writer_test::ScratchDir> scratch_;
    std::unique_ptr<frmMain> window_;

    fs::path path(const std::string& name) const { return *scratch_ / name; }

    // Three archives a.hpi, b.ufo, c.gp3 of three files each, listed as a
    // scan would list them, with `target` as the target directory.
    void listThreeArchives(const fs::path& target)
    {
        for (const char* name : {"a.hpi", "b.ufo", "c.gp3"}) {
            hpi::test::ArchiveBuilder builder;
            builder.directory("units");
            for (const char* file : {"units\\1.fbi", "units\\2.fbi", "units\\3.fbi"})
                builder.stored_file(file, hpi::test::bytes_of(std::string(name) + file));
            writer_test::write_file(path(name), builder.build().bytes);
            window_->lstFiles->AddItem(QString::fromStdString(path(name).string()));
        }
        fs::create_directories(target);
        window_->ScanDir = QString::fromStdString(scratch_->path().string());
        window_->txtTarget->setText(QString::fromStdString(target.string()));
        window_->Command4->setEnabled(true);
    }

    void verifyEndStateAndClosingBox(platform::MsgBoxIcon icon, const QString& text)
    {
        QVERIFY(window_->ScanDir.isEmpty());
        QVERIFY(!window_->Command4->isEnabled());
        QVERIFY(window_->isEnabled());
        QVERIFY(!frmProgress2::instance().isVisible());
        QCOMPARE(d_->boxes.shown.size(), 1);
        QCOMPARE(d_->boxes.shown[0].title, QStringLiteral("File Operations"));
        QCOMPARE(d_->boxes.shown[0].text, text);
        QCOMPARE(d_->boxes.shown[0].icon, icon);
    }

private slots:
    void init()
    {
        d_ = std::make_unique<Doubles>();
        scratch_ = std::make_unique<writer_test::ScratchDir>();
        window_ = std::make_unique<frmMain>();
    }

    void cleanup()
    {
        window_.reset();
        scratch_.reset();
        d_.reset();
    }

    // First, while the dialog has never been used.
    void dumpOptionsKeepTheirAnswerAcrossShowings()
    {
        frmDumpOptions& dialog = frmDumpOptions::instance();
        QCOMPARE(std::tuple(dialog.OK, dialog.Compressed, dialog.Filename), std::tuple(false, false, QString()));
        const auto ok = [](frmDumpOptions& d) { d.Command1->click(); };
        const auto cancel = [](frmDumpOptions& d) { d.Command2->click(); };
        const auto closeBox = [](frmDumpOptions& d) { d.close(); };
        const struct {
            const char* what;
            std::function<void(frmDumpOptions&)> choose, close;
            bool OK, Compressed;
            QString Filename;
        } steps[] = {
            {"unpacked", [](frmDumpOptions&) {}, ok, true, false, QString()},
            {"consolidated", chooseConsolidated, ok, true, true, QStringLiteral("Pack.ufo")},
            {"consolidated, name emptied", [](frmDumpOptions& d) { chooseConsolidated(d); d.Text1->clear(); }, ok,
             true, true, QString()},
            {"named, then unpacked again",
             [](frmDumpOptions& d) {
                 chooseConsolidated(d);
                 d.Text1->setText(QStringLiteral("Mine.ufo"));
                 QTest::mouseClick(d.Option1[0], Qt::LeftButton);
                 QVERIFY(!d.Text1->isEnabled());
             },
             ok, true, false, QString()},
            {"consolidated for a later cancel", chooseConsolidated, ok, true, true, QStringLiteral("Pack.ufo")},
            {"cancel", [](frmDumpOptions& d) { d.Text1->setText(QStringLiteral("X.ufo")); }, cancel, false, true,
             QStringLiteral("Pack.ufo")},
            {"title-bar close", chooseConsolidated, closeBox, false, true, QStringLiteral("Pack.ufo")},
        };
        for (const auto& step : steps) {
            answerDumpOptions(
                [&step](frmDumpOptions& d) {
                    QVERIFY2(d.Option1[0]->isChecked() && !d.Text1->isEnabled()
                                 && d.Text1->text() == QStringLiteral("Pack.ufo"),
                             "every showing starts from the design state");
                    step.choose(d);
                },
                step.close);
            dialog.ShowModal(window_.get());
            QVERIFY2(!dialog.isVisible(), step.what);
            QCOMPARE(std::tuple(dialog.OK, dialog.Compressed, dialog.Filename),
                     std::tuple(step.OK, step.Compressed, step.Filename));
        }
    }

    void unpackedDumpRebuildsEveryTreeAndEmptiesTheList()
    {
        listThreeArchives(path("out"));
        answerDumpOptions([](frmDumpOptions&) {});
        window_->Command4_Click();

        QCOMPARE(window_->lstFiles->ListCount(), 0);
        QCOMPARE(dumptest::snapshot(path("out")).size(), 4u);  // units/ and 3 files, the last archive's
        QCOMPARE(dumptest::snapshot(path("out"))["units/2.fbi"], std::string("c.gp3units\\2.fbi"));
        verifyEndStateAndClosingBox(platform::MsgBoxIcon::Information, QStringLiteral("Operation Complete"));
    }

    // Cancel is clicked while the second archive is extracted: its files
    // from then on and the third archive are left, and what was extracted is
    // packed all the same.
    void cancelDuringTheSecondArchiveStillPacks()
    {
        listThreeArchives(path("target"));
        frmProgress2& progress = frmProgress2::instance();
        atFirstYieldWhere(
            [&progress] { return progress.lblWork->text() == u"b" && progress.Label2->text() == u"Exctracting 1"; },
            [&progress] { QTest::mouseClick(progress.Command1, Qt::LeftButton); });
        answerDumpOptions(chooseConsolidated);
        window_->Command4_Click();

        QCOMPARE(window_->lstFiles->ListCount(), 1);
        QVERIFY(!fs::exists(d_->appDir.filePath(QStringLiteral("temp")).toStdString()));
        QCOMPARE(entryText(path("target/Pack.ufo"), "units\\1.fbi"), std::string("b.ufounits\\1.fbi"));
        QCOMPARE(entryText(path("target/Pack.ufo"), "units\\2.fbi"), std::string("a.hpiunits\\2.fbi"));
        verifyEndStateAndClosingBox(platform::MsgBoxIcon::Information, QStringLiteral("Operation Complete"));
    }

    void failuresAreListedInAWarningBox()
    {
        listThreeArchives(path("out"));
        writer_test::write_file(path("b.ufo"), std::string("damaged"));
        answerDumpOptions([](frmDumpOptions&) {});
        window_->Command4_Click();

        verifyEndStateAndClosingBox(platform::MsgBoxIcon::Exclamation,
                                    QStringLiteral("Operation Complete\n\n%1: cannot be opened as an archive")
                                        .arg(QString::fromStdString(path("b.ufo").string())));
    }

    void anEmptyTargetAsksForOneAndWritesNothing()
    {
        listThreeArchives(path("out"));
        window_->txtTarget->clear();
        window_->Command4_Click();

        QCOMPARE(d_->boxes.shown.size(), 1);
        QCOMPARE(d_->boxes.shown[0].icon, platform::MsgBoxIcon::Exclamation);
        QCOMPARE(window_->lstFiles->ListCount(), 3);
        QVERIFY(fs::is_empty(path("out")));
    }
};

QTEST_MAIN(FrmMainDumpTest)
#include "test_frm_main_dump.moc"
