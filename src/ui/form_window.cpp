#include "form_window.h"

#include "ui/form_layout.h"

#include <QScreen>
#include <QWindow>

namespace quarrix {

FormWindow::FormWindow(const QString& caption, int widthTwips, int heightTwips)
    : QWidget(nullptr, Qt::Dialog)
{
    setWindowTitle(caption);
    setFont(ControlFont());
    setFixedSize(TwipsToPixels(0, 0, widthTwips, heightTwips).size());
}

void FormWindow::Show(QWidget* owner)
{
    const bool loading = !loaded_;
    if (loading) {
        loaded_ = true;
        Form_Load();
    }
    setOwner(owner);
    if (loading)
        centreOn(owner);
    show();
}

void FormWindow::Unload()
{
    hide();
    loaded_ = false;
}

void FormWindow::setOwner(QWidget* owner)
{
    // A Qt parent would own the window and pass its disabled state on to it;
    // an owner only keeps it above itself, which is what a transient parent is.
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
