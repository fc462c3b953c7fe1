#include "frm_file_scanning.h"

#include "ui/form_layout.h"

#include <QCloseEvent>
#include <QLabel>

namespace quarrix {

frmFileScanning& frmFileScanning::instance()
{
    static frmFileScanning* const window = new frmFileScanning();  // lives for the rest of the run
    return *window;
}

frmFileScanning::frmFileScanning()
    : FormWindow(QStringLiteral("Scanning directories for archives.."), 7110, 1200)
{
    Label1 = MakeLabel(this, QString(), 120, 480, 6495, 615);
    Label2 = MakeLabel(this, QStringLiteral("File being scanned :"), 120, 120, 3615, 255);
}

void frmFileScanning::RestoreDesignState()
{
    Label1->clear();
}

void frmFileScanning::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void frmFileScanning::ShowFileBeingScanned(const QString& fullPath)
{
    throttle_.apply({Label1}, [&] { Label1->setText(fullPath); });
}

}  // namespace quarrix
