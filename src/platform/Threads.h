#pragma once

namespace brenzo::platform {

// Lets the calling thread yield to the others of the program when the processor is busy: long
// work beside a window runs at a lower priority than the window's own thread, so that the window
// keeps repainting on a loaded machine. Threads it starts inherit the priority where the system
// passes it on (Linux). Nothing happens where the system refuses.
void LowerThreadPriority();

}  // namespace brenzo::platform
