// The base of the program's secondary windows: a small fixed-size window that
// exists at most once for the whole run and outlives its unloading.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace quarrix {

class FormWindow : public QWidget {
    Q_OBJECT
public:
    // Loads the window when it is not loaded (Form_Load runs, and the window
    // is centred on its owner, or on the screen without one), then shows it
    // modeless, kept above `owner` while both are shown. The owner does not
    // own the window: it may go away before the window does. A window that
    // was not on screen comes back in its design state (RestoreDesignState).
    void Show(QWidget* owner = nullptr);

    // Loads the window when it is not loaded, puts its frame where
    // `mainWindow`'s frame is and shows it modeless without owner.
    // ShowMainWindowHere gives the place back to `mainWindow`.
    void ShowAt(QWidget* mainWindow);

    // Runs Form_Unload, hides the window and marks it unloaded; its members
    // keep their values and the next Show loads it again. An unload asked for
    // while one is under way has no further effect. A close from the title
    // bar unloads the window too. (QWidget::hide() hides it and keeps it
    // loaded.)
    void Unload();

protected:
    // A window with `caption` and a client area of the given size in twips.
    FormWindow(const QString& caption, int widthTwips, int heightTwips);

    // Run at every load and at every unload; nothing by default.
    virtual void Form_Load() {}
    virtual void Form_Unload() {}

    // Puts the texts, bars and caption back as designed, before each showing
    // of a window that was not on screen, so that nothing of an earlier job
    // shows; nothing by default.
    virtual void RestoreDesignState() {}

    // Puts the window given to ShowAt at this window's left and top edges and
    // shows it.
    void ShowMainWindowHere();

    void closeEvent(QCloseEvent* event) override;

private:
    bool load();
    void setOwner(QWidget* owner);
    void centreOn(const QWidget* owner);

    QPointer<QWidget> mainWindow_;
    bool loaded_ = false;
    bool unloading_ = false;
};

}  // namespace quarrix
