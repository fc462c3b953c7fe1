// Draws one window offscreen into a PNG, to look at its layout:
//   QT_QPA_PLATFORM=offscreen quarrix-snapshot main.png
//   QT_QPA_PLATFORM=offscreen quarrix-snapshot progress2.png progress2
// Windows: main (default), progress, progress2, scanning; the progress windows
// show texts and counts like those of a real dump or scan.
#include "app/frm_main.h"
#include "platform/paths.h"
#include "ui/frm_file_scanning.h"
#include "ui/frm_progress.h"
#include "ui/frm_progress2.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace quarrix;

namespace {

QWidget* showWindow(const QString& name, frmMain& main)
{
    if (name == u"main") {
        main.show();
        return &main;
    }
    if (name == u"progress") {
        frmProgress& window = frmProgress::instance();
        window.Show(&main);
        window.Start(QStringLiteral("units\\ARMCOM.FBI"), QStringLiteral("Creating monolithic archive"));
        window.Update(2, 3);
        return &window;
    }
    if (name == u"progress2") {
        frmProgress2& window = frmProgress2::instance();
        window.Show();
        window.StartMain(QStringLiteral("TOTALA1.HPI"), QStringLiteral("Decompressing Archive"));
        window.UpdateMain(100, 100);
        window.StartSub(QStringLiteral("Exctracting ARMCOM.FBI"));
        window.UpdateSub(1, 8);
        return &window;
    }
    if (name == u"scanning") {
        frmFileScanning& window = frmFileScanning::instance();
        window.Show(&main);
        window.ShowFileBeingScanned(QStringLiteral(
            "/home/player/games/Total_Annihilation/Core_Contingency/downloaded_maps/Great_Divide_and_Other_Maps_Collection_2024/CCMAPS.UFO"));
        return &window;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: quarrix-snapshot OUTPUT.png [main|progress|progress2|scanning]\n");
        return 2;
    }
    QTemporaryDir appDir;
    platform::SetApplicationDirectory(appDir.path());
    frmMain main;
    QWidget* window = showWindow(argc == 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("main"), main);
    if (!window) {
        std::fprintf(stderr, "quarrix-snapshot: unknown window %s\n", argv[2]);
        return 2;
    }
    // Controls changed in quick succession are painted once their paint
    // interval ends.
    QThread::msleep(50);
    QApplication::processEvents();
    return window->grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
