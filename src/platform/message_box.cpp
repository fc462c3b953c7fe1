#include "message_box.h"

#include <cstdio>

namespace quarrix::platform {

namespace {

MessageBoxPresenter*& installedPresenter()
{
    static MessageBoxPresenter* presenter = nullptr;
    return presenter;
}

// Without a desktop nobody can answer: the message goes to standard error and
// a question gets the answer that changes nothing.
MsgBoxResult writeToStandardError(const MessageBoxRequest& request)
{
    std::fprintf(stderr, "%s: %s\n", request.title.toUtf8().constData(), request.text.toUtf8().constData());
    if (!request.details.isEmpty())
        std::fprintf(stderr, "%s\n", request.details.toUtf8().constData());
    switch (request.buttons) {
        case MsgBoxButtons::Ok:
            return MsgBoxResult::Ok;
        case MsgBoxButtons::YesNo:
            return MsgBoxResult::No;
        case MsgBoxButtons::OkCancel:
        case MsgBoxButtons::YesNoCancel:
            break;
    }
    return MsgBoxResult::Cancel;
}

}  // namespace

MessageBoxPresenter* InstallMessageBoxPresenter(MessageBoxPresenter* presenter)
{
    MessageBoxPresenter* previous = installedPresenter();
    installedPresenter() = presenter;
    return previous;
}

MsgBoxResult MsgBox(const QString& text, MsgBoxButtons buttons, MsgBoxIcon icon, const QString& title,
                    const QString& details)
{
    const MessageBoxRequest request{text, title.isEmpty() ? QString::fromUtf16(kApplicationTitle) : title,
                                    icon, buttons, details};
    if (MessageBoxPresenter* presenter = installedPresenter())
        return presenter->present(request);
    return writeToStandardError(request);
}

}  // namespace quarrix::platform
