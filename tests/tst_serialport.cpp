#include "common/PlatformError.h"
#include "serial/PortLock.h"
#include "serial/PortTable.h"
#include "serial/QtSerialPortService.h"
#include "support/AnotherUser.h"
#include "support/Files.h"
#include "support/Instrument.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// COM 3 is the third USB serial device.
constexpr qint16 kPort = 3;
const QString kDevice = QStringLiteral("ttyUSB2");

QByteArray byteRange(int first, int last)
{
    QByteArray bytes;
    for (int value = first; value <= last; ++value)
        bytes.append(char(value));
    return bytes;
}

bool writeLockFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// What an open that should fail said, or a null string if it opened.
QString openFailure(QtSerialPortService &port)
{
    try {
        port.setPortOpen(true);
    } catch (const PlatformError &error) {
        return error.message();
    }
    return {};
}

} // namespace

class TestSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void portTable_data();
    void portTable();
    void portTableDefaultsToDev();
    void probingWaitsASecondFirst();
    void relativeDeviceFolderStillOpens();
    void opensAt19200EightNOne();
    void readsEveryByteUnchanged_data();
    void readsEveryByteUnchanged();
    void manySmallWritesLoseNothing();
    void countStopsAt32767ButInputReturnsAll();
    void inputAlsoTakesWhatTheSystemStillHolds();
    void failedOpenThrowsAndLeavesThePortClosed_data();
    void failedOpenThrowsAndLeavesThePortClosed();
    void openOfWhatIsNoSerialPortSaysWhatItIs_data();
    void openOfWhatIsNoSerialPortSaysWhatItIs();
    void misuseOfAnOpenPortThrowsAndKeepsItOpen_data();
    void misuseOfAnOpenPortThrowsAndKeepsItOpen();
    void secondServiceCannotOpenTheSamePort();
    void deviceLossIsReportedOnceAndKeepsWhatArrived();
    void anyErrorOfAnOpenPortButATimeoutIsALostDevice_data();
    void anyErrorOfAnOpenPortButATimeoutIsALostDevice();
    void lostPortStaysQuiet();
    void portOpensAgainOnceTheDeviceReturns();
    void modemLinesAPtyLacksDoNotStopTheOpen();
    void descriptionStartsWithTheDevicePath_data();
    void descriptionStartsWithTheDevicePath();

private:
    QString devicePath(const QString &name) const { return m_dir->filePath(name); }
    // COM 3 on a stand-in device, open; both live until the test's cleanup.
    struct PortOnDevice
    {
        explicit PortOnDevice(const QString &folder) : device(folder, kDevice)
        {
            openPort(port, kPort);
        }
        Instrument device;
        QtSerialPortService port;
    };
    PortOnDevice &openPortOnDevice()
    {
        m_portOnDevice = std::make_unique<PortOnDevice>(m_dir->path());
        return *m_portOnDevice;
    }

    std::unique_ptr<DeviceFolder> m_dir;
    std::unique_ptr<PortOnDevice> m_portOnDevice;
};

void TestSerialPort::init()
{
    m_dir = std::make_unique<DeviceFolder>();
    QVERIFY(m_dir->isValid());
}

void TestSerialPort::cleanup()
{
    m_portOnDevice.reset();
    m_dir.reset();
}

void TestSerialPort::portTable_data()
{
    QTest::addColumn<qint16>("port");
    QTest::addColumn<QString>("device");

    QTest::newRow("COM 1") << qint16(1) << QStringLiteral("ttyUSB0");
    QTest::newRow("COM 8") << qint16(8) << QStringLiteral("ttyUSB7");
    QTest::newRow("COM 9") << qint16(9) << QStringLiteral("ttyACM0");
    QTest::newRow("COM 14") << qint16(14) << QStringLiteral("ttyACM5");
    QTest::newRow("COM 15") << qint16(15) << QStringLiteral("ttyS0");
    QTest::newRow("COM 16") << qint16(16) << QStringLiteral("ttyS1");
    QTest::newRow("COM 0") << qint16(0) << QString();
    QTest::newRow("COM -1") << qint16(-1) << QString();
    QTest::newRow("COM 17") << qint16(17) << QString();
}

void TestSerialPort::portTable()
{
    QFETCH(qint16, port);
    QFETCH(QString, device);

    QCOMPARE(devicePathForPort(port), device.isEmpty() ? QString() : devicePath(device));
}

