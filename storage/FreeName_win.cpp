#include "common/PlatformError.h"
#include "storage/FreeName.h"

#include <QDir>

#include <windows.h>

bool takeFreeName(const QString &from, const QString &to)
{
    // Without MOVEFILE_REPLACE_EXISTING the move refuses a name that is taken; write-through
    // returns only once the new name is on the disk.
    if (MoveFileExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return false;
    throw PlatformError::ofSystemError(int(error));
}
