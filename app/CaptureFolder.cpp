#include "app/CaptureFolder.h"

#include "common/PlatformError.h"
#include "storage/Folder.h"

#include <QDir>
#include <QTemporaryFile>

void prepareCaptureFolder(const QString &folder)
{
    makeFolder(folder);
    // A file made and removed at once: a folder that refuses it now would refuse every upload.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".brackenfeld-XXXXXX")));
    if (!probe.open())
        throw PlatformError(probe.errorString());
}
