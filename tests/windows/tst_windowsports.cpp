#include "serial/PortPresence.h"
#include "serial/PortTable.h"
#include "serial/QtSerialPortService.h"

#include <QSerialPortInfo>
#include <QTest>
#include <QWindow>

#include <dbt.h>
#include <windows.h>

// The ports as Windows names them and tells of them, under Wine.
class TestWindowsPorts : public QObject
{
    Q_OBJECT

private slots:
    void everyComPortHasItsDevice_data();
    void everyComPortHasItsDevice();
    void descriptionNamesTheSystemsPort();
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

void TestWindowsPorts::descriptionNamesTheSystemsPort()
{
    // Wine always lists COM 1; Windows gives its place as \\.\COM1, its name as COM1.
    const QSerialPortInfo info(QStringLiteral("COM1"));
    QVERIFY(!info.isNull());
    QStringList expected{QStringLiteral("COM1")};
    for (const QString &detail : {info.description(), info.manufacturer()}) {
        if (!detail.isEmpty())
            expected << detail;
    }
    QVERIFY2(expected.size() > 1, "the system describes COM 1 no further");
    QCOMPARE(QtSerialPortService().describePort(1), expected.join(QStringLiteral(" - ")));
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
    // Windows tells the program's top-level windows.
    QWindow window;
    window.create();
    QVERIFY(PostMessageW(HWND(window.winId()), WM_DEVICECHANGE, WPARAM(change), 0));
    QTRY_COMPARE(calls, 1);
}

QTEST_MAIN(TestWindowsPorts)
#include "tst_windowsports.moc"
