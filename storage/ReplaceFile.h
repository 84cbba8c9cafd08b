#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

// Where the folder takes no new file beside the old one, whether the old one may be rewritten
// in place instead: a settings file in a folder closed to new files may itself still be open to
// writing.
enum class InPlace
{
    Never,
    WhenFolderRefuses
};

// Writes a file so that it holds either all of its earlier content or all of the new. `write`
// fills the file at the path it is given, a new file beside the target, and throws PlatformError
// when it fails; that file takes the target's place only once `write` has returned and its
// content is on the disk, and is removed after a failure. The target keeps its permissions (a new
// one gets the usual ones), and through a link the file it points to is replaced. A device or
// pipe cannot be replaced by a renamed file and is written as it is. Throws PlatformError naming
// the system's reason.
void replaceFile(const QString &fileName, const std::function<void(const QString &path)> &write,
                 InPlace inPlace = InPlace::Never);

// The same for bytes at hand.
void replaceFile(const QString &fileName, QByteArrayView bytes, InPlace inPlace = InPlace::Never);
