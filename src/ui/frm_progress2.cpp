#include "frm_progress2.h"

#include "ui/form_layout.h"
#include "ui/progress_display.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace quarrix {

frmProgress2& frmProgress2::instance()
{
    static frmProgress2* const window = new frmProgress2();  // lives for the rest of the run
    return *window;
}

namespace {
const QString kDesignCaption = QStringLiteral("Form1");
}

frmProgress2::frmProgress2() : FormWindow(kDesignCaption, 4815, 2640)
{
    Progress = MakeProgressBar(this, 120, 120, 4575, 495);
    lblWork = MakeLabel(this, QString(), 120, 720, 3015, 255);
    lblPercent = MakeLabel(this, QString(), 3480, 720, 1215, 255, Qt::AlignRight);
    ProgressBar1 = MakeProgressBar(this, 120, 1200, 4575, 495);
    Label1 = MakeLabel(this, QString(), 3480, 1800, 1215, 255, Qt::AlignRight);
    Label2 = MakeLabel(this, QString(), 120, 1800, 3015, 255);
    Command1 = new QPushButton(QStringLiteral("Cancel"), this);
    Command1->setAutoDefault(false);
    PlaceControl(Command1, 3360, 2160, 1335, 375);
    connect(Command1, &QPushButton::clicked, this, &frmProgress2::Command1_Click);
}

void frmProgress2::Form_Load()
{
    Cancel = false;
}

void frmProgress2::RestoreDesignState()
{
    setWindowTitle(kDesignCaption);
    for (QProgressBar* bar : {Progress, ProgressBar1})
        bar->setValue(0);
    for (QLabel* label : {lblWork, lblPercent, Label1, Label2})
        label->clear();
}

void frmProgress2::closeEvent(QCloseEvent* event)
{
    // The program itself unloads the window, never closes it: a close
    // request comes from the title bar.
    Command1_Click();
    event->ignore();
}

void frmProgress2::Command1_Click()
{
    Cancel = true;
}

void frmProgress2::StartMain(const QString& strPart, const QString& strWork)
{
    setWindowTitle(strWork);
    lblWork->setText(strPart);
}

void frmProgress2::StartSub(const QString& strPart)
{
    // Set once per extracted file: painted no more often than the bars.
    throttle_.apply({Label2}, [&] { Label2->setText(strPart); });
}

void frmProgress2::UpdateMain(qint32 Value, qint32 Max)
{
    ShowPercentage(throttle_, Progress, lblPercent, Value, Max);
}

void frmProgress2::UpdateSub(qint32 Value, qint32 Max)
{
    ShowPercentage(throttle_, ProgressBar1, Label1, Value, Max);
}

}  // namespace quarrix
