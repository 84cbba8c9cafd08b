#include "common/LargeBuffers.h"

// Elsewhere large buffers are left to the system's own allocator and pages.
void keepLargeBuffersApart() {}

void adviseHugePages(void *, qsizetype) {}

void providePages(void *, qsizetype) {}
