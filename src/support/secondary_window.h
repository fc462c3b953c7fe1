// What the program's secondary windows have in common.
//
// Each exists once for the whole run. It is loaded (Form_Load runs) when it is
// first used after every unload, and unloaded by a close from its title bar or
// by its own code: Form_Unload runs first, then the window hides. The object
// and its public members outlive an unload; an unload asked for while one is
// under way has no further effect.
//
// A window opened from the main window is placed at the main window's left and
// top edges; windows that take the main window's place give their own position
// back to it when the person leaves them.
#pragma once

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace quarrix {

// Layouts are designed in twips; the screen has 15 twips to a pixel.
QRect TwipsToPixels(int left, int top, int width, int height);

// The face every window's controls use: the longest captions fit their
// controls in this condensed face at 10 pixels (about 7.5 points).
QFont ControlFont();

class SecondaryWindow : public QWidget {
    Q_OBJECT
public:
    bool IsLoaded() const { return loaded_; }
    void Load();
    void Unload();

    // Loads the window, puts it at `mainWindow`'s left and top edges and shows
    // it; `mainWindow` is the one ShowMainWindowHere brings back.
    void ShowAt(QWidget* mainWindow);

protected:
    // A top-level window with `caption` and a fixed client area given in twips.
    SecondaryWindow(const QString& caption, int clientWidthTwips, int clientHeightTwips);

    virtual void Form_Load() {}
    virtual void Form_Unload() {}

    // Puts the main window at this window's left and top edges and shows it.
    void ShowMainWindowHere();

    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<QWidget> mainWindow_;
    bool loaded_ = false;
    bool unloading_ = false;
};

}  // namespace quarrix
