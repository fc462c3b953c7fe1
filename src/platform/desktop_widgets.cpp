#include "desktop.h"
#include "message_box.h"
#include "message_box_widget.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace quarrix::platform {

namespace {

QMessageBox::Icon toQtIcon(MsgBoxIcon icon)
{
    switch (icon) {
        case MsgBoxIcon::Critical:
            return QMessageBox::Critical;
        case MsgBoxIcon::Question:
            return QMessageBox::Question;
        case MsgBoxIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgBoxIcon::Information:
            return QMessageBox::Information;
        case MsgBoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQtButtons(MsgBoxButtons buttons)
{
    switch (buttons) {
        case MsgBoxButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgBoxButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgBoxButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgBoxButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

MsgBoxResult fromQtButton(int button)
{
    switch (button) {
        case QMessageBox::Cancel:
            return MsgBoxResult::Cancel;
        case QMessageBox::Yes:
            return MsgBoxResult::Yes;
        case QMessageBox::No:
            return MsgBoxResult::No;
        default:
            return MsgBoxResult::Ok;
    }
}

class QtMessageBoxPresenter final : public MessageBoxPresenter {
public:
    MsgBoxResult present(const MessageBoxRequest& request) override
    {
        const auto box = MakeDesktopMessageBox(request, QApplication::activeWindow());
        return fromQtButton(box->exec());
    }
};

}  // namespace

int TitleBarWidth(const QString& title)
{
    // The window manager draws the title in a font of its own, often bold:
    // a quarter more than the box's font, and room for the buttons beside it.
    constexpr int kButtonsAndMargins = 130;
    const int text = QFontMetrics(QApplication::font()).horizontalAdvance(title);
    return text + text / 4 + kButtonsAndMargins;
}

std::unique_ptr<QMessageBox> MakeDesktopMessageBox(const MessageBoxRequest& request, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(toQtIcon(request.icon), request.title, request.text,
                                             toQtButtons(request.buttons), parent);
    if (!request.details.isEmpty())
        box->setDetailedText(request.details);
    // A box sizes itself to its text alone; a short text would cut its title
    // ("File O...ations"). A spacer across its grid holds it wide enough.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(
            new QSpacerItem(TitleBarWidth(request.title), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
            grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

void UseDesktopDialogs()
{
    static QtMessageBoxPresenter presenter;
    InstallMessageBoxPresenter(&presenter);
    InstallBeepHandler([] { QApplication::beep(); });
}

void SetBusyCursor()
{
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void SetDefaultCursor()
{
    // Override cursors stack up; the default shape means none is left.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

bool IsBusyCursor()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

}  // namespace quarrix::platform
