#include "common/PlatformError.h"
#include "storage/Folder.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

namespace {

LPCWSTR nativePath(const QString &path)
{
    return reinterpret_cast<LPCWSTR>(path.utf16());
}

} // namespace

void makeOneFolder(const QString &path)
{
    if (!CreateDirectoryW(nativePath(QDir::toNativeSeparators(path)), nullptr)) {
        const DWORD error = GetLastError();
        // Another program may have made it a moment ago; a file of that name is no folder.
        if (error != ERROR_ALREADY_EXISTS || !QFileInfo(path).isDir())
            throw PlatformError::ofSystemError(
                int(error == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : error));
    }
}

void syncName(const QString &path)
{
    // Windows offers no sync of a folder: a folder's handle cannot be flushed. What it offers is
    // write-through moves (MOVEFILE_WRITE_THROUGH, which takeFreeName uses) and FlushFileBuffers on
    // the file itself, which writes the file's data and metadata; on NTFS that metadata is the
    // file's record, its name in its folder included, committed through the volume's log.
    const QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    const HANDLE file = CreateFileW(nativePath(native), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw PlatformError::ofSystemError(int(GetLastError()));
    const BOOL flushed = FlushFileBuffers(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!flushed)
        throw PlatformError::ofSystemError(int(error));
}
