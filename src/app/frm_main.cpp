#include "frm_main.h"

#include "platform/desktop.h"
#include "platform/paths.h"
#include "search/search.h"
#include "settings/frm_extensions.h"
#include "settings/mod_ini_files.h"
#include "settings/registered_types.h"
#include "support/frm_file_io.h"
#include "support/list_box.h"
#include "support/mod_file_shell.h"
#include "ui/form_layout.h"
#include "ui/frm_about.h"
#include "ui/frm_file_scanning.h"
#include "ui/frm_help.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>

#include <cstdlib>

namespace quarrix {

namespace {

frmMain* theMainWindow = nullptr;

const QString kRecursivitySection = QStringLiteral("Recursivity");
const QString kEtatKey = QStringLiteral("Etat");

// The scan as the person sees it: the scanning notice over the main window
// with the path of each examined file, the screen kept alive between
// entries, and the main window enabled again at the end.
class FileScanningNotice final : public SearchProgress {
public:
    explicit FileScanningNotice(frmMain& owner) : owner_(owner), notice_(frmFileScanning::instance()) {}

    void searchStarted() override { notice_.Show(&owner_); }
    void fileExamined(const QString& fullPath) override { notice_.ShowFileBeingScanned(fullPath); }
    void betweenEntries() override { platform::YieldToWindowSystem(); }
    void searchFinished() override
    {
        owner_.setEnabled(true);
        notice_.hide();
    }

private:
    frmMain& owner_;
    frmFileScanning& notice_;
};

}  // namespace

frmMain::frmMain()
{
    Q_ASSERT(!theMainWindow);
    theMainWindow = this;
    setWindowTitle(QStringLiteral("Quarrix 2.1"));
    createControls();
    createMenus();
    connectHandlers();
    acceptDroppedPaths();
    Form_Load();
}

frmMain::~frmMain()
{
    if (theMainWindow == this)
        theMainWindow = nullptr;
}

frmMain& frmMain::instance()
{
    if (!theMainWindow)
        new frmMain();  // lives for the rest of the run
    return *theMainWindow;
}

void frmMain::createControls()
{
    auto* client = new QWidget(this);
    client->setFont(ControlFont());
    client->setFixedSize(TwipsToPixels(0, 0, 7110, 3900).size());
    setCentralWidget(client);

    lstFiles = new ListBox(client);
    lstFiles->setGeometry(TwipsToPixels(120, 120, 6855, 2595));

    Command3 = new QPushButton(QStringLiteral("Directory to scan"), client);
    Command3->setGeometry(TwipsToPixels(120, 2760, 2175, 375));

    Command4 = new QPushButton(QStringLiteral("Dump"), client);
    Command4->setGeometry(TwipsToPixels(2400, 2760, 2295, 375));
    Command4->setEnabled(false);

    Command1 = new QPushButton(QStringLiteral("Exit"), client);
    Command1->setGeometry(TwipsToPixels(4800, 2760, 2175, 375));

    Label1 = new QLabel(QStringLiteral("Directory where the files will be extracted :"), client);
    Label1->setGeometry(TwipsToPixels(120, 3240, 3015, 255));

    txtTarget = new QLineEdit(client);
    txtTarget->setGeometry(TwipsToPixels(120, 3480, 6255, 285));

    Command2 = new QPushButton(QStringLiteral("..."), client);
    Command2->setGeometry(TwipsToPixels(6480, 3480, 465, 300));

    for (QPushButton* button : {Command3, Command4, Command1, Command2})
        button->setAutoDefault(false);

    setTabOrder(lstFiles, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command1);
    setTabOrder(Command1, txtTarget);
    setTabOrder(txtTarget, Command2);
}

void frmMain::createMenus()
{
    mnuOptions = menuBar()->addMenu(QStringLiteral("Options"));
    mnuRecur = mnuOptions->addAction(QStringLiteral("Enable directory recursivity"));
    mnuRecur->setCheckable(true);
    mnuType = mnuOptions->addAction(QStringLiteral("Add a file type"));
    mnuHelp = menuBar()->addMenu(QStringLiteral("Help"));
    mnuGuide = mnuHelp->addAction(QStringLiteral("User guide"));
    mnuAbout = mnuHelp->addAction(QStringLiteral("About"));

    setFixedSize(sizeHint());
}

void frmMain::connectHandlers()
{
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmMain::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmMain::Command4_Click);
    connect(mnuRecur, &QAction::triggered, this, [this](bool checkedByMenu) {
        // A checkable action has already flipped its mark; put it back so the
        // handler decides from the state the person saw.
        mnuRecur->setChecked(!checkedByMenu);
        mnuRecur_Click();
    });
    connect(mnuType, &QAction::triggered, this, &frmMain::mnuType_Click);
    connect(mnuGuide, &QAction::triggered, this, &frmMain::mnuGuide_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
}

void frmMain::Form_Load()
{
    // Creating the folder first guarantees that the delete always finds it;
    // together they leave no temporary folder of an earlier run behind.
    frmFile_IO::MakeFolder(platform::JoinPath(platform::WorkingDirectory(), u"temp\\"));
    modFileShell::DeleteFolder(platform::JoinPath(platform::WorkingDirectory(), u"temp"));
    mnuRecur->setChecked(modIniFiles::ReadIni(kRecursivitySection, kEtatKey) == QStringLiteral("Checked"));
}

void frmMain::Command1_Click()
{
    platform::EndApplication(EXIT_SUCCESS);
}

void frmMain::Command2_Click()
{
    txtTarget->setText(frmFile_IO::BrowseForFolder(QString(), this));
    enableDumpWhenBothDirectoriesKnown();
}

void frmMain::Command3_Click()
{
    const QString previousScanDir = ScanDir;
    ScanDir = frmFile_IO::BrowseForFolder(ScanDir, this);
    enableDumpWhenBothDirectoriesKnown();
    if (ScanDir != previousScanDir && !ScanDir.isEmpty())
        BuildArchiveList();
}

void frmMain::mnuRecur_Click()
{
    if (mnuRecur->isChecked()) {
        mnuRecur->setChecked(false);
        modIniFiles::WriteIni(kRecursivitySection, kEtatKey, QStringLiteral("Unchecked"));
    } else {
        mnuRecur->setChecked(true);
        modIniFiles::WriteIni(kRecursivitySection, kEtatKey, QStringLiteral("Checked"));
    }
    BuildArchiveList();
}

// The File types and About windows take this window's place and bring it back
// at their own position when the person leaves them.
void frmMain::mnuType_Click()
{
    frmExtensions::instance().ShowAt(this);
    hide();
}

// The guide opens over this window, which stays visible.
void frmMain::mnuGuide_Click()
{
    frmHelp& guide = frmHelp::instance();
    guide.ShowAt(this);
    guide.activateWindow();
}

void frmMain::mnuAbout_Click()
{
    frmAbout::instance().ShowAt(this);
    hide();
}

void frmMain::enableDumpWhenBothDirectoriesKnown()
{
    if (!ScanDir.isEmpty() && !txtTarget->text().isEmpty())
        Command4->setEnabled(true);
}

void frmMain::BuildArchiveList()
{
    if (ScanDir.isEmpty())
        return;
    lstFiles->Clear();
    AddArchivesFoundIn(ScanDir);
}

void frmMain::AddArchivesFoundIn(const QString& folder)
{
    // No command may start while the finder yields; it enables the window
    // again when it ends.
    setEnabled(false);
    const QString extensions = RegisteredExtensionList();
    FileScanningNotice notice(*this);
    Search_ finder(notice);
    finder.TrouveFichier(folder, extensions, mnuRecur->isChecked());
    finder.lstFiles.ADD_Transfer_ListBox(*lstFiles);
}

void frmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!placedOnScreen_) {
        placedOnScreen_ = true;
        centreOnScreen();
    }
}

void frmMain::centreOnScreen()
{
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Closing the main window ends the program, even while secondary windows
    // are open or hidden.
    event->accept();
    platform::EndApplication(EXIT_SUCCESS);
}

}  // namespace quarrix
