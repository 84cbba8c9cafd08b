#include "app/Console.h"

void useStartingConsole() {}
