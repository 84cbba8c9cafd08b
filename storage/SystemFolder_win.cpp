#include "storage/SystemFolder.h"

#include <QDir>
#include <QFileInfo>

bool isSystemProgramFolder(const QString &folder)
{
    const QString path = QDir::cleanPath(QDir(folder).absolutePath()) + QLatin1Char('/');
    for (const char *variable : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
        const QString programs = qEnvironmentVariable(variable);
        if (!programs.isEmpty() &&
            path.startsWith(QDir::cleanPath(QDir::fromNativeSeparators(programs)) + u'/',
                            Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool userMayWriteIn(const QString &folder)
{
    // Without the guard Qt looks only at the read-only attribute, which a folder never has, and
    // takes a program folder that the user may not write to as open to the settings file.
    const QNtfsPermissionCheckGuard accessRights;
    return QFileInfo(folder).isWritable();
}
