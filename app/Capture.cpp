#include "app/Capture.h"

#include "app/CaptureFolder.h"
#include "common/PlatformError.h"
#include "serial/PortProbe.h"
#include "serial/PortTable.h"
#include "storage/ConfigFile.h"
#include "storage/ConfigLocation.h"
#include "storage/NewUploadFile.h"
#include "storage/UnsavedUploads.h"
#include "upload/UploadFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

// "2026-12-09_143501": sorts as the uploads came, and holds no character that a file system of
// any platform refuses.
const QString kNameFormat = QStringLiteral("yyyy-MM-dd_HHmmss");
const QString kTimeFormat = QStringLiteral("HH:mm:ss");
const QString kStartAgain = QStringLiteral("start it again on the instrument");

constexpr int kRetryMs = 1000;

// Each line is out as soon as it is written, also into a pipe or a file, for whoever reads it.
void printLine(std::FILE *stream, const QByteArray &line)
{
    std::fputs(line.constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// "brackenfeld: the device of COM 3 (/dev/ttyUSB2) went away; ..."
void tell(const QString &line)
{
    printLine(stderr, QStringLiteral("brackenfeld: %1").arg(line).toLocal8Bit());
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

Capture::Capture(CaptureOptions options, const QString &programFolder)
    : m_options(std::move(options)), m_configPath(startLocations(programFolder).configPath)
{
    m_options.folder = QDir::cleanPath(QDir(m_options.folder).absolutePath());
    m_retry.setInterval(kRetryMs);
    QObject::connect(&m_retry, &QTimer::timeout, &m_retry, [this] { openPort(); });
    QObject::connect(&m_termination, &TerminationSignals::requested, &m_termination, [this] {
        m_terminated = true;
        end(0);
    });
}

int Capture::run()
{
    try {
        prepareCaptureFolder(m_options.folder);
    } catch (const PlatformError &error) {
        tell(QStringLiteral("%1 cannot take the uploads: %2")
                 .arg(native(m_options.folder), error.message()));
        return 1;
    }
    m_portNumber = m_options.port;
    if (m_portNumber == 0)
        m_portNumber = rememberedPort(readConfigFile(m_configPath)).value_or(0);
    openPort();
    while (!m_status) {
        // Blocks until something happens: characters, a signal, the next try of the port.
        QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents;
        if (m_port.InBufferCount() <= 0)
            flags |= QEventLoop::WaitForMoreEvents;
        QCoreApplication::processEvents(flags);
        poll();
    }
    finish();
    return *m_status;
}

void Capture::openPort()
{
    try {
        if (m_portNumber == 0)
            m_portNumber = firstPortThatOpens();
        m_port.setCommPort(m_portNumber);
        m_port.setPortOpen(true);
    } catch (const PortInUse &error) {
        // Two captures cannot share a port, and waiting would not make it free.
        tell(error.message());
        end(1);
        return;
    } catch (const DeviceAbsent &error) {
        waitForPort(error.message(), true);
        return;
    } catch (const PlatformError &error) {
        waitForPort(error.message(), false);
        return;
    }
    m_retry.stop();
    m_toldReason.clear();
    m_toldAbsent = false;
    tell(QStringLiteral("receiving on %1, saving into %2")
             .arg(portName(), native(m_options.folder)));
}

qint16 Capture::firstPortThatOpens()
{
    // A device that was just plugged in gets its moment to appear before the first probes; the
    // tries after them come a second apart anyway.
    if (!std::exchange(m_probedOnce, true))
        m_port.pauseBeforeProbing();
    const PortSurvey survey = probePorts(m_port, m_port.presentPorts());
    if (!survey.opened.isEmpty())
        return survey.opened.first();
    if (!survey.firstRefusal.isEmpty())
        throw PlatformError(survey.firstRefusal);
    throw DeviceAbsent(QStringLiteral("No serial port was found."));
}

void Capture::waitForPort(const QString &reason, bool absent)
{
    m_retry.start();
    // Each reason is told once, and a device's absence once in a row: after a pull, its own line
    // has told it.
    if (reason == m_toldReason || (absent && m_toldAbsent))
        return;
    m_toldReason = reason;
    m_toldAbsent = absent;
    tell(reason + QStringLiteral(" Trying again every second."));
}

void Capture::poll()
{
    // What the device sent before it went away is taken in first: an upload it completed is saved.
    const bool deviceLost = m_port.takeDeviceLoss();
    if (m_port.InBufferCount() > 0)
        receive(m_port.Input());
    if (deviceLost && !failed())
        reportDeviceLoss();
}

void Capture::receive(const QByteArray &characters)
{
    m_received.append(characters);
    for (DecodedFrame frame = m_received.takeFrame(kFrameStartMark, kFrameEndMark);
         frame.outcome != FrameOutcome::Incomplete && !failed();
         frame = m_received.takeFrame(kFrameStartMark, kFrameEndMark)) {
        m_uploadBegan = QDateTime();
        if (frame.outcome == FrameOutcome::Decoded)
            save(frame.text);
        else
            tell(QStringLiteral("checksum error in uploaded data; nothing was saved: ") +
                 kStartAgain);
    }
    if (!m_received.holdsUnfinishedFrame())
        m_uploadBegan = QDateTime();
    else if (!m_uploadBegan.isValid())
        m_uploadBegan = QDateTime::currentDateTime();
    // Every whole upload of the read that brought the first is saved: they came at one moment.
    if (m_options.once && m_saved > 0)
        end(0);
}

void Capture::save(const QByteArray &upload)
{
    const QString stem = QDateTime::currentDateTime().toString(kNameFormat);
    QString path;
    try {
        path = writeNewUploadFile(m_options.folder, stem, m_options.suffix, upload);
    } catch (const PlatformError &error) {
        const QString notSaved = QStringLiteral("the upload could not be saved into %1: %2")
                                     .arg(native(m_options.folder), error.message());
        // Kept where the window finds what it was never told to save, and offers it at its
        // next start; the lock on it goes with this program.
        const UnsavedUploads unsaved(UnsavedUploads::defaultFolder());
        try {
            unsaved.keep(upload);
            tell(notSaved +
                 QStringLiteral("; it is kept in %1 and the window offers it at its next "
                                "start")
                     .arg(native(unsaved.folder())));
        } catch (const PlatformError &notKept) {
            tell(notSaved +
                 QStringLiteral("; nor could it be kept in %1: %2; ")
                     .arg(native(unsaved.folder()), notKept.message()) +
                 kStartAgain);
        }
        end(1);
        return;
    }
    ++m_saved;
    printLine(stdout, QFile::encodeName(native(path)));
}

void Capture::reportDeviceLoss()
{
    QString line = QStringLiteral("the device of %1 went away; ").arg(portName());
    // The instrument sends every upload again from its start mark, so a frame cut off from its
    // port could only ever spoil the next one.
    if (const QString cutOff = giveUpUnfinishedUpload(QStringLiteral("cut off")); !cutOff.isEmpty())
        line += cutOff + QStringLiteral("; ");
    tell(line + QStringLiteral("waiting for it to come back"));
    m_toldReason.clear();
    m_toldAbsent = true;
    m_retry.start();
}

QString Capture::giveUpUnfinishedUpload(const QString &what)
{
    if (!m_received.holdsUnfinishedFrame())
        return {};
    const QString said = QStringLiteral("the upload that began at %1 was %2: ")
                             .arg(m_uploadBegan.toString(kTimeFormat), what) +
                         kStartAgain;
    m_received.clear();
    m_uploadBegan = QDateTime();
    return said;
}

void Capture::finish()
{
    m_retry.stop();
    if (m_terminated)
        receive(m_port.Input());
    if (const QString lost = giveUpUnfinishedUpload(QStringLiteral("still coming in and is lost"));
        !lost.isEmpty())
        tell(lost);
    try {
        if (m_port.PortOpen())
            m_port.setPortOpen(false);
    } catch (const PlatformError &) {
        // Ending anyway: the system closes the port with the process.
    }
}

void Capture::end(int status)
{
    // A failure outweighs an end that was asked for.
    m_status = std::max(m_status.value_or(0), status);
}

bool Capture::failed() const
{
    return m_status.value_or(0) != 0;
}

QString Capture::portName() const
{
    return QStringLiteral("COM %1 (%2)").arg(m_portNumber).arg(devicePathForPort(m_portNumber));
}
