#include "app/CaptureFolder.h"

#include "common/PlatformError.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

void prepareCaptureFolder(const QString &folder)
{
    std::error_code error;
    std::filesystem::create_directories(QFileInfo(folder).filesystemAbsoluteFilePath(), error);
    if (error)
        throw PlatformError(QString::fromLocal8Bit(error.message()));
    // A file made and removed at once: a folder that refuses it now would refuse every upload.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".brackenfeld-XXXXXX")));
    if (!probe.open())
        throw PlatformError(probe.errorString());
}
