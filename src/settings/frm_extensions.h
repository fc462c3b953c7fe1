// frmExtensions, the File types window: edits the list of archive extensions
// that the scan looks for. It loads the list from Options.ini, lets the person
// add and delete rows, and writes the whole list back when the person returns
// to the main window, whose place it takes while open. The next scan reads the
// list from the file again.
#pragma once

#include "ui/form_window.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quarrix {

class ListBox;

class frmExtensions : public FormWindow {
    Q_OBJECT
public:
    frmExtensions();

    // The window of the run, created on first use.
    static frmExtensions& instance();

    ListBox* lstTypes = nullptr;
    QPushButton* Command3 = nullptr;  // "Add"
    QPushButton* Command4 = nullptr;  // "Delete"
    QPushButton* Command1 = nullptr;  // "Back to main"
    QLabel* Label1 = nullptr;
    QLineEdit* txtExt = nullptr;

    void Command3_Click();
    void Command4_Click();
    void Command1_Click();

protected:
    void Form_Load() override;
    void Form_Unload() override;

private:
    void createControls();
};

}  // namespace quarrix
