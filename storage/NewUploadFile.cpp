#include "storage/NewUploadFile.h"

#include "common/PlatformError.h"
#include "storage/FreeName.h"
#include "storage/UploadFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>

namespace {

// More files of one stem than anyone keeps in a folder; past it the folder is taken as refusing.
constexpr int kLastNumber = 9999;
// Random names that all exist already mean a folder that something else fills.
constexpr int kScratchTries = 100;

// An empty file of a random name in the folder, ".brackenfeld-1a2b3c4d.xls", made as any new file
// is: with the permissions that the user's settings give a saved file, where a temporary file
// would be the user's alone. Returns its path.
QString makeScratchFile(const QDir &dir, const QString &suffix)
{
    for (int tries = 0; tries < kScratchTries; ++tries) {
        QFile file(
            dir.filePath(QStringLiteral(".brackenfeld-%1%2")
                             .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
                             .arg(suffix)));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return file.fileName();
        if (!file.exists())
            throw PlatformError(file.errorString());
    }
    throw PlatformError(QStringLiteral("No new file can be made in the folder."));
}

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
    // In the folder itself, so that taking its name moves no data; the suffix picks the format.
    const QString written = makeScratchFile(dir, suffix);
    auto removeWritten = qScopeGuard([&written] { QFile::remove(written); });
    writeUploadFile(written, upload);
    for (int number = 1; number <= kLastNumber; ++number) {
        const QString path = dir.filePath(numbered(stem, number, suffix));
        if (takeFreeName(written, path)) {
            removeWritten.dismiss();
            return path;
        }
    }
    throw PlatformError(QStringLiteral("Every name from %1 to %2 is taken.")
                            .arg(numbered(stem, 1, suffix), numbered(stem, kLastNumber, suffix)));
}
