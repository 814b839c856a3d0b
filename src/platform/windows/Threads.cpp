#include "platform/Threads.h"

#include "platform/windows/Windows.h"

namespace brenzo::platform {

void LowerThisThreadsPriority() { (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

}  // namespace brenzo::platform