void TestSerialPort::portTableDefaultsToDev()
{
    qunsetenv(DeviceFolder::kVariable);
    QCOMPARE(devicePathForPort(1), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(devicePathForPort(16), QStringLiteral("/dev/ttyS1"));
    QCOMPARE(devicePathForPort(17), QString());

    qputenv(DeviceFolder::kVariable, QByteArray());
    QCOMPARE(devicePathForPort(9), QStringLiteral("/dev/ttyACM0"));
}

void TestSerialPort::probingWaitsASecondFirst()
{
    // A plain wait on a monotonic clock, however fast the probes that follow fail, counted from
    // the service's making.
    QElapsedTimer clock;
    clock.start();
    QtSerialPortService port;
    port.pauseBeforeProbing();
    QVERIFY(clock.elapsed() >= 1000);
}

void TestSerialPort::relativeDeviceFolderStillOpens()
{
    // A plain relative name, not ./ or ../, which QSerialPort would take as one under /dev.
    const QString startFolder = QDir::currentPath();
    const auto restore = qScopeGuard([&] { QDir::setCurrent(startFolder); });
    QVERIFY(QDir::setCurrent(m_dir->path()));
    QVERIFY(QDir().mkdir(QStringLiteral("devices")));
    qputenv(DeviceFolder::kVariable, "devices");

    Instrument pty(m_dir->filePath(QStringLiteral("devices")), kDevice);
    QCOMPARE(QFileInfo(devicePathForPort(kPort)).canonicalFilePath(), pty.devicePath());
    QtSerialPortService port;
    port.setCommPort(kPort);
    const QString failure = openFailure(port);
    QVERIFY2(failure.isNull(), qPrintable(failure));
    QVERIFY(pty.write("abc"));
    QTRY_COMPARE(port.InBufferCount(), qint16(3));
    QCOMPARE(port.Input(), QByteArray("abc"));
}

void TestSerialPort::opensAt19200EightNOne()
{
    auto &[pty, port] = openPortOnDevice();

    const termios line = pty.lineSettings();
    QCOMPARE(cfgetispeed(&line), speed_t(B19200));
    QCOMPARE(cfgetospeed(&line), speed_t(B19200));
    QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(line.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), tcflag_t(0));
    QCOMPARE(line.c_lflag & (ICANON | ECHO), tcflag_t(0));
}

void TestSerialPort::readsEveryByteUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // Sent while the port was still closed: a serial adapter keeps none of it.
    QTest::addColumn<QByteArray>("beforeTheOpen");

    const QByteArray lines("\x02"
                           "1,2\r3,4\r"
                           "00318\x04");
    QTest::newRow("frame with CR line ends") << lines << QByteArray();
    QTest::newRow("frame after one sent before the open") << lines << lines;
    QTest::newRow("NUL and frame marks") << QByteArray("\x00\x02\x00\x04\x00", 5) << QByteArray();
    QTest::newRow("control characters") << byteRange(0x00, 0x1f) + '\x7f' << QByteArray();
    QTest::newRow("high half") << byteRange(0x80, 0xff) << QByteArray();
    QTest::newRow("every value twice")
        << byteRange(0x00, 0xff) + byteRange(0x00, 0xff) << QByteArray();
}

void TestSerialPort::readsEveryByteUnchanged()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, beforeTheOpen);

    Instrument pty(m_dir->path(), kDevice);
    QtSerialPortService port;
    port.setCommPort(kPort);
    QVERIFY(pty.write(beforeTheOpen));
    // They wait at the port's side when it opens.
    QCOMPARE(pty.delivered(), beforeTheOpen.isEmpty());
    port.setPortOpen(true);
    QVERIFY(port.PortOpen());
    QVERIFY(pty.write(bytes));

    QTRY_COMPARE(port.InBufferCount(), qint16(bytes.size()));
    QCOMPARE(port.Input(), bytes);
    QCOMPARE(port.InBufferCount(), qint16(0));
    QCOMPARE(port.Input(), QByteArray());
}

void TestSerialPort::manySmallWritesLoseNothing()
{
    auto &[pty, port] = openPortOnDevice();

    QByteArray sent;
    QByteArray received;
    for (int i = 0; i < 3000; ++i) {
        const QByteArray piece = QByteArray::number(i) + (i % 2 ? "\r" : ",");
        QVERIFY(pty.write(piece));
        sent += piece;
        // Reads interleave with the writes at odd moments.
        if (i % 7 == 0) {
            QCoreApplication::processEvents();
            received += port.Input();
        }
    }
    const auto receive = [&] { return (received += port.Input()).size(); };
    QTRY_COMPARE(receive(), sent.size());
    QCOMPARE(received, sent);
}

