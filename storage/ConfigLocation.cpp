#include "storage/ConfigLocation.h"

#include "storage/SystemFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace {

const QString kConfigFileName = QStringLiteral("uploader.cfg");

} // namespace

StartLocations startLocations(const QString &programFolder)
{
    if (!isSystemProgramFolder(programFolder) && userMayWriteIn(programFolder))
        return {programFolder + QDir::separator() + kConfigFileName, programFolder};
    return {QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                QDir::separator() + kConfigFileName,
            QDir::homePath()};
}
