// Message boxes. The program shows every message a person must see through
// MsgBox, answered by the installed presenter: the desktop's dialogs once the
// program has called UseDesktopDialogs (desktop.h), a recorder in tests. With
// none installed (the command-line companion) the message goes to standard
// error.
#pragma once

#include <QString>

namespace quarrix::platform {

// The title of a message box that is given none.
inline constexpr char16_t kApplicationTitle[] = u"Quarrix";

enum class MsgBoxIcon { None, Critical, Question, Exclamation, Information };
enum class MsgBoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgBoxResult { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
    QString text;
    QString title;  // never empty by the time a presenter sees it
    MsgBoxIcon icon = MsgBoxIcon::None;
    MsgBoxButtons buttons = MsgBoxButtons::Ok;
    QString details = {};  // behind the box's "Show Details..."; empty for none
};

class MessageBoxPresenter {
public:
    virtual ~MessageBoxPresenter() = default;
    // Shows the box modally and returns the button the person pressed.
    virtual MsgBoxResult present(const MessageBoxRequest& request) = 0;
};

// Makes `presenter` answer every MsgBox from now on (nullptr: none). Returns
// the presenter that was installed before. The caller keeps ownership.
MessageBoxPresenter* InstallMessageBoxPresenter(MessageBoxPresenter* presenter);

// Shows a modal message box; an empty title shows the application title,
// non-empty details are shown on request ("Show Details..."). Without a
// presenter the text and the details go to standard error, and the answer is
// Ok, No or Cancel: the one that changes nothing.
MsgBoxResult MsgBox(const QString& text, MsgBoxButtons buttons = MsgBoxButtons::Ok,
                    MsgBoxIcon icon = MsgBoxIcon::None, const QString& title = QString(),
                    const QString& details = QString());

}  // namespace quarrix::platform
