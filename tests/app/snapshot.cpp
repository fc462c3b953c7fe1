// Draws the main window offscreen into a PNG, to look at its layout:
//   QT_QPA_PLATFORM=offscreen quarrix-snapshot main.png
#include "app/frm_main.h"
#include "platform/paths.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quarrix-snapshot OUTPUT.png\n");
        return 2;
    }
    QTemporaryDir appDir;
    quarrix::platform::SetApplicationDirectory(appDir.path());
    quarrix::frmMain window;
    window.show();
    QApplication::processEvents();
    return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
