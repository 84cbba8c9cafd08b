#pragma once

#include <QByteArray>
#include <QString>

// The texts the tool shows, and small uploads as the instrument frames them, for the tests.
inline const QString kCable = QStringLiteral("Make sure USB cable is connected");
inline const QString kUploading = QStringLiteral("UPLOADING");
inline const QString kComplete = QStringLiteral("*** UPLOAD COMPLETE ***");
inline const QString kChecksumError = QStringLiteral("Checksum error in uploaded data");
inline const QString kQuestion = QStringLiteral("Do you want to save before exiting?");

inline QByteArray frame(const QByteArray &payload, const QByteArray &checksumField)
{
    return "\x02" + payload + checksumField + "\x04";
}

inline const QByteArray kAbc = frame("abc", "00296");
inline const QByteArray kTable = frame("1,2\r3,4\r", "00318");
inline const QByteArray kTableText("1\t2\r\n3\t4\r\n");
