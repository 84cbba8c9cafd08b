// Plays the technician's instrument: sends upload frames to a stand-in device or a serial port.

#include "common/PlatformError.h"
#include "tools/InstrumentFrame.h"
#include "tools/InstrumentOptions.h"
#include "tools/Interruption.h"
#include "tools/LinkDescription.h"
#include "tools/PseudoTerminalLink.h"
#include "tools/SerialDeviceLine.h"
#include "tools/Transmission.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <poll.h>
#include <string_view>
#include <unistd.h>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitBadArguments = 2;
// How long delivery may take before the technician is told what the wait is for.
constexpr int kQuietWaitMs = 1000;
constexpr int kDeliveryPollMs = 10;

void printLine(std::FILE *stream, const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stream);
    // Whoever reads a pipe from us sees each line as it happens.
    std::fflush(stream);
}

int fail(int status, const QString &reason)
{
    printLine(stderr, QStringLiteral("brackenfeld-instrument: ") + reason);
    return status;
}

// The exit status.
int printSavedFile(const QByteArray &payload)
{
    const QByteArray saved = savedFile(payload);
    // A full disk must not pass for the whole file.
    if (std::fwrite(saved.constData(), 1, size_t(saved.size()), stdout) != size_t(saved.size()) ||
        std::fflush(stdout) != 0)
        return fail(kExitFailed, QStringLiteral("cannot write the saved file to standard output"));
    return 0;
}

QDeadlineTimer after(double seconds)
{
    const std::chrono::duration<double> wait(seconds);
    return QDeadlineTimer(std::chrono::duration_cast<std::chrono::nanoseconds>(wait),
                          Qt::PreciseTimer);
}

// The payload from the CSV file, or from the sample without one. Throws PlatformError if it
// cannot be sent.
QByteArray loadPayload(const QString &csvPath)
{
    QByteArray csv = sampleCsv();
    if (!csvPath.isEmpty()) {
        QFile file(csvPath);
        if (file.open(QIODevice::ReadOnly))
            csv = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw PlatformError(
                QStringLiteral("cannot read %1: %2").arg(csvPath, file.errorString()));
    }
    const QByteArray payload = instrumentPayload(csv);
    // The receiver would end the frame there and take the rest for noise.
    if (payload.contains('\x04'))
        throw PlatformError(
            QStringLiteral("%1 holds byte 04, the frame's end mark, which no upload can carry")
                .arg(csvPath));
    return payload;
}

// The uploads that the options ask for, on the line they name.
class Session
{
public:
    Session(const InstrumentOptions &options, const QByteArray &payload)
        : m_options(options), m_frame(instrumentFrame(payload, options.corruptChecksum))
    {}

    // The exit status.
    int run()
    {
        try {
            open();
        } catch (const PlatformError &error) {
            return fail(kExitFailed, error.message());
        }
        // Each step is false when a signal ends it, which is a normal way to stop, or when the
        // line fails.
        const bool done = Interruption::sleepUntil(after(m_options.delaySeconds)) &&
                          sendCounted() && (!m_options.onEnter || sendOnEnter()) && finish();
        if (done || Interruption::requested())
            return 0;
        return fail(kExitFailed, m_line->errorString());
    }

private:
    void open()
    {
        if (m_options.linkPath.isEmpty()) {
            m_line = std::make_unique<SerialDeviceLine>(m_options.devicePath);
            say(QStringLiteral("Sending through %1 at 19200 baud 8N1").arg(m_options.devicePath));
            return;
        }
        auto link = std::make_unique<PseudoTerminalLink>(m_options.linkPath);
        say(describeLink(link->linkPath(), link->devicePath()));
        m_line = std::move(link);
    }

    bool sendUpload()
    {
        const QByteArray bytes = m_options.noise + m_frame + m_options.trailer;
        if (!m_line->awaitReceiver() || !transmit(*m_line, bytes, m_options.pace, m_options.split))
            return false;
        // The five digits before the end mark.
        const QByteArray checksum = m_frame.chopped(1).right(5);
        say(QStringLiteral("Upload %1 sent: %2 bytes, checksum %3%4")
                .arg(++m_sent)
                .arg(bytes.size())
                .arg(QLatin1String(checksum),
                     m_options.corruptChecksum ? QStringLiteral(" (one off)") : QString()));
        return true;
    }

    bool sendCounted()
    {
        for (int i = 0; i < m_options.count; ++i) {
            if (i > 0 && !Interruption::sleepUntil(after(m_options.pauseSeconds)))
                return false;
            if (!sendUpload())
                return false;
        }
        return true;
    }

    // One upload for each line read from standard input, until its end.
    bool sendOnEnter()
    {
        say(QStringLiteral("Press Enter to send an upload; Ctrl+C to finish."));
        char buffer[256];
        for (;;) {
            if (Interruption::waitFor(STDIN_FILENO, POLLIN, QDeadlineTimer::Forever) ==
                Interruption::Wait::Interrupted)
                return false;
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (got < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (got <= 0) {
                say(QStringLiteral("Input ended: Enter sends no more uploads; the device stays "
                                   "until Ctrl+C."));
                return true;
            }
            for (const char c : std::string_view(buffer, size_t(got))) {
                if (c == '\n' && !sendUpload())
                    return false;
            }
        }
    }

    bool finish()
    {
        // Input that ends (a demo run in the background, Ctrl+D) must not pull the cable on a
        // tool that is still showing the last upload.
        if (m_options.keepOpen || m_options.onEnter)
            return Interruption::sleepUntil(QDeadlineTimer::Forever);
        // Closing a pseudo-terminal drops what the tool has not read yet, and closing a serial
        // port can cut off what it has not put on the wire.
        const QDeadlineTimer patience(kQuietWaitMs);
        bool told = false;
        while (!m_line->delivered()) {
            if (!told && patience.hasExpired()) {
                say(QStringLiteral("Waiting for the port to take everything sent (Ctrl+C to "
                                   "stop)"));
                told = true;
            }
            if (!Interruption::sleepUntil(QDeadlineTimer(kDeliveryPollMs)))
                return false;
        }
        return true;
    }

    void say(const QString &line) const
    {
        if (!m_options.quiet)
            printLine(stdout, line);
    }

    const InstrumentOptions &m_options;
    const QByteArray m_frame;
    std::unique_ptr<InstrumentLine> m_line;
    int m_sent = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const ParsedOptions parsed = parseInstrumentOptions(QCoreApplication::arguments());
    if (parsed.outcome == ParsedOptions::Outcome::Help) {
        std::fputs(qPrintable(parsed.message), stdout);
        return 0;
    }
    if (parsed.outcome == ParsedOptions::Outcome::Error)
        return fail(kExitBadArguments, parsed.message);

    QByteArray payload;
    try {
        payload = loadPayload(parsed.options.csvPath);
    } catch (const PlatformError &error) {
        return fail(kExitBadArguments, error.message());
    }
    if (parsed.options.printSaved)
        return printSavedFile(payload);
    // Before anything is set up, so that a signal never skips taking it down.
    Interruption::install();
    return Session(parsed.options, payload).run();
}
