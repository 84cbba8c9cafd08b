#include "app/Display.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

void requireDisplay(const CommandLine &commandLine)
{
    if (!commandLine.platform.isEmpty() || !commandLine.display.isEmpty() ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    std::fputs("brackenfeld: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY "
               "is set); `make demo` runs the tool on a virtual display\n",
               stderr);
    std::exit(1);
}
