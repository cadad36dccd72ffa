#include "shell/Platform.h"

#include <atomic>
#include <csignal>
#include <signal.h>
#include <unistd.h>

// The requests to stop and the terminal.

namespace platform {

namespace {

// The signals that ask the program to stop: Ctrl+C, a job runner's stop, a closed terminal.
constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> interruptedBy{0}; // the first of them that came, 0 before any
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

// Notes the first signal and puts the default back for all of them, so that the next one,
// whichever, ends the program. The others are blocked while this runs (sa_mask), so one that
// comes meanwhile is delivered with the default afterwards. Only async-signal-safe calls.
extern "C" void onInterrupt(int number) {
    int none = 0;
    interruptedBy.compare_exchange_strong(none, number);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (const int stop : StopSignals)
        sigaction(stop, &standard, nullptr);
}

} // namespace

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int stop : StopSignals)
        sigaddset(&action.sa_mask, stop);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (const int stop : StopSignals)
        sigaction(stop, &action, nullptr);
}

bool interruptRequested() {
    return interruptedBy.load() != 0;
}

int interruptSignal() {
    return interruptedBy.load();
}

} // namespace platform
