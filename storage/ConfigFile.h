#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// "uploader.cfg": two lines, each ended by CR LF, and nothing else.
//   line 1: the port number between blanks, a minus sign taking the place of the first blank
//   line 2: the dialog's folder in double quotes, nothing escaped
// Port 3 and folder /data/runs => " 3 \r\n\"/data/runs\"\r\n"
QByteArray configFileBytes(qint16 portNumber, const QString &folder);

// What a read of the file got, field by field: the port as soon as field 1 was read, the folder
// only when field 2 was read too. Without a folder the read has failed.
struct ConfigFields
{
    std::optional<qint16> portNumber;
    std::optional<QString> folder;
};
ConfigFields readConfigFields(const QByteArray &content);

// The fields of the file at the path; neither when it cannot be opened.
ConfigFields readConfigFile(const QString &path);

// The port that the fields remember. Port 0 is what a start without any port writes, and a number
// beyond the ports of the system (COM 1 to COM 16, or to COM 256 on Windows) names no port there
// can be: neither remembers a port.
std::optional<qint16> rememberedPort(const ConfigFields &fields);
