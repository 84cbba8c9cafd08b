#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A serial device for tests: a pseudo-terminal whose port side is linked as <folder>/<name>
// (say ttyUSB2), where the port table looks when BRACKENFELD_DEVICE_DIR names that folder. The
// test plays the instrument on the other side: write() sends, hangUp() pulls the cable.
class PseudoTerminal
{
public:
    PseudoTerminal(const QString &folder, const QString &name)
        : m_linkPath(QDir(folder).filePath(name))
    {
        // Raw before anything opens the port side: otherwise bytes written before the open are
        // echoed back, and CR arrives as LF.
        termios raw{};
        ::cfmakeraw(&raw);
        char device[64] = {};
        if (::openpty(&m_master, &m_port, nullptr, &raw, nullptr) != 0 ||
            ::ptsname_r(m_master, device, sizeof device) != 0)
            qFatal("openpty: %s", std::strerror(errno));
        m_devicePath = QFile::decodeName(device);
        // Non-blocking, so that a full queue lets write() serve the event loop instead of
        // hanging the single-threaded test.
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

        // A link left by an earlier device under the same name is replaced, as when the
        // instrument is plugged in again.
        const QByteArray link = QFile::encodeName(m_linkPath);
        ::unlink(link.constData());
        if (::symlink(device, link.constData()) != 0)
            qFatal("symlink %s: %s", link.constData(), std::strerror(errno));
    }

    ~PseudoTerminal() { hangUp(); }

    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    QString linkPath() const { return m_linkPath; }
    // The instrument's end, non-blocking, for a test that writes from a thread of its own.
    int instrumentSide() const { return m_master; }
    QString devicePath() const { return m_devicePath; }

    // Sends bytes as the instrument would. While the queue towards the port is full, events are
    // processed so that the port can drain it. False if they could not all be sent within the
    // timeout, or after hangUp().
    bool write(const QByteArray &bytes, int timeoutMs = 10000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        qsizetype sent = 0;
        while (m_master >= 0 && sent < bytes.size()) {
            const ssize_t written =
                ::write(m_master, bytes.constData() + sent, size_t(bytes.size() - sent));
            if (written > 0) {
                sent += written;
            } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            } else if (deadline.hasExpired()) {
                return false;
            } else {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            }
        }
        return m_master >= 0;
    }

    // True once the port side holds nothing unread: everything written has been taken by the
    // reader. Polling the port side first pushes through whatever the kernel still has in
    // flight, so no bytes hide between the two sides.
    bool delivered() const
    {
        pollfd waiting{m_port, POLLIN, 0};
        return m_port >= 0 && ::poll(&waiting, 1, 0) == 0;
    }

    // The line settings that the port side has now, as the port last set them.
    termios lineSettings() const
    {
        termios settings{};
        if (m_port >= 0)
            ::tcgetattr(m_port, &settings);
        return settings;
    }

    // The cable is pulled: the port side hangs up, and the device disappears from the folder.
    void hangUp()
    {
        if (m_master < 0)
            return;
        ::close(m_master);
        ::close(m_port);
        m_master = m_port = -1;
        // Only our own link: a newer device under the same name stays.
        if (QFile::symLinkTarget(m_linkPath) == m_devicePath)
            ::unlink(QFile::encodeName(m_linkPath).constData());
    }

private:
    QString m_linkPath;
    QString m_devicePath;
    int m_master = -1;
    // Held open so that what is written before the port opens waits for it.
    int m_port = -1;
};
