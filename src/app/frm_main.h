// frmMain: the main window and start object. From here the person chooses
// the directory to scan and the target directory, starts a dump, switches
// recursive scanning on and off, and opens the secondary windows.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace quarrix {

namespace dump {
class DumpFailures;
}

class ListBox;
struct WrittenFiles;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // The main window exists at most once; constructing it runs Form_Load.
    frmMain();
    ~frmMain() override;

    // The main window, created on first use.
    static frmMain& instance();

    // From now on SIGINT and SIGTERM (a desktop logout) end the program as
    // Exit does, and take the consolidated dump's working folder with them.
    static void EndOnStopSignals();

    // The directory to scan; held by the window only, never saved.
    QString ScanDir;

    // Controls, named as the rest of the program knows them.
    ListBox* lstFiles = nullptr;
    QPushButton* Command3 = nullptr;  // "Directory to scan"
    QPushButton* Command4 = nullptr;  // "Dump"
    QPushButton* Command1 = nullptr;  // "Exit"
    QLabel* Label1 = nullptr;
    QLineEdit* txtTarget = nullptr;
    QPushButton* Command2 = nullptr;  // "..."

    QMenu* mnuOptions = nullptr;
    QAction* mnuRecur = nullptr;
    QAction* mnuType = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuGuide = nullptr;
    QAction* mnuAbout = nullptr;

    // Takes what the window is given on its command line or by a drop, as
    // its buttons would: the folders are scanned in turn with the recursion
    // setting, the first becoming the directory to scan; the archive files
    // are listed after them as a scan lists a file (once), the folder of the
    // first one becoming the directory to scan when no folder is given. One
    // message names every path that does not exist or is neither a folder
    // nor an archive; the rest is taken all the same. Nothing valid: the
    // list and the directory to scan stay as they were.
    void OpenPaths(const QStringList& paths);

    // Event handlers.
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void mnuRecur_Click();
    void mnuType_Click();
    void mnuGuide_Click();
    void mnuAbout_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Folders and archives dropped from a file manager, taken as OpenPaths
    // takes them.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createControls();
    void createMenus();
    void connectHandlers();
    void centreOnScreen();
    void enableDumpWhenBothDirectoriesKnown();
    void BuildArchiveList();
    void AddArchivesFoundIn(const QString& folder);
    void acceptDroppedPaths();

    // The two halves of a dump; what goes wrong is added to `failures`, and
    // the files the extraction writes whole to `written`.
    void ExtractArchives(const QString& destination, dump::DumpFailures& failures, WrittenFiles& written);
    void CreateMonolithic(dump::DumpFailures& failures);

    bool placedOnScreen_ = false;
};

}  // namespace quarrix
