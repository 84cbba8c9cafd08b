#include "storage/SystemFolder.h"

#include <QDir>

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
