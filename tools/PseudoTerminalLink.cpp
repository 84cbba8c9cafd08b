#include "tools/PseudoTerminalLink.h"

#include "common/PlatformError.h"
#include "tools/Interruption.h"
#include "tools/LineSpeed.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

PseudoTerminalLink::PseudoTerminalLink(const QString &linkPath)
    : m_linkPath(QFileInfo(linkPath).absoluteFilePath())
{
    // Raw from the start, as a serial line is: the port's side would otherwise echo what arrives
    // and turn every CR into LF until a receiver sets a mode of its own.
    termios raw{};
    ::cfmakeraw(&raw);
    char device[64] = {};
    if (::openpty(&m_instrument, &m_port, nullptr, &raw, nullptr) != 0)
        throw PlatformError(QStringLiteral("cannot make a pseudo-terminal: %1").arg(systemError()));
    if (::ptsname_r(m_instrument, device, sizeof device) != 0) {
        const QString reason = systemError();
        close();
        throw PlatformError(QStringLiteral("cannot name the pseudo-terminal: %1").arg(reason));
    }
    m_devicePath = QFile::decodeName(device);
    // Non-blocking, so that a full queue waits in a poll that a signal can end.
    ::fcntl(m_instrument, F_SETFL, ::fcntl(m_instrument, F_GETFL) | O_NONBLOCK);
    // Programs started meanwhile, the tool among them, must not hold the line open: hanging up
    // would then pull no cable.
    ::fcntl(m_instrument, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_port, F_SETFD, FD_CLOEXEC);
    try {
        link();
    } catch (const PlatformError &) {
        close();
        throw;
    }
}

PseudoTerminalLink::~PseudoTerminalLink()
{
    hangUp();
}

void PseudoTerminalLink::hangUp()
{
    if (m_instrument < 0)
        return;
    // Only our own link: a newer device under the same name stays.
    if (QFileInfo(m_linkPath).symLinkTarget() == m_devicePath)
        ::unlink(QFile::encodeName(m_linkPath).constData());
    close();
}

void PseudoTerminalLink::link()
{
    const QFileInfo existing(m_linkPath);
    // A link left by an earlier run is replaced, as when the instrument is plugged in again; a
    // real file or device under that name is not ours to remove.
    if (existing.exists() && !existing.isSymLink())
        throw PlatformError(
            QStringLiteral("%1 exists and is not a link; not replacing it").arg(m_linkPath));
    if (!QDir().mkpath(existing.absolutePath()))
        throw PlatformError(
            QStringLiteral("cannot make the folder %1").arg(existing.absolutePath()));
    const QByteArray path = QFile::encodeName(m_linkPath);
    if (existing.isSymLink())
        ::unlink(path.constData());
    if (::symlink(QFile::encodeName(m_devicePath).constData(), path.constData()) != 0)
        throw PlatformError(QStringLiteral("cannot link %1: %2").arg(m_linkPath, systemError()));
}

void PseudoTerminalLink::close()
{
    if (m_instrument >= 0)
        ::close(m_instrument);
    if (m_port >= 0)
        ::close(m_port);
    m_instrument = m_port = -1;
}

qsizetype PseudoTerminalLink::sendSome(QByteArrayView bytes)
{
    if (m_instrument < 0) {
        m_error = QStringLiteral("%1 is hung up").arg(m_linkPath);
        return -1;
    }
    const ssize_t written = ::write(m_instrument, bytes.data(), size_t(bytes.size()));
    if (written >= 0)
        return written;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    m_error = QStringLiteral("cannot write to %1: %2").arg(m_devicePath, systemError());
    return -1;
}

bool PseudoTerminalLink::send(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qsizetype sent = sendSome(bytes);
        if (sent < 0)
            return false;
        bytes = bytes.sliced(sent);
        if (sent == 0 && Interruption::waitFor(m_instrument, POLLOUT, QDeadlineTimer::Forever) ==
                             Interruption::Wait::Interrupted)
            return false;
    }
    return true;
}

bool PseudoTerminalLink::delivered()
{
    // Polling the port side also pushes through what the kernel still has in flight, so no bytes
    // hide between the two sides.
    pollfd waiting{m_port, POLLIN, 0};
    return m_port >= 0 && ::poll(&waiting, 1, 0) == 0;
}

bool PseudoTerminalLink::awaitReceiver()
{
    constexpr int kLookEveryMs = 20;
    constexpr int kHeldForLooks = 10;
    for (int held = 0; held < kHeldForLooks;) {
        held = m_port >= 0 && inputSpeedOf(m_port) == 19200 ? held + 1 : 0;
        if (!Interruption::sleepUntil(QDeadlineTimer(kLookEveryMs)))
            return false;
    }
    return true;
}

termios PseudoTerminalLink::lineSettings() const
{
    termios settings{};
    if (m_port >= 0)
        ::tcgetattr(m_port, &settings);
    return settings;
}
