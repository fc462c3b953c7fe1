// frmHelp, the User guide window: shows help.html from the application
// directory. It is placed over the main window, which stays visible, and
// behaves as a pop-up: it closes as soon as another window of the program
// becomes active (switching to another application leaves it open).
#pragma once

#include "ui/form_window.h"

class QPushButton;
class QTextBrowser;
class QWindow;

namespace quarrix {

class frmHelp : public FormWindow {
    Q_OBJECT
public:
    frmHelp();

    // The window of the run, created on first use.
    static frmHelp& instance();

    QTextBrowser* WebBrowser1 = nullptr;
    QPushButton* Command1 = nullptr;  // "OK"

    void Command1_Click();

protected:
    void Form_Load() override;

private:
    void focusMovedTo(QWindow* window);

    // Set once the guide itself has been the active window since it was
    // loaded: only then does another window's activation take it away.
    bool hasBeenActive_ = false;
};

}  // namespace quarrix
