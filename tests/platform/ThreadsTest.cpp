#include "platform/Threads.h"

#include <gtest/gtest.h>

#include <thread>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace brenzo::platform {
namespace {

#ifdef __linux__
int niceOf(long thread) { return getpriority(PRIO_PROCESS, static_cast<id_t>(thread)); }
long self() { return syscall(SYS_gettid); }

TEST(Threads, LoweringAThreadsPriorityLeavesTheOthersAlone) {
    const int window = niceOf(self());
    if (window > 14) GTEST_SKIP() << "already run at the lowest priority";
    int before = 0, after = 0, started = 0;
    std::thread worker([&] {
        before = niceOf(self());
        LowerThreadPriority();
        after = niceOf(self());
        std::thread child([&] { started = niceOf(self()); });
        child.join();
    });
    worker.join();
    EXPECT_GT(after, before);
    EXPECT_EQ(started, after);  // what the worker starts runs as low
    EXPECT_EQ(niceOf(self()), window);
}
#endif

}  // namespace
}  // namespace brenzo::platform
