#include "app/frm_main.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarrix"));
    quarrix::frmMain::instance().show();
    return QApplication::exec();
}
