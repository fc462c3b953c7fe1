#include "desktop.h"

#include "platform/stop_signals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace quarrix::platform {

namespace {
BeepHandler& beepHandler()
{
    static BeepHandler handler;
    return handler;
}

EndHandler& endHandler()
{
    static EndHandler handler;
    return handler;
}
}  // namespace

BeepHandler InstallBeepHandler(BeepHandler handler)
{
    return std::exchange(beepHandler(), std::move(handler));
}

void Beep()
{
    if (beepHandler())
        beepHandler()();
}

void YieldToWindowSystem()
{
    // Events posted inside the program (repaints, queued calls) are handed out
    // at every yield. Asking the window system for new input costs a system
    // call, more than a whole step of a scan, so that happens at most once a
    // millisecond, far quicker than a person can notice.
    static QElapsedTimer sinceLastPoll;
    if (!sinceLastPoll.isValid() || sinceLastPoll.hasExpired(1)) {
        QCoreApplication::processEvents();
        sinceLastPoll.start();
    } else {
        QCoreApplication::sendPostedEvents();
    }
}

EndHandler InstallEndHandler(EndHandler handler)
{
    return std::exchange(endHandler(), std::move(handler));
}

void EndApplication(int exitCode)
{
    if (endHandler()) {
        endHandler()(exitCode);
        return;
    }
    // Everything the program keeps is already on disk (the options file is
    // replaced whole at each write), so nothing is lost by skipping the
    // orderly shutdown that would run other windows' close processing. A
    // file being extracted at this moment is only a temporary file yet: it
    // goes, and no half-written file stays behind.
    RunLastMomentCleanups();
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

void EndOnStopSignals(std::function<void()> beforeEnd)
{
    static std::function<void()> cleanUp;
    cleanUp = std::move(beforeEnd);
    static StopSignalScope scope;
    static QSocketNotifier* notifier = nullptr;
    const int fd = StopNotifierFd();
    if (notifier || fd < 0)
        return;
    // Woken at the next yield even in the middle of a dump: the extraction
    // gives up its file in hand as soon as the stop is asked for.
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [fd] {
        char bytes[16];
        while (::read(fd, bytes, sizeof bytes) > 0) {
        }
        if (cleanUp)
            cleanUp();
        EndApplication(StopExitStatus());
    });
}

}  // namespace quarrix::platform
