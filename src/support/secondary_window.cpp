#include "secondary_window.h"

#include <QCloseEvent>

namespace quarrix {

namespace {
constexpr int kTwipsPerPixel = 15;
}  // namespace

QRect TwipsToPixels(int left, int top, int width, int height)
{
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                 height / kTwipsPerPixel);
}

QFont ControlFont()
{
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(10);
    return font;
}

SecondaryWindow::SecondaryWindow(const QString& caption, int clientWidthTwips,
                                 int clientHeightTwips)
{
    setWindowTitle(caption);
    setFont(ControlFont());
    setFixedSize(TwipsToPixels(0, 0, clientWidthTwips, clientHeightTwips).size());
}

void SecondaryWindow::Load()
{
    if (loaded_)
        return;
    loaded_ = true;
    Form_Load();
}

void SecondaryWindow::Unload()
{
    if (!loaded_ || unloading_)
        return;
    unloading_ = true;
    Form_Unload();
    hide();
    loaded_ = false;
    unloading_ = false;
}

void SecondaryWindow::ShowAt(QWidget* mainWindow)
{
    mainWindow_ = mainWindow;
    Load();
    move(mainWindow->pos());
    show();
}

void SecondaryWindow::ShowMainWindowHere()
{
    if (!mainWindow_)
        return;
    mainWindow_->move(pos());
    mainWindow_->show();
}

void SecondaryWindow::closeEvent(QCloseEvent* event)
{
    Unload();
    event->accept();
}

}  // namespace quarrix
