#include "app/frm_main.h"
#include "platform/desktop.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarrix"));
    // The menu entry's name: the desktop matches the windows to it, and the
    // icon it installs into the theme becomes the windows' icon.
    const QString desktopId = QStringLiteral("io.github.quarrix.Quarrix");
    QApplication::setDesktopFileName(desktopId);
    QApplication::setWindowIcon(QIcon::fromTheme(desktopId));
    quarrix::platform::UseDesktopDialogs();
    quarrix::frmMain::EndOnStopSignals();
    quarrix::frmMain::instance().show();
    return QApplication::exec();
}