void TestSerialPort::countStopsAt32767ButInputReturnsAll()
{
    auto &[pty, port] = openPortOnDevice();

    QByteArray bytes;
    for (int i = 0; i < 40000; ++i)
        bytes.append(char(i * 7 % 251));
    QVERIFY(pty.write(bytes));
    QTRY_VERIFY(pty.delivered());

    QCOMPARE(port.InBufferCount(), qint16(32767));
    QCOMPARE(port.Input(), bytes);
    QCOMPARE(port.InBufferCount(), qint16(0));
}

// A terminal device hands over a few KiB a read, and nothing has been read yet here: the whole
// write still waits in the system.
void TestSerialPort::inputAlsoTakesWhatTheSystemStillHolds()
{
    auto &[pty, port] = openPortOnDevice();
    const QByteArray bytes = byteRange(0x00, 0xff).repeated(80);
    QVERIFY(pty.write(bytes));
    QCOMPARE(port.Input(), bytes);
}

void TestSerialPort::failedOpenThrowsAndLeavesThePortClosed_data()
{
    QTest::addColumn<qint16>("port");
    QTest::addColumn<QString>("present");
    QTest::addColumn<QString>("dangling");
    QTest::addColumn<bool>("lockedOut");
    // A lock file that a program which has ended left, where the user may not remove it.
    QTest::addColumn<bool>("lockFileLeft");
    // What the message says after "COM n (device)": the words the cable prompt shows.
    QTest::addColumn<QString>("why");

    const QString noPort = QStringLiteral(" is not a port: the ports are COM 1 to COM 16.");
    const QString absent = QStringLiteral(" is not present.");
    QTest::newRow("COM 0") << qint16(0) << kDevice << QString() << false << false << noPort;
    QTest::newRow("COM -1") << qint16(-1) << kDevice << QString() << false << false << noPort;
    QTest::newRow("COM 17") << qint16(17) << kDevice << QString() << false << false << noPort;
    QTest::newRow("no device for COM 4")
        << qint16(4) << kDevice << QString() << false << false << absent;
    QTest::newRow("no devices at all")
        << kPort << QString() << QString() << false << false << absent;
    QTest::newRow("link to nothing") << kPort << QString() << kDevice << false << false << absent;
    QTest::newRow("no permission")
        << kPort << kDevice << QString() << true << false << QStringLiteral(": permission denied.");
    QTest::newRow("lock file left behind")
        << kPort << kDevice << QString() << true << true << QStringLiteral(" is locked by ");
}

void TestSerialPort::failedOpenThrowsAndLeavesThePortClosed()
{
    QFETCH(qint16, port);
    QFETCH(QString, present);
    QFETCH(QString, dangling);
    QFETCH(bool, lockedOut);
    QFETCH(bool, lockFileLeft);
    QFETCH(QString, why);

    std::unique_ptr<Instrument> pty;
    if (!present.isEmpty())
        pty = std::make_unique<Instrument>(m_dir->path(), present);
    if (!dangling.isEmpty())
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("nothing")), devicePath(dangling)));

    QtSerialPortService service;
    service.setCommPort(port);
    QString failure;
    // Where Qt's serial port keeps it, found as the tool finds it: /var/lock, or where that is
    // missing, as in a minimal system that nothing has booted, a folder further down its list.
    const QString lockFile = portLockFile(devicePath(kDevice));
    const auto removeLockFile = qScopeGuard([&] {
        if (lockFileLeft)
            QFile::remove(lockFile);
    });
    if (lockFileLeft) {
        if (::geteuid() != 0)
            QSKIP("only root can leave a lock file that the user may not remove");
        // Its process has ended: no process has that number.
        QVERIFY2(writeLockFile(lockFile, "2147483646\nbrackenfeld\n\n"), qPrintable(lockFile));
    }
    if (lockedOut) {
        // As another user: root, whom no file mode stops, becomes nobody for the open and keeps
        // the way back. Outside the device's group, unless the lock file is what stops it.
        QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ExeOwner | QFile::ReadOther |
                                                         QFile::ExeOther));
        const QFile::Permissions everyone =
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther;
        QVERIFY(QFile::setPermissions(pty->devicePath(),
                                      lockFileLeft ? everyone : QFile::Permissions()));
        const AnotherUser nobody;
        QVERIFY(nobody.active());
        failure = openFailure(service);
    } else {
        failure = openFailure(service);
    }
    QVERIFY2(!failure.isNull(), "the port opened");
    const QString device = devicePathForPort(port);
    const QString named = device.isEmpty() ? QStringLiteral("COM %1").arg(port)
                                           : QStringLiteral("COM %1 (%2)").arg(port).arg(device);
    QVERIFY2(failure.startsWith(named + why), qPrintable(failure));
    QCOMPARE(failure.contains(QStringLiteral("sudo rm ") + lockFile), lockFileLeft);
