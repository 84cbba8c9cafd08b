#include "serial/PortPresence.h"
#include "serial/PortTable.h"

#include <QTest>
#include <QWindow>

#include <windows.h>
// After windows.h, whose types it takes.
#include <dbt.h>

// The ports as Windows names them and tells of them, under Wine.
class TestWindowsPorts : public QObject
{
    Q_OBJECT

private slots:
    void everyComPortHasItsDevice_data();
    void everyComPortHasItsDevice();
    void deviceChangeMessagesUpdateTheList_data();
    void deviceChangeMessagesUpdateTheList();
};

void TestWindowsPorts::everyComPortHasItsDevice_data()
{
    QTest::addColumn<qint16>("port");
    QTest::addColumn<QString>("device");

    QTest::newRow("COM 1") << qint16(1) << QStringLiteral("COM1");
    // Windows numbers each new adapter past COM 16.
    QTest::newRow("COM 17") << qint16(17) << QStringLiteral("COM17");
    QTest::newRow("COM 256, the last") << qint16(256) << QStringLiteral("COM256");
    QTest::newRow("COM 257") << qint16(257) << QString();
    QTest::newRow("COM 0") << qint16(0) << QString();
}

void TestWindowsPorts::everyComPortHasItsDevice()
{
    QFETCH(qint16, port);
    QFETCH(QString, device);

    QCOMPARE(devicePathForPort(port), device);
}

void TestWindowsPorts::deviceChangeMessagesUpdateTheList_data()
{
    QTest::addColumn<int>("change");

    QTest::newRow("a device came") << int(DBT_DEVICEARRIVAL);
    QTest::newRow("a device went") << int(DBT_DEVICEREMOVECOMPLETE);
    QTest::newRow("devices changed") << int(DBT_DEVNODES_CHANGED);
}

void TestWindowsPorts::deviceChangeMessagesUpdateTheList()
{
    QFETCH(int, change);

    int calls = 0;
    const auto watch = watchPortPresence([&] { ++calls; });
    // Windows tells the program's top-level windows, of a port as of any device.
    QWindow window;
    window.create();
    DEV_BROADCAST_PORT_W port{};
    port.dbcp_size = sizeof port;
    port.dbcp_devicetype = DBT_DEVTYP_PORT;
    SendMessageW(HWND(window.winId()), WM_DEVICECHANGE, WPARAM(change), LPARAM(&port));
    QTRY_COMPARE(calls, 1);
}

QTEST_MAIN(TestWindowsPorts)
#include "tst_windowsports.moc"
