// frmProgress: the one-bar progress window of the consolidated archive
// builder, fed from the packing progress callback.
//
// Show it with frmProgress::instance().Show(owner) and close it with
// Unload(); the object stays for the whole run.
#pragma once

#include "ui/form_window.h"
#include "ui/paint_throttle.h"

class QLabel;
class QProgressBar;

namespace quarrix {

class frmProgress : public FormWindow {
    Q_OBJECT
public:
    // The window, created (not shown) on first use.
    static frmProgress& instance();

    QProgressBar* Progress = nullptr;
    QLabel* lblWork = nullptr;
    QLabel* lblPercent = nullptr;

    // The caption becomes strWork and lblWork strPart; nothing is yielded, so
    // they appear at the next update.
    void Start(const QString& strPart, const QString& strWork);

    // Shows Value of Max on Progress and lblPercent (see ShowPercentage), then
    // lets the window system process its pending events.
    void Update(qint32 Value, qint32 Max);

protected:
    void RestoreDesignState() override;
    // Packing cannot be stopped: a close from the title bar is refused.
    void closeEvent(QCloseEvent* event) override;

private:
    frmProgress();

    PaintThrottle throttle_;
};

}  // namespace quarrix