#ifdef Q_OS_LINUX
    QCOMPARE(failure.contains(QStringLiteral("sudo usermod -aG dialout $USER")),
             lockedOut && !lockFileLeft);
#endif
    QVERIFY(!service.PortOpen());
    QCOMPARE(service.InBufferCount(), qint16(0));
    QVERIFY(!service.takeDeviceLoss());
}

void TestSerialPort::openOfWhatIsNoSerialPortSaysWhatItIs_data()
{
    QTest::addColumn<QString>("standIn");
    QTest::addColumn<QString>("why");

    QTest::newRow("regular file") << QStringLiteral("file")
                                  << QStringLiteral(" is not a serial port but a regular file.");
    QTest::newRow("named pipe") << QStringLiteral("fifo")
                                << QStringLiteral(" is not a serial port but a named pipe (FIFO).");
    QTest::newRow("folder") << QStringLiteral("folder")
                            << QStringLiteral(" is not a serial port but a folder.");
    QTest::newRow("another device")
        << QStringLiteral("/dev/null") << QStringLiteral(" is not a serial port.");
}

// What the port's device is instead, rather than the ioctl's "Inappropriate ioctl for device".
void TestSerialPort::openOfWhatIsNoSerialPortSaysWhatItIs()
{
    QFETCH(QString, standIn);
    QFETCH(QString, why);

    const QString device = devicePath(kDevice);
    if (standIn == u"file")
        QVERIFY(writeFile(device, "not a port"));
    else if (standIn == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(device).constData(), 0600), 0);
    else if (standIn == u"folder")
        QVERIFY(QDir().mkdir(device));
    else
        QVERIFY(QFile::link(standIn, device));
    QtSerialPortService service;
    service.setCommPort(kPort);
    QCOMPARE(openFailure(service), QStringLiteral("COM %1 (%2)").arg(kPort).arg(device) + why);
    QVERIFY(!service.PortOpen());
}

void TestSerialPort::misuseOfAnOpenPortThrowsAndKeepsItOpen_data()
{
    QTest::addColumn<bool>("changePort");

    QTest::newRow("port number changed while open") << true;
    QTest::newRow("opened while open") << false;
}

void TestSerialPort::misuseOfAnOpenPortThrowsAndKeepsItOpen()
{
    QFETCH(bool, changePort);

    auto &[pty, port] = openPortOnDevice();

    if (changePort)
        QVERIFY_THROWS_EXCEPTION(PlatformError, port.setCommPort(qint16(kPort + 1)));
    else
        QVERIFY_THROWS_EXCEPTION(PlatformError, port.setPortOpen(true));

    QCOMPARE(port.CommPort(), kPort);
    QVERIFY(port.PortOpen());
    QVERIFY(pty.write("still here"));
    QTRY_COMPARE(port.InBufferCount(), qint16(10));
    QCOMPARE(port.Input(), QByteArray("still here"));
}

void TestSerialPort::secondServiceCannotOpenTheSamePort()
{
    Instrument pty(m_dir->path(), kDevice);
    QtSerialPortService first;
    QtSerialPortService second;
    first.setCommPort(kPort);
    second.setCommPort(kPort);

    first.setPortOpen(true);
    const QString failure = openFailure(second);
    QCOMPARE(failure, QStringLiteral("COM 3 (%1) is held by another program; close that program.")
                          .arg(devicePath(kDevice)));
    QVERIFY_THROWS_EXCEPTION(PortInUse, second.setPortOpen(true));
    QVERIFY(!second.PortOpen());

    QVERIFY(pty.write("first"));
    QTRY_COMPARE(first.InBufferCount(), qint16(5));
    QCOMPARE(first.Input(), QByteArray("first"));

    first.setPortOpen(false);
    second.setPortOpen(true);
    QVERIFY(pty.write("second"));
    QTRY_COMPARE(second.InBufferCount(), qint16(6));
    QCOMPARE(second.Input(), QByteArray("second"));
}

