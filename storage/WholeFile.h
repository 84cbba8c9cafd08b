#pragma once

#include <QString>

#include <functional>

// Writes a file so that it holds either its old content or the whole new one, never a part.
// `write` fills the file at the path it is given, a new file beside the target, and throws
// PlatformError when it fails. That file takes the target's name only once `write` has returned
// and its content is on the disk; after a failure it is removed and the target is left as it was.
// The target keeps its permissions (a new one gets the usual ones), and through a link the file
// it points to is replaced. A read-only target is refused; a device or pipe cannot be replaced,
// so it is written in place. Throws PlatformError naming the reason.
void writeWholeFile(const QString &fileName, const std::function<void(const QString &path)> &write);
