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
        return {QDir::toNativeSeparators(programFolder + u'/' + kConfigFileName),
                QDir::toNativeSeparators(programFolder)};
    return {QDir::toNativeSeparators(
                QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + u'/' +
                kConfigFileName),
            QDir::toNativeSeparators(QDir::homePath())};
}
