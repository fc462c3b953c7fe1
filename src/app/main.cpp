#include "app/frm_main.h"
#include "platform/desktop.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarrix"));
    quarrix::platform::UseDesktopDialogs();
    quarrix::frmMain::instance().show();
    return QApplication::exec();
}
