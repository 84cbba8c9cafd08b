#pragma once

#include <QString>

// Makes the folder that the uploads are captured into, with the folders above it, where it is
// missing, and makes sure that it takes new files. Throws PlatformError naming the system's reason
// when it cannot be made or written.
//   "/data/runs" below a regular file "/data" => "Not a directory"
void prepareCaptureFolder(const QString &folder);
