#include "storage/Folder.h"

#include <QDir>
#include <QFileInfo>

void makeFolder(const QString &path)
{
    const QFileInfo folder(QDir::cleanPath(QDir(path).absolutePath()));
    if (folder.isDir())
        return;
    // The root is always there, so this goes up at most as far as the path is deep.
    makeFolder(folder.path());
    makeOneFolder(folder.filePath());
}
