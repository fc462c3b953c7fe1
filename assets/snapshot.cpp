// Draws the program's windows offscreen into PNGs, to look at their layout and
// to illustrate the user guide (assets/make-screenshots runs it for each):
//   quarrix-snapshot --list                 the windows it can draw
//   quarrix-snapshot WINDOW OUTPUT.png      one window, as a person would see it
//   quarrix-snapshot guide#ANCHOR OUT.png   the guide scrolled to one section
// It runs on a temporary application directory holding a sample Options.ini
// and copies of the guide and media from --assets DIR (by default the
// directory of this tool, where the build puts them).
#include "app/frm_main.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "settings/frm_extensions.h"
#include "support/list_box.h"
#include "ui/frm_about.h"
#include "ui/frm_dump_options.h"
#include "ui/frm_file_scanning.h"
#include "ui/frm_help.h"
#include "ui/frm_progress.h"
#include "ui/frm_progress2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QThread>

#include <cstdio>
#include <functional>

using namespace quarrix;

namespace {

// The main window as it stands after a scan, with a target chosen.
QWidget* stageMainWindow(frmMain& main)
{
    main.ScanDir = QStringLiteral("/home/you/games");
    for (const char* archive : {"/home/you/games/base/totala1.hpi", "/home/you/games/base/maps.ufo",
                                "/home/you/games/mods/armada.gp3", "/home/you/games/mods/ccdata.gp4"})
        main.lstFiles->AddItem(QString::fromUtf8(archive));
    main.txtTarget->setText(QStringLiteral("/home/you/unpacked"));
    main.Command4->setEnabled(true);
    return &main;
}

QWidget* stageFileTypes(frmMain& main)
{
    main.mnuType_Click();
    frmExtensions::instance().txtExt->setText(QStringLiteral("ccx"));
    return &frmExtensions::instance();
}

QWidget* stageGuide(frmMain& main)
{
    main.mnuGuide_Click();
    return &frmHelp::instance();
}

QWidget* stageAbout(frmMain& main)
{
    main.mnuAbout_Click();
    return &frmAbout::instance();
}

// The progress windows show texts and counts like those of a real dump or scan.
QWidget* stageProgress(frmMain& main)
{
    frmProgress& window = frmProgress::instance();
    window.Show(&main);
    window.Start(QStringLiteral("units\\ARMCOM.FBI"), QStringLiteral("Creating monolithic archive"));
    window.Update(2, 3);
    return &window;
}

QWidget* stageProgress2(frmMain&)
{
    frmProgress2& window = frmProgress2::instance();
    window.Show();
    window.StartMain(QStringLiteral("TOTALA1.HPI"), QStringLiteral("Decompressing Archive"));
    window.UpdateMain(100, 100);
    window.StartSub(QStringLiteral("Exctracting ARMCOM.FBI"));
    window.UpdateSub(1, 8);
    return &window;
}

QWidget* stageScanning(frmMain& main)
{
    frmFileScanning& window = frmFileScanning::instance();
    window.Show(&main);
    window.ShowFileBeingScanned(
        QStringLiteral("/home/player/games/Total_Annihilation/Core_Contingency/downloaded_maps/"
                       "Great_Divide_and_Other_Maps_Collection_2024/CCMAPS.UFO"));
    return &window;
}

// Shown modeless here, so that the tool can draw it.
QWidget* stageDumpOptions(frmMain&)
{
    frmDumpOptions& dialog = frmDumpOptions::instance();
    dialog.show();
    dialog.Option1_Click(1);
    return &dialog;
}

// One line per window.
const struct {
    const char* name;
    std::function<QWidget*(frmMain&)> stage;
} kWindows[] = {
    {"main", stageMainWindow},     {"filetypes", stageFileTypes},     {"about", stageAbout},
    {"guide", stageGuide},         {"dumpoptions", stageDumpOptions}, {"progress", stageProgress},
    {"progress2", stageProgress2}, {"scanning", stageScanning},
};

const char kSampleOptions[] =
    "[Recursivity]\r\nEtat=Checked\r\n"
    "[FileType]\r\nType_Count=4\r\n0=hpi\r\n1=ufo\r\n2=gp3\r\n3=gp4\r\n";

// Messages go to the terminal instead of waiting for a click.
class PrintedMessages final : public platform::MessageBoxPresenter {
public:
    platform::MsgBoxResult present(const platform::MessageBoxRequest& request) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(request.text));
        return platform::MsgBoxResult::Ok;
    }
};

bool prepareAppDirectory(const QString& appDir, const QString& assets)
{
    QFile options(QDir(appDir).filePath(QStringLiteral("Options.ini")));
    if (!options.open(QIODevice::WriteOnly) || options.write(kSampleOptions) < 0)
        return false;
    const QStringList kinds{QStringLiteral("*.html"), QStringLiteral("*.png"), QStringLiteral("*.jpg"),
                            QStringLiteral("*.mp3")};
    for (const QString& name : QDir(assets).entryList(kinds, QDir::Files))
        QFile::copy(QDir(assets).filePath(name), QDir(appDir).filePath(name));
    return true;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: quarrix-snapshot [--assets DIR] WINDOW[#ANCHOR] OUTPUT.png\n"
                 "       quarrix-snapshot --list\n");
    return 2;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    if (args == QStringList{QStringLiteral("--list")}) {
        for (const auto& window : kWindows)
            std::printf("%s\n", window.name);
        return 0;
    }
    QString assets = QApplication::applicationDirPath();
    if (args.size() == 4 && args[0] == QStringLiteral("--assets")) {
        assets = args[1];
        args = args.mid(2);
    }
    if (args.size() != 2)
        return usage();
    const QString name = args[0].section(u'#', 0, 0);
    const QString anchor = args[0].section(u'#', 1);
    for (const auto& window : kWindows) {
        if (name != QString::fromUtf8(window.name))
            continue;
        QTemporaryDir appDir;
        if (!prepareAppDirectory(appDir.path(), assets))
            return 1;
        platform::SetApplicationDirectory(appDir.path());
        PrintedMessages messages;
        platform::InstallMessageBoxPresenter(&messages);
        frmMain main;
        main.show();
        QWidget* shown = window.stage(main);
        if (!anchor.isEmpty())
            frmHelp::instance().WebBrowser1->scrollToAnchor(anchor);
        // Controls changed in quick succession are painted once their paint
        // interval ends.
        QThread::msleep(50);
        QApplication::processEvents();
        return shown->grab().save(args[1]) ? 0 : 1;
    }
    return usage();
}
