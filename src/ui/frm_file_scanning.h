// frmFileScanning: the notice that the file finder keeps on screen while it
// walks a directory tree, with the path of the file in hand.
//
// Show it with frmFileScanning::instance().Show(owner) and hide it with
// hide(); it is never unloaded, so Label1 keeps the last path shown until the
// next showing empties it.
#pragma once

#include "ui/form_window.h"
#include "ui/paint_throttle.h"

class QLabel;

namespace quarrix {

class frmFileScanning : public FormWindow {
    Q_OBJECT
public:
    // The window, created (not shown) on first use.
    static frmFileScanning& instance();

    QLabel* Label2 = nullptr;  // "File being scanned :"
    QLabel* Label1 = nullptr;  // the path

    // Label1 becomes `fullPath` at once; it is painted at most once per
    // PaintThrottle interval, since a scan examines thousands of files a
    // second.
    void ShowFileBeingScanned(const QString& fullPath);

protected:
    void RestoreDesignState() override;
    // The scan cannot be stopped: a close from the title bar is refused.
    void closeEvent(QCloseEvent* event) override;

private:
    frmFileScanning();

    PaintThrottle throttle_;
};

}  // namespace quarrix