void TestSerialPort::deviceLossIsReportedOnceAndKeepsWhatArrived()
{
    auto &[pty, port] = openPortOnDevice();

    const QByteArray bytes("\x02"
                           "1,2\r");
    QVERIFY(pty.write(bytes));
    // Only what the port has taken can survive: the hang-up discards what the kernel still holds.
    QTRY_COMPARE(port.InBufferCount(), qint16(bytes.size()));
    pty.hangUp();

    QTRY_VERIFY(!port.PortOpen());
    QVERIFY(port.takeDeviceLoss());
    QVERIFY(!port.takeDeviceLoss());
    QCOMPARE(port.InBufferCount(), qint16(bytes.size()));
    QCOMPARE(port.Input(), bytes);
    QCOMPARE(port.Input(), QByteArray());
}

void TestSerialPort::anyErrorOfAnOpenPortButATimeoutIsALostDevice_data()
{
    QTest::addColumn<QSerialPort::SerialPortError>("error");
    QTest::addColumn<bool>("lost");

    QTest::newRow("resource") << QSerialPort::ResourceError << true;
    QTest::newRow("read") << QSerialPort::ReadError << true;
    // Windows reports some adapters' unplugging so, by driver.
    QTest::newRow("permission") << QSerialPort::PermissionError << true;
    QTest::newRow("unknown") << QSerialPort::UnknownError << true;
    QTest::newRow("timeout") << QSerialPort::TimeoutError << false;
}

void TestSerialPort::anyErrorOfAnOpenPortButATimeoutIsALostDevice()
{
    QFETCH(QSerialPort::SerialPortError, error);
    QFETCH(bool, lost);

    auto &[pty, port] = openPortOnDevice();
    QVERIFY(pty.write("1,2\r"));
    QTRY_COMPARE(port.InBufferCount(), qint16(4));
    emit port.findChild<QSerialPort *>()->errorOccurred(error);

    QCOMPARE(port.takeDeviceLoss(), lost);
    QCOMPARE(port.PortOpen(), !lost);
    QCOMPARE(port.Input(), QByteArray("1,2\r"));
}

void TestSerialPort::lostPortStaysQuiet()
{
    auto &[pty, port] = openPortOnDevice();
    pty.hangUp();
    QTRY_VERIFY(!port.PortOpen());
    QVERIFY(port.takeDeviceLoss());

    // A port left open after the hang-up keeps waking the program: its descriptor reports the
    // hang-up for as long as it is open. Once the loss is handled nothing is left to wake it.
    QAbstractEventDispatcher *const events = QCoreApplication::eventDispatcher();
    QTRY_VERIFY(!events->processEvents(QEventLoop::AllEvents));
    QVERIFY(!events->processEvents(QEventLoop::AllEvents));
    QVERIFY(!port.takeDeviceLoss());
    QVERIFY(!port.PortOpen());
}

void TestSerialPort::portOpensAgainOnceTheDeviceReturns()
{
    QtSerialPortService port;
    port.setCommPort(kPort);
    {
        Instrument pty(m_dir->path(), kDevice);
        port.setPortOpen(true);
        pty.hangUp();
        QTRY_VERIFY(!port.PortOpen());
        QVERIFY(port.takeDeviceLoss());
        QVERIFY(!openFailure(port).isNull());
    }

    Instrument pty(m_dir->path(), kDevice);
    port.setPortOpen(true);
    QVERIFY(port.PortOpen());
    QVERIFY(pty.write("again\r"));
    QTRY_COMPARE(port.InBufferCount(), qint16(6));
    QCOMPARE(port.Input(), QByteArray("again\r"));
    QVERIFY(!port.takeDeviceLoss());
}

void TestSerialPort::modemLinesAPtyLacksDoNotStopTheOpen()
{
    Instrument pty(m_dir->path(), kDevice);
    {
        QSerialPort raw(pty.linkPath());
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY(!raw.setDataTerminalReady(true));
        QCOMPARE(raw.error(), QSerialPort::UnsupportedOperationError);
    }

    QtSerialPortService port;
    openPort(port, kPort);
    QVERIFY(pty.write("x"));
    QTRY_COMPARE(port.InBufferCount(), qint16(1));
    QVERIFY(port.PortOpen());
    QVERIFY(!port.takeDeviceLoss());
}

void TestSerialPort::descriptionStartsWithTheDevicePath_data()
{
    QTest::addColumn<qint16>("port");

    QTest::newRow("present") << kPort;
    QTest::newRow("absent") << qint16(kPort + 1);
}

void TestSerialPort::descriptionStartsWithTheDevicePath()
{
    QFETCH(qint16, port);

    Instrument pty(m_dir->path(), kDevice);
    QtSerialPortService service;
    const QString description = service.describePort(port);
    QVERIFY(!devicePathForPort(port).isEmpty());
    QVERIFY2(description.startsWith(devicePathForPort(port)), qPrintable(description));
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
