// SIGINT and SIGTERM as a request to stop: Ctrl-C in a terminal, or the
// desktop ending the session. Long work polls StopRequested() at its natural
// steps (between files, between chunks) and winds down with nothing left
// behind; the program then ends with 128 + the signal's number, as a shell
// expects of a process a signal stopped.
//
// A second signal while the first is being honoured ends the program at
// once: the temporary files still open are removed first (the registered
// last-moment cleanups), then the signal takes its default course.
#pragma once

#include <atomic>

namespace quarrix::platform {

// Catches SIGINT and SIGTERM while it lives; the handlers in place before
// come back when it goes. A stop request is forgotten when it starts and
// when it ends.
class StopSignalScope {
public:
    StopSignalScope();
    ~StopSignalScope();
    StopSignalScope(const StopSignalScope&) = delete;
    StopSignalScope& operator=(const StopSignalScope&) = delete;
};

bool StopRequested();
// The flag itself, for code below the program that takes a stop flag
// (the archive library's packing).
const std::atomic<bool>& StopFlag();
// The signal that asked to stop, 0 when none did.
int StopSignal();
// 130 for SIGINT, 143 for SIGTERM, 0 when no signal asked to stop.
int StopExitStatus();
// Asks to stop as the signal would (for the tests).
void RequestStop(int signal);

// A descriptor that becomes readable once a stop was requested, so that an
// event loop can be woken by it (the window's); -1 when none could be made.
int StopNotifierFd();

// Called, async-signal-safely, when the program ends at once: by a second
// signal, or by EndApplication (desktop.h).
using LastMomentCleanup = void (*)() noexcept;
void AddLastMomentCleanup(LastMomentCleanup cleanup);
// Removes the temporary files still open (RemoveOpenTemporaryFiles) and runs
// the cleanups added; async-signal-safe.
void RunLastMomentCleanups() noexcept;

}  // namespace quarrix::platform
