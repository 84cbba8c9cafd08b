#pragma once

// Lets what the program writes to standard output and standard error reach the console that it
// was started from. A windowed program on Windows has none of its own, so its answers to --help
// and --version would go nowhere; elsewhere the streams are there already.
void useStartingConsole();
