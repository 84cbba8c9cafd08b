#include "tools/LineSpeed.h"

// The kernel's own view of the line, which <termios.h> would hide: it holds the speed as a number
// whichever way it was set. The two headers cannot meet in one file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

int inputSpeedOf(int terminal)
{
    termios2 line{};
    return ::ioctl(terminal, TCGETS2, &line) == 0 ? int(line.c_ispeed) : 0;
}
