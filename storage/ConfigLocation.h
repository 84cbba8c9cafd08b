#pragma once

#include <QString>

// The full path of "uploader.cfg". A program in a folder that it can write keeps the file beside
// itself, so that every copy keeps its own settings. One installed where its user cannot write
// (/usr/bin, Program Files) keeps it in the user's configuration folder instead:
// ~/.config/Brackenfeld on Linux, %LOCALAPPDATA%\Brackenfeld on Windows.
QString configFilePath(const QString &programFolder);
