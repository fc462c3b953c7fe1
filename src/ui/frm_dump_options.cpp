#include "frm_dump_options.h"

#include "ui/form_layout.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace quarrix {

frmDumpOptions& frmDumpOptions::instance()
{
    static frmDumpOptions* dialog = new frmDumpOptions();  // lives for the rest of the run
    return *dialog;
}

frmDumpOptions::frmDumpOptions()
{
    setWindowTitle(QStringLiteral("Dump Options"));
    setModal(true);
    createControls();
    connect(Option1[0], &QRadioButton::clicked, this, [this] { Option1_Click(0); });
    connect(Option1[1], &QRadioButton::clicked, this, [this] { Option1_Click(1); });
    connect(Command1, &QPushButton::clicked, this, &frmDumpOptions::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmDumpOptions::Command2_Click);
}

void frmDumpOptions::createControls()
{
    setFont(ControlFont());
    setFixedSize(TwipsToPixels(0, 0, 4545, 2775).size());

    Label2 = MakeLabel(this,
                       QStringLiteral("You can either uncompress all your files in one directory, or "
                                      "compress them all in one gigantic archive file. Really nifty "
                                      "for unit packs"),
                       120, 120, 4215, 615);
    Option1[0] = new QRadioButton(QStringLiteral("Dump them in unpacked format"), this);
    PlaceControl(Option1[0], 120, 840, 2535, 255);
    Option1[1] = new QRadioButton(QStringLiteral("Dump them in a consolidated archive"), this);
    PlaceControl(Option1[1], 120, 1200, 3255, 255);
    Label1 = MakeLabel(this, QStringLiteral("Archive Name :"), 120, 1560, 1935, 255);
    Text1 = new QLineEdit(this);
    PlaceControl(Text1, 120, 1800, 4335, 285);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(Command1, 1920, 2280, 1215, 375);
    Command2 = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceControl(Command2, 3240, 2280, 1215, 375);

    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Option1[0]);
    setTabOrder(Option1[0], Option1[1]);
    setTabOrder(Option1[1], Text1);
}

void frmDumpOptions::setDesignState()
{
    Option1[0]->setChecked(true);
    Text1->setText(QStringLiteral("Pack.ufo"));
    Text1->setEnabled(false);
    Command1->setFocus();
}

void frmDumpOptions::ShowModal(QWidget* owner)
{
    setDesignState();
    if (owner) {
        QRect frame = frameGeometry();
        frame.moveCenter(owner->frameGeometry().center());
        move(frame.topLeft());
    }
    exec();
}

void frmDumpOptions::Option1_Click(int Index)
{
    Option1[Index]->setChecked(true);
    Text1->setEnabled(Index == 1);
}

void frmDumpOptions::Command1_Click()
{
    if (Option1[0]->isChecked()) {
        Compressed = false;
    } else {
        Compressed = true;
        Filename = Text1->text();
    }
    OK = true;
    done(QDialog::Accepted);
}

void frmDumpOptions::Command2_Click()
{
    OK = false;
    done(QDialog::Rejected);
}

void frmDumpOptions::reject()
{
    Command2_Click();
}

}  // namespace quarrix
