#pragma once

#include "app/CaptureOptions.h"
#include "app/TerminationSignals.h"
#include "serial/QtSerialPortService.h"
#include "upload/FrameScanner.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTimer>

#include <optional>

// The tool without its window, for benches that nobody tends and for scripts. Every upload whose
// checksum holds is written into the folder as a file of its own, named after the local time it
// was complete ("2026-12-09_143501.xls", then "2026-12-09_143501-2.xls"), and its path is printed
// on standard output, a line each. What else happens is told on standard error, a line each: a
// damaged upload, a port that does not open and why, a device that went away and came back.
// A port that is missing or refused is tried about once a second; one that another program holds
// ends the capture. It runs on a QCoreApplication's events until a termination signal or, when
// asked, the first saved upload.
class Capture
{
public:
    // The window's settings file is looked for as the window looks for it, from programFolder.
    Capture(CaptureOptions options, const QString &programFolder);

    // The exit status: 0 when ended as asked; 1 when the folder takes no file, or the port is
    // another program's.
    int run();

private:
    // Opens the port, or says why it does not open and tries again a second later.
    void openPort();
    // Without a port asked for or remembered, the first port that opens; throws DeviceAbsent or
    // PlatformError saying why none did.
    qint16 firstPortThatOpens();
    void waitForPort(const QString &reason, bool absent);
    // Takes in what the port holds, and what its device left when it went away.
    void poll();
    void receive(const QByteArray &characters);
    void save(const QByteArray &upload);
    void reportDeviceLoss();
    // Gives up the upload still coming in, if there is one, and says what became of it: "the
    // upload that began at 14:35:01 was cut off: start it again on the instrument". Empty when
    // there was none.
    QString giveUpUnfinishedUpload(const QString &what);
    // Takes in what reached the port before the end was asked for, then lets the port go.
    void finish();
    void end(int status);
    bool failed() const;
    QString portName() const;

    CaptureOptions m_options;
    QString m_configPath;
    QtSerialPortService m_port;
    FrameScanner m_received;
    TerminationSignals m_termination;
    QTimer m_retry;
    qint16 m_portNumber = 0;   // 0 until a port is chosen
    bool m_probedOnce = false; // the pause before the first probes is over
    QDateTime m_uploadBegan;   // when the frame coming in began
    int m_saved = 0;
    QString m_toldReason;      // the last reason told for a port that does not open
    bool m_toldAbsent = false; // the device's absence has been told
    bool m_terminated = false; // a termination signal ended it
    std::optional<int> m_status;
};
