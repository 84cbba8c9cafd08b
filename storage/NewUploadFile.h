#pragma once

#include <QByteArray>
#include <QString>

// Writes the upload into the folder as a file of its own, in the format its suffix asks for (as
// writeUploadFile does), named stem plus suffix, or stem-2, stem-3 ... plus suffix where that name
// is taken. No file is ever replaced, not even one that another program makes at the same moment:
// the file is written whole and synced under a temporary name in the folder, then given the first
// free name, which is synced too. Returns its path. Throws PlatformError naming the reason.
//   ("/data", "2026-12-09_143501", ".xls") => /data/2026-12-09_143501.xls, then ..._143501-2.xls
QString writeNewUploadFile(const QString &folder, const QString &stem, const QString &suffix,
                           const QByteArray &upload);
