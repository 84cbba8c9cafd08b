#include "app/Console.h"

#include <cstdio>
#include <windows.h>

namespace {

// A stream that was handed over already (to a file or a pipe) stays where it goes.
bool isHandedOver(DWORD stream)
{
    const HANDLE handle = GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

void useStartingConsole()
{
    const bool output = isHandedOver(STD_OUTPUT_HANDLE);
    const bool errors = isHandedOver(STD_ERROR_HANDLE);
    if ((output && errors) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!output)
        std::freopen("CONOUT$", "w", stdout);
    if (!errors)
        std::freopen("CONOUT$", "w", stderr);
}
