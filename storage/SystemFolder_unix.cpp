#include "storage/SystemFolder.h"

#include <QDir>
#include <QFileInfo>

bool isSystemProgramFolder(const QString &folder)
{
    // The folders that the file system hierarchy keeps for installed software, /usr/local too.
    const QString path = QDir::cleanPath(QDir(folder).absolutePath()) + QLatin1Char('/');
    for (const char *system : {"/usr/", "/bin/", "/sbin/", "/opt/"}) {
        if (path.startsWith(QLatin1String(system)))
            return true;
    }
    return false;
}

bool userMayWriteIn(const QString &folder)
{
    return QFileInfo(folder).isWritable();
}
