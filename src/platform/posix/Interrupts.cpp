#include <csignal>
#include <thread>

#include <pthread.h>
#include <unistd.h>

#include "platform/Interrupts.h"

namespace brenzo::platform {

// The signals are blocked in every thread and taken by one thread of their own, where the
// clean-up may do what a signal handler may not (allocate, walk folders).
void CleanUpOnInterrupt() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
    std::thread([set] {
        int signal = 0;
        while (sigwait(&set, &signal) != 0) {
        }
        RemoveRegisteredPaths();
        _exit(128 + signal);
    }).detach();
}

}  // namespace brenzo::platform
