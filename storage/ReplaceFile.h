#pragma once

#include <QByteArrayView>
#include <QString>

// Where the folder takes no new file beside the old one, whether the old one may be rewritten
// in place instead: a settings file in a folder closed to new files may itself still be open to
// writing.
enum class InPlace
{
    Never,
    WhenFolderRefuses
};

// Writes the bytes to the file so that it holds either all of its earlier content or all of the
// new: they go to a new file beside it, which takes its place only once whole. A device or pipe
// cannot be replaced by a renamed file and is written as it is. Throws PlatformError naming the
// system's reason.
void replaceFile(const QString &fileName, QByteArrayView bytes, InPlace inPlace = InPlace::Never);
