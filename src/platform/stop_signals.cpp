#include "platform/stop_signals.h"

#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <mutex>

namespace quarrix::platform {

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<int> stopSignal{0};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

// The self-pipe behind StopNotifierFd.
int notifierPipe[2] = {-1, -1};

constexpr int kMostCleanups = 8;
std::atomic<LastMomentCleanup> cleanups[kMostCleanups];

struct sigaction previousInt {
}, previousTerm{};

void onStopSignal(int signal)
{
    if (stopRequested.exchange(true)) {
        RunLastMomentCleanups();
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    stopSignal.store(signal);
    if (notifierPipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(notifierPipe[1], &byte, 1);
    }
}

void makeNotifierPipe()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (::pipe2(notifierPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            notifierPipe[0] = notifierPipe[1] = -1;
    });
}

void drainNotifierPipe()
{
    char bytes[16];
    while (notifierPipe[0] >= 0 && ::read(notifierPipe[0], bytes, sizeof bytes) > 0) {
    }
}

}  // namespace

StopSignalScope::StopSignalScope()
{
    makeNotifierPipe();
    drainNotifierPipe();
    stopRequested.store(false);
    stopSignal.store(0);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // System calls go on after the handler; the work notices the request at
    // its next step.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &previousInt);
    ::sigaction(SIGTERM, &action, &previousTerm);
}

StopSignalScope::~StopSignalScope()
{
    ::sigaction(SIGINT, &previousInt, nullptr);
    ::sigaction(SIGTERM, &previousTerm, nullptr);
    stopRequested.store(false);
    stopSignal.store(0);
}

bool StopRequested()
{
    return stopRequested.load(std::memory_order_relaxed);
}

const std::atomic<bool>& StopFlag()
{
    return stopRequested;
}

int StopSignal()
{
    return stopSignal.load();
}

int StopExitStatus()
{
    const int signal = StopSignal();
    return signal == 0 ? 0 : 128 + signal;
}

void RequestStop(int signal)
{
    onStopSignal(signal);
}

int StopNotifierFd()
{
    makeNotifierPipe();
    return notifierPipe[0];
}

void RunLastMomentCleanups() noexcept
{
    RemoveOpenTemporaryFiles();
    for (auto& cleanup : cleanups)
        if (LastMomentCleanup run = cleanup.load())
            run();
}

void AddLastMomentCleanup(LastMomentCleanup cleanup)
{
    for (auto& slot : cleanups) {
        LastMomentCleanup expected = nullptr;
        if (slot.load() == cleanup || slot.compare_exchange_strong(expected, cleanup))
            return;
    }
}

}  // namespace quarrix::platform
