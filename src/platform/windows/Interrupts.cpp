#include "platform/windows/Windows.h"

#include "platform/Interrupts.h"

namespace brenzo::platform {
namespace {

// Runs on a thread of its own; the exit codes are those of the matching POSIX signals
// (SIGINT for Ctrl+C and Ctrl+Break, SIGHUP for a closed console, a log-off or a shutdown).
BOOL WINAPI onConsoleEvent(DWORD event) {
    RemoveRegisteredPaths();
    ExitProcess(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 130 : 129);
    return TRUE;
}

}  // namespace

void CleanUpOnInterrupt() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

}  // namespace brenzo::platform
