#include "storage/ReplaceFile.h"

#include "common/PlatformError.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

void writeInPlace(const QString &fileName, QByteArrayView bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), bytes.size()) != bytes.size() || !file.flush())
        throw PlatformError(file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw PlatformError(file.errorString());
}

} // namespace

void replaceFile(const QString &fileName, QByteArrayView bytes, InPlace inPlace)
{
    const QFileInfo target(fileName);
    if (target.exists() && !target.isFile()) {
        writeInPlace(fileName, bytes);
        return;
    }
    QSaveFile file(fileName);
    file.setDirectWriteFallback(inPlace == InPlace::WhenFolderRefuses);
    // commit() ignores a failure of the final write of buffered bytes and would put a cut-off
    // file in place of the old one, so that write is made and checked first.
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), bytes.size()) != bytes.size() || !file.flush() || !file.commit())
        throw PlatformError(file.errorString());
}
