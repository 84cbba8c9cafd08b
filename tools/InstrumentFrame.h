#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The instrument's payload for CSV text: every line end (CR LF, LF or CR) becomes one CR, and a
// last line without an end gets one, since the instrument ends every line it sends. Commas and
// everything else stay as they are; empty text gives an empty payload.
QByteArray instrumentPayload(QByteArrayView csv);

// One upload frame: start byte 02, the payload, the checksum as five decimal digits, end byte 04.
// corruptChecksum writes the checksum one higher (65535 becomes 00000), so a receiver must reject
// the frame.
QByteArray instrumentFrame(QByteArrayView payload, bool corruptChecksum);

// The text Brackenfeld decodes from an upload of this payload, read the plain way: every comma
// becomes a tab and every CR a CR LF.
QByteArray decodedText(QByteArrayView payload);

// The file that Brackenfeld saves from an upload of this payload: its decoded text, and one more
// CR LF to end the file.
QByteArray savedFile(QByteArrayView payload);

// The CSV sent when no file is given: a few measurement rows of the kind the instrument records.
QByteArray sampleCsv();
