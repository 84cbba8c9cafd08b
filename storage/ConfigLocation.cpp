#include "storage/ConfigLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kConfigFileName = QStringLiteral("uploader.cfg");

} // namespace

QString configFilePath(const QString &programFolder)
{
    const QString folder =
        QFileInfo(programFolder).isWritable()
            ? programFolder
            : QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return folder + QDir::separator() + kConfigFileName;
}
