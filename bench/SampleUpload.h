#pragma once

#include <QByteArray>

// A valid upload frame of about the given size: marks, checksum and a payload of CR-ended lines
// of comma-separated decimal measurements, as the instrument writes them. The same size always
// gives the same bytes, so runs compare.
QByteArray sampleUploadFrame(qsizetype frameBytes);
