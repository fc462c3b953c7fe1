#include "frm_help.h"

#include "platform/paths.h"
#include "ui/form_layout.h"

#include <QGuiApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QWindow>

namespace quarrix {

frmHelp::frmHelp() : FormWindow(QStringLiteral("User guide"), 10170, 6885)
{
    WebBrowser1 = new QTextBrowser(this);
    PlaceControl(WebBrowser1, 120, 120, 9975, 6255);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(Command1, 8760, 6480, 1335, 375);
    Command1->setAutoDefault(false);
    setTabOrder(Command1, WebBrowser1);
    connect(Command1, &QPushButton::clicked, this, &frmHelp::Command1_Click);
    // The guide behaves as a pop-up: once another window of the program is
    // active, whether straight from the guide or after a visit to another
    // application, it closes.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &frmHelp::focusMovedTo);
}

frmHelp& frmHelp::instance()
{
    static frmHelp* window = new frmHelp();  // lives for the rest of the run
    return *window;
}

void frmHelp::Form_Load()
{
    hasBeenActive_ = false;
    const QString page = platform::AssetPath(u"help.html");
    if (QFileInfo(page).isFile()) {
        WebBrowser1->setSource(QUrl::fromLocalFile(page));
        return;
    }
    WebBrowser1->setPlainText(
        QStringLiteral("The user guide could not be found. It belongs beside the program:\n%1").arg(page));
}

void frmHelp::Command1_Click()
{
    Unload();
}

void frmHelp::focusMovedTo(QWindow* window)
{
    // No window means another application took the focus: the guide stays.
    // Its own menus and dialogs leave it open too. Until the guide has been
    // active it has nothing to lose: the focus that goes back to the main
    // window as the Help menu closes must not close the guide just opened.
    if (window && window == windowHandle()) {
        hasBeenActive_ = true;
        return;
    }
    if (!isVisible() || !hasBeenActive_ || !window || window->transientParent() == windowHandle())
        return;
    Command1_Click();
}

}  // namespace quarrix
