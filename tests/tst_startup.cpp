#include "support/FakeTool.h"
#include "support/Uploads.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Answer = WindowOperations::Answer;

// A fresh program folder, a tool that has not started, and the instrument's ports.
struct Tool : FakeTool
{
    explicit Tool(QSet<qint16> ports)
    {
        window.onComboClick = [this] { main.ComComboBox_Click(); };
        port.present = ports;
    }

    void writeConfig(const QByteArray &bytes) const
    {
        QFile file(configPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray config() const
    {
        QFile file(configPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    QByteArray configFor(int port) const
    {
        return " " + QByteArray::number(port) + " \r\n\"" + folder.path().toUtf8() + "\"\r\n";
    }
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstStartCreatesTheSettingsWithTheLowestPort();
    void rememberedPortIsOpenedAfterTheFirstEntry();
    void unopenablePortAsksUntilCancel();
    void retryFindsTheInstrumentPluggedInMeanwhile();
    void noPortAtAllAsksForTheCable();
    void placesTheWindowAThirdDownAndCentred_data();
    void placesTheWindowAThirdDownAndCentred();
};

void TestStartup::firstStartCreatesTheSettingsWithTheLowestPort()
{
    Tool tool({3, 5});
    QElapsedTimer clock;
    clock.start();
    tool.main.Form_Load();

    QVERIFY(clock.elapsed() >= 1000);
    QCOMPARE(tool.window.windowCaption,
             QStringLiteral("Corvallen Brindlow Brackenfeld  ver " BRACKENFELD_VERSION));
    QCOMPARE(tool.window.entries, (QStringList{QStringLiteral("COM 3"), QStringLiteral("COM 5")}));
    QCOMPARE(tool.window.toolTips.first(), QStringLiteral("/dev/fake3"));
    QCOMPARE(tool.config(), tool.configFor(3));
    QCOMPARE(tool.main.ConfigPath, tool.configPath());
    QCOMPARE(tool.dialog.initDir, tool.folder.path());
    QCOMPARE(tool.main.FrameStart, QByteArray("\x02"));
    QCOMPARE(tool.main.FrameEnd, QByteArray("\x04"));
    QCOMPARE(tool.main.PortNumber, qint16(3));
    QVERIFY(tool.port.PortOpen());
    QCOMPARE(tool.port.CommPort(), qint16(3));
    QCOMPARE(tool.window.comboText, QStringLiteral("COM 3"));
    QCOMPARE(tool.main.DataSaved, qint16(1));
    QVERIFY(!tool.window.save);
    QCOMPARE(tool.window.text, QString());
    QVERIFY(tool.window.boxes.isEmpty());
    QVERIFY(tool.window.endedWith.isEmpty());
}

void TestStartup::rememberedPortIsOpenedAfterTheFirstEntry()
{
    Tool tool({3, 5});
    const QByteArray settings = " 5 \r\n\"/data/runs\"\r\n";
    tool.writeConfig(settings);
    tool.main.Form_Load();

    // Discovery probes every port, the first entry's selection opens COM 3, and the remembered
    // COM 5 takes its place.
    const QStringList afterDiscovery =
        tool.port.log.mid(tool.port.log.lastIndexOf("refused 16") + 1);
    QCOMPARE(afterDiscovery, (QStringList{"open 3", "close 3", "open 5"}));
    QCOMPARE(tool.main.PortNumber, qint16(5));
    QCOMPARE(tool.window.comboText, QStringLiteral("COM 5"));
    QCOMPARE(tool.dialog.initDir, QStringLiteral("/data/runs"));
    QCOMPARE(tool.config(), settings);
}

void TestStartup::unopenablePortAsksUntilCancel()
{
    Tool tool({3});
    tool.writeConfig(" 7 \r\n\"/data\"\r\n");
    tool.window.answers = {Answer::Retry, Answer::Cancel};
    tool.main.Form_Load();

    QCOMPARE(tool.window.boxTexts(), (QStringList{kCable, kCable}));
    QCOMPARE(tool.window.boxes[0].buttons, WindowOperations::Buttons::RetryCancel);
    QCOMPARE(tool.window.boxes[0].icon, WindowOperations::Icon::None);
    // Each pass probes COM 7 in discovery, then tries the guarded open.
    QCOMPARE(tool.port.log.count(QStringLiteral("refused 7")), 4);
    QCOMPARE(tool.window.comboText, QStringLiteral("COM 7"));
    QCOMPARE(tool.window.endedWith, QList<int>{0});
    QCOMPARE(tool.config(), QByteArray(" 7 \r\n\"/data\"\r\n"));

    // The loop never starts once the process has ended.
    tool.main.Form_Activate();
    QVERIFY(tool.window.waits.isEmpty());
}

void TestStartup::retryFindsTheInstrumentPluggedInMeanwhile()
{
    Tool tool({3});
    tool.writeConfig(" 7 \r\n\"/data\"\r\n");
    tool.window.answers = {Answer::Retry};
    tool.window.onBox = [&tool] { tool.port.present << 7; };
    tool.main.Form_Load();

    QCOMPARE(tool.window.boxTexts(), QStringList{kCable});
    QCOMPARE(tool.window.entries, (QStringList{QStringLiteral("COM 3"), QStringLiteral("COM 7")}));
    QVERIFY(tool.port.PortOpen());
    QCOMPARE(tool.port.CommPort(), qint16(7));
    QVERIFY(tool.window.endedWith.isEmpty());
}

void TestStartup::noPortAtAllAsksForTheCable()
{
    Tool tool({});
    tool.window.answers = {Answer::Retry, Answer::Cancel};
    tool.main.Form_Load();

    QVERIFY(tool.window.entries.isEmpty());
    QCOMPARE(tool.window.selected, -1);
    QCOMPARE(tool.main.PortNumber, qint16(0));
    QCOMPARE(tool.window.comboText, QStringLiteral("COM 0"));
    QCOMPARE(tool.window.boxTexts(), (QStringList{kCable, kCable}));
    QCOMPARE(tool.window.endedWith, QList<int>{0});
    // Cancel writes nothing more: the file stays as the first load created it.
    QCOMPARE(tool.config(), tool.configFor(0));
}

void TestStartup::placesTheWindowAThirdDownAndCentred_data()
{
    QTest::addColumn<QSizeF>("screen");
    QTest::addColumn<QSizeF>("window");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");

    QTest::newRow("even") << QSizeF(28800, 16200) << QSizeF(6375, 5820) << 11212.5 << 3460.0;
    QTest::newRow("thirds") << QSizeF(19200, 10800) << QSizeF(6375, 5821) << 6412.5
                            << double(4979.0f / 3.0f);
}

void TestStartup::placesTheWindowAThirdDownAndCentred()
{
    QFETCH(QSizeF, screen);
    QFETCH(QSizeF, window);
    QFETCH(double, left);
    QFETCH(double, top);

    Tool tool({1});
    tool.window.screenSize = screen;
    tool.window.outerSize = window;
    tool.main.Form_Load();
    QCOMPARE(tool.window.left, left);
    QCOMPARE(tool.window.top, top);
}

QTEST_APPLESS_MAIN(TestStartup)
#include "tst_startup.moc"
