#include "platform/Threads.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace brenzo::platform {

void LowerThreadPriority() {
#ifdef SYS_gettid
    // On Linux a nice value belongs to one thread: the thread's own id names it.
    const auto self = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (now == -1 && errno != 0) return;
    (void)setpriority(PRIO_PROCESS, self, now + 5);
#endif
}

}  // namespace brenzo::platform
