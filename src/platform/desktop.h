// Small services of the window system: the beep, the application's mouse
// pointer, the yield to pending events, and the end of the program.
//
// The beep, the yield and the end need only Qt Core (quarrix_platform_core),
// so the command-line companion shares them; the mouse pointer and the
// desktop dialogs need the widgets (quarrix_platform).
#pragma once

#include <functional>

namespace quarrix::platform {

// Makes message boxes desktop dialogs and the beep the desktop's; called once
// by the program after its QApplication is made. Until then (and in the
// command-line companion) messages go to standard error and the beep is
// silent.
void UseDesktopDialogs();

// The system beep: the installed handler, nothing without one. Tests install
// a handler to count beeps. Returns the handler installed before.
using BeepHandler = std::function<void()>;
BeepHandler InstallBeepHandler(BeepHandler handler);
void Beep();

// The application's mouse pointer: the busy (hourglass) shape, and back to
// the default shape whatever was set before.
void SetBusyCursor();
void SetDefaultCursor();
bool IsBusyCursor();

// Lets the window system process pending events (repaints, clicks). Events
// posted by the program itself are processed at every call; new input from the
// window system is looked for at most once a millisecond.
void YieldToWindowSystem();

// Ends the program at once with `exitCode`: no window's close processing and
// no further code of the caller runs; temporary files of files still being
// written are removed first (RunLastMomentCleanups, stop_signals.h). Tests install a handler that records the
// end and returns instead; code that calls EndApplication therefore stops its
// own work right after the call. An empty handler restores the real end.
using EndHandler = std::function<void(int exitCode)>;
EndHandler InstallEndHandler(EndHandler handler);
void EndApplication(int exitCode);

// From now on SIGINT and SIGTERM (Ctrl-C, the desktop ending the session)
// end the program as Exit does, with 130 or 143, once `beforeEnd` has run on
// the user-interface thread. Needs the application object.
void EndOnStopSignals(std::function<void()> beforeEnd);

}  // namespace quarrix::platform
