#include "desktop.h"
#include "message_box.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>

namespace quarrix::platform {

namespace {

QMessageBox::Icon toQtIcon(MsgBoxIcon icon)
{
    switch (icon) {
    case MsgBoxIcon::Critical: return QMessageBox::Critical;
    case MsgBoxIcon::Question: return QMessageBox::Question;
    case MsgBoxIcon::Exclamation: return QMessageBox::Warning;
    case MsgBoxIcon::Information: return QMessageBox::Information;
    case MsgBoxIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQtButtons(MsgBoxButtons buttons)
{
    switch (buttons) {
    case MsgBoxButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgBoxButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgBoxButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgBoxButtons::Ok: break;
    }
    return QMessageBox::Ok;
}

MsgBoxResult fromQtButton(int button)
{
    switch (button) {
    case QMessageBox::Cancel: return MsgBoxResult::Cancel;
    case QMessageBox::Yes: return MsgBoxResult::Yes;
    case QMessageBox::No: return MsgBoxResult::No;
    default: return MsgBoxResult::Ok;
    }
}

class QtMessageBoxPresenter final : public MessageBoxPresenter {
public:
    MsgBoxResult present(const MessageBoxRequest& request) override
    {
        QMessageBox box(toQtIcon(request.icon), request.title, request.text,
                        toQtButtons(request.buttons), QApplication::activeWindow());
        return fromQtButton(box.exec());
    }
};

}  // namespace

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
