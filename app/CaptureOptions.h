#pragma once

#include <QString>

// What --capture asks for.
struct CaptureOptions
{
    QString folder;
    // COM n; 0 for the port that the window remembers, or else the first one that opens.
    qint16 port = 0;
    // The files' type, picked as a saved file's name picks it: ".xls", ".xlsx" or ".csv".
    QString suffix = QStringLiteral(".xls");
    // End after the first saved upload.
    bool once = false;
};
