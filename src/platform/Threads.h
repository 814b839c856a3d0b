#pragma once

namespace brenzo::platform {

// Lets the calling thread yield the processor to the program's other threads: a long command's
// work gives way to the window's thread, which only needs a moment now and then to repaint and
// must have it at once. Threads the calling thread starts afterwards give way too where the
// system passes the setting on (Linux). Nothing happens where the system refuses.
void LowerThisThreadsPriority();

}  // namespace brenzo::platform
