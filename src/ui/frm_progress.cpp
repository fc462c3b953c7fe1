#include "frm_progress.h"

#include "ui/form_layout.h"
#include "ui/progress_display.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>

namespace quarrix {

frmProgress& frmProgress::instance()
{
    static frmProgress* const window = new frmProgress();  // lives for the rest of the run
    return *window;
}

namespace {
const QString kDesignCaption = QStringLiteral("Form2");
}

frmProgress::frmProgress() : FormWindow(kDesignCaption, 4845, 1155)
{
    Progress = MakeProgressBar(this, 120, 120, 4575, 495);
    lblPercent = MakeLabel(this, QString(), 3480, 720, 1215, 255, Qt::AlignRight);
    lblWork = MakeLabel(this, QString(), 120, 720, 3015, 255);
}

void frmProgress::RestoreDesignState()
{
    setWindowTitle(kDesignCaption);
    Progress->setValue(0);
    lblPercent->clear();
    lblWork->clear();
}

void frmProgress::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void frmProgress::Start(const QString& strPart, const QString& strWork)
{
    setWindowTitle(strWork);
    // Set once per packed file: painted no more often than the bar.
    throttle_.apply({lblWork}, [&] { lblWork->setText(strPart); });
}

void frmProgress::Update(qint32 Value, qint32 Max)
{
    ShowPercentage(throttle_, Progress, lblPercent, Value, Max);
}

}  // namespace quarrix
