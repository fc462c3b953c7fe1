// The desktop's message box as the program makes it, for the presenter that
// shows it and for the tests that look at it.
#pragma once

#include "platform/message_box.h"

#include <QString>
#include <memory>

class QMessageBox;
class QWidget;

namespace quarrix::platform {

// The width a title needs on the window's title bar, its buttons included.
int TitleBarWidth(const QString& title);

// A box for `request`, at least as wide as its title needs.
std::unique_ptr<QMessageBox> MakeDesktopMessageBox(const MessageBoxRequest& request, QWidget* parent);

}  // namespace quarrix::platform
