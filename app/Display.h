#pragma once

#include "app/CommandLine.h"

// Ends the program with a line on standard error and status 1 where the window would find no
// display to show on. Qt would abort there, with advice that does not help ("Reinstalling the
// application may fix this problem"). Where -platform, -display or QT_QPA_PLATFORM chooses where
// the window goes, Qt is left to find out.
void requireDisplay(const CommandLine &commandLine);
