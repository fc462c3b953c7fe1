#include "form_window.h"

#include "ui/form_layout.h"

#include <QCloseEvent>
#include <QScreen>
#include <QWindow>

namespace quarrix {

FormWindow::FormWindow(const QString& caption, int widthTwips, int heightTwips) : QWidget(nullptr, Qt::Dialog)
{
    setWindowTitle(caption);
    setFont(ControlFont());
    setFixedSize(TwipsToPixels(0, 0, widthTwips, heightTwips).size());
}

bool FormWindow::load()
{
    if (loaded_)
        return false;
    loaded_ = true;
    Form_Load();
    return true;
}

void FormWindow::Show(QWidget* owner)
{
    if (!isVisible())
        RestoreDesignState();
    const bool loading = load();
    setOwner(owner);
    if (loading)
        centreOn(owner);
    show();
}

void FormWindow::ShowAt(QWidget* mainWindow)
{
    mainWindow_ = mainWindow;
    load();
    // Placed before the window system knows the window: Qt then takes the
    // position for the frame's, whose size is known only once it is shown.
    // Placed after, it is the client area's, and the title bar goes above.
    move(mainWindow->pos());
    setOwner(nullptr);
    show();
}

void FormWindow::Unload()
{
    if (unloading_)
        return;
    unloading_ = true;
    if (loaded_)
        Form_Unload();
    hide();
    loaded_ = false;
    unloading_ = false;
}

void FormWindow::ShowMainWindowHere()
{
    if (!mainWindow_)
        return;
    mainWindow_->move(pos());
    mainWindow_->show();
}

void FormWindow::closeEvent(QCloseEvent* event)
{
    Unload();
    event->accept();
}

void FormWindow::setOwner(QWidget* owner)
{
    // A Qt parent would own the window and pass its disabled state on to it;
    // an owner only keeps it above itself, which is what a transient parent is.
    // Without one, the window is not made known to the window system before
    // it is shown (see ShowAt).
    if (!owner && !windowHandle())
        return;
    winId();
    QWindow* ownerWindow = nullptr;
    if (owner) {
        owner->window()->winId();
        ownerWindow = owner->window()->windowHandle();
    }
    windowHandle()->setTransientParent(ownerWindow);
}

void FormWindow::centreOn(const QWidget* owner)
{
    QRect area;
    if (owner)
        area = owner->window()->frameGeometry();
    else if (const QScreen* screen = this->screen())
        area = screen->availableGeometry();
    else
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

}  // namespace quarrix
