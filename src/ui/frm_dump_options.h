// frmDumpOptions: the modal dialog shown before a dump. The person chooses
// between extracting every archive into the target directory and packing
// everything into one consolidated archive, whose name is typed here. The
// answer is handed back through three public members, which belong to the
// dialog object and keep their values across showings.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quarrix {

class frmDumpOptions : public QDialog {
    Q_OBJECT
public:
    // The dialog, created on first use; it lives for the rest of the run.
    static frmDumpOptions& instance();

    // The answer of the last confirmation (false, false and empty before the
    // first one).
    bool Compressed = false;  // "Dump them in a consolidated archive" was chosen
    QString Filename;         // the archive name, as typed; set only with Compressed
    bool OK = false;          // closed with OK (false for Cancel and the close box)

    QLabel* Label2 = nullptr;
    QRadioButton* Option1[2] = {};  // 0: unpacked, 1: consolidated
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;  // "OK"
    QPushButton* Command2 = nullptr;  // "Cancel"

    // Shows the dialog modally, centred on `owner`, with its controls in their
    // design state, and returns once it is closed.
    void ShowModal(QWidget* owner);

    void Option1_Click(int Index);
    void Command1_Click();
    void Command2_Click();

    // A close from the title bar (or Escape) counts as Cancel.
    void reject() override;

private:
    frmDumpOptions();
    void createControls();
    void setDesignState();
};

}  // namespace quarrix
