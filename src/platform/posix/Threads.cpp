#include "platform/Threads.h"

#include <cerrno>

#include <sys/resource.h>
#ifdef __linux__
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace brenzo::platform {

namespace {
// Five steps of "nice": about a third of the weight of a thread at the default, enough for the
// window's thread to be run first whenever it wakes, while the work still gets every moment
// the window leaves.
constexpr int kNiceSteps = 5;
constexpr int kNicest = 19;
}  // namespace

void LowerThisThreadsPriority() {
#ifdef __linux__
    // On Linux the nice value belongs to the thread (its id names it here), and the threads it
    // starts inherit it. Elsewhere it is the whole process's: left alone.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, thread);
    if (errno != 0) return;
    (void)::setpriority(PRIO_PROCESS, thread, now + kNiceSteps < kNicest ? now + kNiceSteps : kNicest);
#endif
}

}  // namespace brenzo::platform
