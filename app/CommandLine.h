#pragma once

#include "app/CaptureOptions.h"

#include <QString>

#include <optional>

// Where Qt's own options on the command line put the window, empty where they say nothing; or
// the capture without the window that --capture asks for.
struct CommandLine
{
    QString platform; // -platform
    QString display;  // -display
    std::optional<CaptureOptions> capture;
};

// Reads the command line before the window is made, so that its answers need no display. It
// answers --help and --version and ends the program. Besides --capture and the options that go
// with it, the tool takes no arguments of its own: anything but Qt's options (-platform, -style,
// -display and the others that QApplication takes when the window is made) ends it with a line
// on standard error and status 2.
CommandLine readCommandLine(int argc, char *argv[]);
