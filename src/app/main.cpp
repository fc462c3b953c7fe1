#include "app/frm_main.h"
#include "platform/desktop.h"
#include "platform/paths.h"

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
    quarrix::platform::PlaceDefaultOptionsFile();
    quarrix::frmMain::EndOnStopSignals();
    quarrix::frmMain& window = quarrix::frmMain::instance();
    window.show();
    // The folders and archives a file manager opens with the program (Qt has
    // taken its own options out of the list), once the window is on screen.
    const QStringList paths = QApplication::arguments().mid(1);
    if (!paths.isEmpty())
        QMetaObject::invokeMethod(
            &window, [&window, paths] { window.OpenPaths(paths); }, Qt::QueuedConnection);
    return QApplication::exec();
}
