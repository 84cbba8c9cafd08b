#include "storage/NewUploadFile.h"

#include "common/PlatformError.h"
#include "storage/Folder.h"
#include "storage/FreeName.h"
#include "storage/UploadFile.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryFile>

namespace {

// More files of one stem than anyone keeps in a folder; past it the folder is taken as refusing.
constexpr int kLastNumber = 9999;

QString numbered(const QString &stem, int number, const QString &suffix)
{
    return number == 1 ? stem + suffix
                       : QStringLiteral("%1-%2%3").arg(stem).arg(number).arg(suffix);
}

} // namespace

QString writeNewUploadFile(const QString &folder, const QString &stem, const QString &suffix,
                           const QByteArray &upload)
{
    const QDir dir(folder);
    // Written in the folder itself, so that taking its name moves no data, beside a name held for
    // the moment; the suffix picks the format. Made new as a save makes it, the file gets the
    // permissions that a saved file gets, not a temporary file's, which only its owner may read.
    QTemporaryFile held(dir.filePath(QStringLiteral(".brackenfeld-XXXXXX")));
    if (!held.open())
        throw PlatformError(held.errorString());
    const QString written = held.fileName() + suffix;
    auto removeWritten = qScopeGuard([&written] { QFile::remove(written); });
    writeUploadFile(written, upload);
    for (int number = 1; number <= kLastNumber; ++number) {
        const QString path = dir.filePath(numbered(stem, number, suffix));
        if (takeFreeName(written, path)) {
            removeWritten.dismiss();
            syncName(path);
            return path;
        }
    }
    throw PlatformError(QStringLiteral("Every name from %1 to %2 is taken.")
                            .arg(numbered(stem, 1, suffix), numbered(stem, kLastNumber, suffix)));
}
