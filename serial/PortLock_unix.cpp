#include "serial/PortLock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <csignal>

namespace {

// Where serial ports' lock files are kept, in the order Qt's serial port looks. Where one is
// missing, as /run/lock is in a minimal system that nothing has booted, it looks on.
constexpr const char *kLockFolders[] = {"/var/lock",         "/etc/locks", "/var/spool/locks",
                                        "/var/spool/uucp",   "/tmp",       "/var/tmp",
                                        "/var/lock/lockdev", "/run/lock"};

bool isRunning(qint64 pid)
{
    // EPERM: it runs, as another user.
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

#ifdef Q_OS_LINUX
const QString kPermissionAdvice = QStringLiteral(
    " Your user must be in the dialout group: sudo usermod -aG dialout $USER, then log in again.");
#else
const QString kPermissionAdvice;
#endif

} // namespace

QString portLockFile(const QString &devicePath)
{
    // /dev/ttyUSB0 => LCK..ttyUSB0; a device elsewhere keeps its whole path, / as _.
    QString name = devicePath.startsWith(QLatin1String("/dev/")) ? devicePath.mid(5) : devicePath;
    name = QStringLiteral("LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *folder : kLockFolders) {
        const QFileInfo info{QLatin1String(folder)};
        const QString path = QDir(info.filePath()).filePath(name);
        if (info.isReadable() && (QFileInfo::exists(path) || info.isWritable()))
            return path;
    }
    return {};
}

namespace {

// The lock file that keeps every program from the device although the program that made it has
// ended: one that the user may not remove, such as a run as root left behind. Qt's serial port
// takes such a file as the port being held. Empty when there is none.
QString abandonedLockFile(const QString &devicePath)
{
    const QString path = portLockFile(devicePath);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return {};
    qint64 pid = 0;
    QString host;
    QString application;
    const bool read = QLockFile(path).getLockInfo(&pid, &host, &application);
    return read && isRunning(pid) ? QString() : path;
}

} // namespace

// QSerialPort reports a port that another program holds (its lock file, or the device's exclusive
// mode) as a permission error too, so the device's own permissions tell the two apart, and a lock
// file whose program has ended is named, since only its removal frees the port.
QString permissionRefusal(const QString &devicePath)
{
    if (!QFileInfo(devicePath).isReadable())
        return QStringLiteral(": permission denied.") + kPermissionAdvice;
    if (const QString lock = abandonedLockFile(devicePath); !lock.isEmpty())
        return QStringLiteral(" is locked by %1, which a program that has ended left behind; "
                              "remove it: sudo rm %1")
            .arg(lock);
    return {};
}
