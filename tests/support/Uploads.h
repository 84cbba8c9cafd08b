#pragma once

#include "tools/InstrumentFrame.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// The texts the tool shows, the uploads the tests send and what the tool must make of them.
inline const QString kCable = QStringLiteral("Make sure USB cable is connected");
inline const QString kUploading = QStringLiteral("UPLOADING");
inline const QString kComplete = QStringLiteral("*** UPLOAD COMPLETE ***");
inline const QString kChecksumError = QStringLiteral("Checksum error in uploaded data");
inline const QString kQuestion = QStringLiteral("Do you want to save before exiting?");
inline const QString kPrevious =
    QStringLiteral("The previous upload has not been saved. Do you want to save it now?");
inline const QString kClearQuestion =
    QStringLiteral("The upload has not been saved. Do you want to save it before clearing?");

// A frame whose checksum field is given as it stands, right or wrong.
inline QByteArray frame(const QByteArray &payload, const QByteArray &checksumField)
{
    return "\x02" + payload + checksumField + "\x04";
}

inline const QByteArray kAbc = instrumentFrame("abc", false);
inline const QByteArray kTable = instrumentFrame("1,2\r3,4\r", false);
inline const QByteArray kTableText("1\t2\r\n3\t4\r\n");

// "uploader.cfg" as the tool writes it: " 3 \r\n\"/data\"\r\n".
inline QByteArray settingsFile(int port, const QString &folder)
{
    return (port < 0 ? "-" : " ") + QByteArray::number(qAbs(port)) + " \r\n\"" +
           QFile::encodeName(folder) + "\"\r\n";
}
