#include "frm_extensions.h"

#include "support/leading_number.h"
#include "settings/mod_ini_files.h"
#include "support/list_box.h"
#include "ui/form_layout.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quarrix {

namespace {

const QString kFileTypeSection = QStringLiteral("FileType");
const QString kTypeCountKey = QStringLiteral("Type_Count");

// Rows are stored under their zero-based index; the scan asks for the same
// keys (with a blank before the digits, which the options file ignores).
QString extensionKey(int row)
{
    return QString::number(row);
}

int selectedRow(const ListBox& list)
{
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.row(selected.first());
}

}  // namespace

frmExtensions::frmExtensions() : FormWindow(QStringLiteral("File Types"), 7110, 4185)
{
    createControls();
    connect(Command3, &QPushButton::clicked, this, &frmExtensions::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmExtensions::Command4_Click);
    connect(Command1, &QPushButton::clicked, this, &frmExtensions::Command1_Click);
}

frmExtensions& frmExtensions::instance()
{
    static frmExtensions* window = new frmExtensions();  // lives for the rest of the run
    return *window;
}

void frmExtensions::createControls()
{
    lstTypes = new ListBox(this);
    PlaceControl(lstTypes, 120, 400, 6855, 2595);

    Command3 = new QPushButton(QStringLiteral("Add"), this);
    PlaceControl(Command3, 120, 3040, 2175, 375);

    Command4 = new QPushButton(QStringLiteral("Delete"), this);
    PlaceControl(Command4, 2400, 3040, 2295, 375);

    Command1 = new QPushButton(QStringLiteral("Back to main"), this);
    PlaceControl(Command1, 4800, 3040, 2175, 375);

    Label1 = new QLabel(QStringLiteral("Enter the new file type you desire : hpi, ufo, gp3, gp4 ..."), this);
    PlaceControl(Label1, 120, 3520, 4095, 255);

    txtExt = new QLineEdit(this);
    PlaceControl(txtExt, 120, 3760, 6855, 285);

    for (QPushButton* button : {Command3, Command4, Command1})
        button->setAutoDefault(false);

    setTabOrder(lstTypes, txtExt);
    setTabOrder(txtExt, Command4);
    setTabOrder(Command4, Command3);
    setTabOrder(Command3, Command1);
}

void frmExtensions::Form_Load()
{
    // A window loaded again after an unload starts from empty controls.
    lstTypes->Clear();
    txtExt->clear();
    const int count = Int16FromText(modIniFiles::ReadIni(kFileTypeSection, kTypeCountKey));
    for (int row = 0; row < count; ++row)
        lstTypes->AddItem(modIniFiles::ReadIni(kFileTypeSection, extensionKey(row)));
    if (lstTypes->ListCount() > 0)
        lstTypes->setCurrentRow(0);
}

void frmExtensions::Command3_Click()
{
    if (!txtExt->text().isEmpty())
        lstTypes->AddItem(txtExt->text());
}

void frmExtensions::Command4_Click()
{
    // Rows added to a list that was empty come without a selection; Delete
    // then has nothing to remove.
    if (const int row = selectedRow(*lstTypes); row >= 0)
        lstTypes->RemoveItem(row);
    if (lstTypes->ListCount() > 0)
        lstTypes->setCurrentRow(0);
}

void frmExtensions::Command1_Click()
{
    const int count = lstTypes->ListCount();
    modIniFiles::WriteIni(kFileTypeSection, kTypeCountKey, QString::number(count));
    // An empty row keeps no key of its own: it reads back empty all the same.
    // Keys at or beyond the count stay in the file; every reader stops at it.
    for (int row = 0; row < count; ++row) {
        const QString extension = lstTypes->List(row);
        if (!extension.isEmpty())
            modIniFiles::WriteIni(kFileTypeSection, extensionKey(row), extension);
    }
    ShowMainWindowHere();
    hide();
}

void frmExtensions::Form_Unload()
{
    // Closing from the title bar saves and returns like "Back to main".
    Command1_Click();
}

}  // namespace quarrix
