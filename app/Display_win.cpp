#include "app/Display.h"

// Windows always has a display: the desktop the program was started on.
void requireDisplay(const CommandLine &) {}
