// frmProgress2: the two-bar progress window of the extraction, one bar for
// the whole job and one for the item in hand, with a Cancel button whose only
// effect is the Cancel flag that the extraction polls.
//
// Show it with frmProgress2::instance().Show() (every load resets Cancel) and
// close it with Unload(); the object stays for the whole run.
#pragma once

#include "ui/form_window.h"
#include "ui/paint_throttle.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace quarrix {

class frmProgress2 : public FormWindow {
    Q_OBJECT
public:
    // The window, created (not shown) on first use.
    static frmProgress2& instance();

    // False until the Cancel button is pressed, then true until the next load.
    bool Cancel = false;

    QProgressBar* Progress = nullptr;  // the whole job
    QLabel* lblWork = nullptr;
    QLabel* lblPercent = nullptr;
    QProgressBar* ProgressBar1 = nullptr;  // the item in hand
    QLabel* Label1 = nullptr;              // its percentage
    QLabel* Label2 = nullptr;              // its text
    QPushButton* Command1 = nullptr;       // "Cancel"

    // The caption becomes strWork and lblWork strPart. Does not yield.
    void StartMain(const QString& strPart, const QString& strWork);
    // Label2 becomes strPart; the caption stays. Does not yield.
    void StartSub(const QString& strPart);
    // Value of Max on the main or the sub bar with its percentage (see
    // ShowPercentage), then a yield to the window system.
    void UpdateMain(qint32 Value, qint32 Max);
    void UpdateSub(qint32 Value, qint32 Max);

    void Command1_Click();

protected:
    void Form_Load() override;
    void RestoreDesignState() override;
    // A close request (the title bar's) asks to cancel, as the button does;
    // the window stays until the extraction has ended.
    void closeEvent(QCloseEvent* event) override;

private:
    frmProgress2();

    PaintThrottle throttle_;
};

}  // namespace quarrix
