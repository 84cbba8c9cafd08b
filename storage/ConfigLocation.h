#pragma once

#include <QString>

// Where start-up points the settings file "uploader.cfg" and the file dialog. A copy of the
// program in a folder that it can write keeps its settings beside itself, so that every copy
// keeps its own, and its dialog opens there. A program installed in the system's folders (/usr/bin,
// Program Files), whoever runs it, or where its user cannot write, keeps them in the user's
// configuration folder instead
// (~/.config/Brackenfeld on Linux, %LOCALAPPDATA%\Brackenfeld on Windows), and its dialog opens
// in the user's home folder.
// Both in the system's own form: C:\Data\uploader.cfg on Windows.
struct StartLocations
{
    QString configPath;
    QString dialogFolder;
};
StartLocations startLocations(const QString &programFolder);
