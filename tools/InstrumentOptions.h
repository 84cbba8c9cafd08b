#pragma once

#include "tools/Transmission.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

struct InstrumentOptions
{
    // One of the two is set: a stand-in device to make, or a real serial port to send through.
    QString linkPath;
    QString devicePath;
    // Empty: the built-in sample.
    QString csvPath;
    Pace pace = Pace::Line;
    // 0: as the pace sends.
    int split = 0;
    int count = 1;
    double pauseSeconds = 1;
    double delaySeconds = 0;
    bool corruptChecksum = false;
    QByteArray noise;
    QByteArray trailer;
    bool onEnter = false;
    bool keepOpen = false;
    bool quiet = false;
    // Print what Brackenfeld saves from the upload instead of sending it.
    bool printSaved = false;
};

struct ParsedOptions
{
    enum class Outcome
    {
        Run,
        Help,
        Error
    };
    Outcome outcome = Outcome::Error;
    InstrumentOptions options;
    // The help text for Help, a one-line reason for Error.
    QString message;
};

// Reads the command line (the program name first).
ParsedOptions parseInstrumentOptions(const QStringList &arguments);

// The bytes that text stands for, with the escapes \r \n \t \\ and \xHH (two hex digits) turned
// into their bytes; other characters as UTF-8. Nothing if an escape is malformed.
std::optional<QByteArray> decodeEscapes(const QString &text);
