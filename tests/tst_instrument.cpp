#include "serial/QtSerialPortService.h"
#include "support/Instrument.h"
#include "support/Uploads.h"
#include "tools/InstrumentFrame.h"
#include "tools/InstrumentOptions.h"
#include "tools/LinkDescription.h"
#include "tools/Transmission.h"
#include "upload/UploadFrame.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kInstrument = QStringLiteral(INSTRUMENT_PATH);

// COM 3 is the third USB serial device.
constexpr qint16 kPort = 3;
const QString kDevice = QStringLiteral("ttyUSB2");

DecodedFrame decode(const QByteArray &bytes)
{
    return DecodeUploadFrame(bytes, "\x02", "\x04");
}

// 1009 'A' sum to 65585, past 65535.
const QByteArray kWrappingPayload(1009, 'A');
// 1008 'A' and the CR sum to 65533: the checksum is 65535, the highest there is.
const QByteArray kHighestChecksumPayload = QByteArray(1008, 'A') + '\r';

} // namespace

class TestInstrument : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void frame_data();
    void frame();
    void payloadNormalisesLineEnds_data();
    void payloadNormalisesLineEnds();
    void everyFrameDecodes_data();
    void everyFrameDecodes();
    void corruptChecksumIsOneOffAndRejected_data() { everyFrameDecodes_data(); }
    void corruptChecksumIsOneOffAndRejected();
    void escapes_data();
    void escapes();
    void pieces_data();
    void pieces();
    void portNumbersFollowTheToolsTable_data();
    void portNumbersFollowTheToolsTable();

    void sendsNoiseFrameAndTrailerOverALink();
    void keepsTheLinkOpenUntilTerminated();
    void sendsOneUploadForEachEnter();
    void badArgumentsExitWithStatusTwo_data();
    void badArgumentsExitWithStatusTwo();

private:
    QString linkPath() const { return m_dir->filePath(kDevice); }
    void start(QProcess &process, const QStringList &arguments);
    QByteArray receive(QtSerialPortService &port);

    std::unique_ptr<DeviceFolder> m_dir;
    QByteArray m_received;
};

void TestInstrument::init()
{
    m_dir = std::make_unique<DeviceFolder>();
    QVERIFY(m_dir->isValid());
    m_received.clear();
}

void TestInstrument::cleanup()
{
    m_dir.reset();
}

void TestInstrument::frame_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("abc") << QByteArray("abc")
                         << QByteArray("\x02"
                                       "abc00296\x04");
    QTest::newRow("empty") << QByteArray()
                           << QByteArray("\x02"
                                         "00002\x04");
    QTest::newRow("two lines") << QByteArray("1,2\r3,4\r")
                               << QByteArray("\x02"
                                             "1,2\r3,4\r00318\x04");
    QTest::newRow("sum wraps past 65535, five digits")
        << kWrappingPayload << QByteArray('\x02' + kWrappingPayload + "00051\x04");
    QTest::newRow("highest checksum")
        << kHighestChecksumPayload << QByteArray('\x02' + kHighestChecksumPayload + "65535\x04");
}

void TestInstrument::frame()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(instrumentFrame(payload, false), frame);
}

void TestInstrument::payloadNormalisesLineEnds_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("empty stays empty") << QByteArray() << QByteArray();
    QTest::newRow("CR LF") << QByteArray("a,b\r\n1,2\r\n") << QByteArray("a,b\r1,2\r");
    QTest::newRow("LF") << QByteArray("a,b\n1,2\n") << QByteArray("a,b\r1,2\r");
    QTest::newRow("CR already") << QByteArray("a,b\r1,2\r") << QByteArray("a,b\r1,2\r");
    QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd\r\n") << QByteArray("a\rb\rc\rd\r");
    QTest::newRow("last line end missing") << QByteArray("a,b\n1,2") << QByteArray("a,b\r1,2\r");
    QTest::newRow("one line, no end") << QByteArray("x") << QByteArray("x\r");
    QTest::newRow("blank lines kept") << QByteArray("a\n\nb\r\n\r\n") << QByteArray("a\r\rb\r\r");
    QTest::newRow("fields untouched")
        << QByteArray(" a ,, \"b,c\" \n") << QByteArray(" a ,, \"b,c\" \r");
}

void TestInstrument::payloadNormalisesLineEnds()
{
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, payload);
    QCOMPARE(instrumentPayload(csv), payload);
}

void TestInstrument::everyFrameDecodes_data()
{
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("sample") << instrumentPayload(sampleCsv());
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("two lines") << QByteArray("1,2\r3,4\r");
    QTest::newRow("wrapping") << kWrappingPayload;
    QTest::newRow("highest checksum") << kHighestChecksumPayload;
    QTest::newRow("from LF text") << instrumentPayload("Sample,pH\n1,7.1\n2,6.9");
}

void TestInstrument::everyFrameDecodes()
{
    QFETCH(QByteArray, payload);
    const QByteArray frame = instrumentFrame(payload, false);
    const DecodedFrame decoded = decode("noise" + frame + "\r\n");
    QCOMPARE(decoded.outcome, FrameOutcome::Decoded);
    QCOMPARE(decoded.text, decodedText(payload));
    // What the simulator says the tool saves is what the tool decodes, and the line end after it.
    QCOMPARE(savedFile(payload), decoded.text + "\r\n");
    QCOMPARE(decoded.frameEnd, qsizetype(5 + frame.size()));
}

void TestInstrument::corruptChecksumIsOneOffAndRejected()
{
    QFETCH(QByteArray, payload);
    const QByteArray frame = instrumentFrame(payload, true);
    QCOMPARE(frame.size(), payload.size() + 7);
    const int written = frame.chopped(1).right(5).toInt();
    QCOMPARE(written, (uploadChecksum(payload) + 1) % 65536);
    QCOMPARE(decode(frame).outcome, FrameOutcome::ChecksumError);
}

void TestInstrument::escapes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("plain") << QStringLiteral("xx") << true << QByteArray("xx");
    QTest::newRow("empty") << QString() << true << QByteArray();
    QTest::newRow("CR LF") << QStringLiteral("\\r\\n") << true << QByteArray("\r\n");
    QTest::newRow("tab and backslash")
        << QStringLiteral("a\\tb\\\\") << true << QByteArray("a\tb\\");
    QTest::newRow("hex") << QStringLiteral("\\x02\\x1b\\xfF") << true << QByteArray("\x02\x1b\xff");
    QTest::newRow("UTF-8") << QStringLiteral("\u00b5S") << true << QByteArray("\xc2\xb5S");
    QTest::newRow("unknown escape") << QStringLiteral("\\q") << false << QByteArray();
    QTest::newRow("one hex digit") << QStringLiteral("\\x4") << false << QByteArray();
    QTest::newRow("not hex") << QStringLiteral("\\x+4") << false << QByteArray();
    QTest::newRow("backslash at the end") << QStringLiteral("ab\\") << false << QByteArray();
}

void TestInstrument::escapes()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QByteArray, bytes);
    const auto decoded = decodeEscapes(text);
    QCOMPARE(decoded.has_value(), valid);
    if (valid)
        QCOMPARE(*decoded, bytes);
}

void TestInstrument::pieces_data()
{
    QTest::addColumn<Pace>("pace");
    QTest::addColumn<int>("split");
    QTest::addColumn<QList<qsizetype>>("sizes");

    QTest::newRow("fast: one write") << Pace::Fast << 0 << QList<qsizetype>{8};
    QTest::newRow("line: a byte a write") << Pace::Line << 0 << QList<qsizetype>(8, 1);
    QTest::newRow("split 3") << Pace::Fast << 3 << QList<qsizetype>{3, 3, 2};
    QTest::newRow("split 3 at line pace") << Pace::Line << 3 << QList<qsizetype>{3, 3, 2};
    QTest::newRow("split more than the bytes") << Pace::Fast << 20 << QList<qsizetype>(8, 1);
}

void TestInstrument::pieces()
{
    QFETCH(Pace, pace);
    QFETCH(int, split);
    QFETCH(QList<qsizetype>, sizes);
    const QByteArray bytes("abcdefgh");
    QList<qsizetype> got;
    QByteArray joined;
    for (const QByteArrayView piece : transmissionPieces(bytes, pace, split)) {
        got.append(piece.size());
        joined.append(piece);
    }
    QCOMPARE(got, sizes);
    QCOMPARE(joined, bytes);
}

void TestInstrument::portNumbersFollowTheToolsTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint16>("port");

    QTest::newRow("ttyUSB0") << QStringLiteral("ttyUSB0") << qint16(1);
    QTest::newRow("ttyUSB2") << QStringLiteral("ttyUSB2") << qint16(3);
    QTest::newRow("ttyUSB7") << QStringLiteral("ttyUSB7") << qint16(8);
    QTest::newRow("ttyUSB8") << QStringLiteral("ttyUSB8") << qint16(0);
    QTest::newRow("ttyACM0") << QStringLiteral("ttyACM0") << qint16(9);
    QTest::newRow("ttyACM5") << QStringLiteral("ttyACM5") << qint16(14);
    QTest::newRow("ttyS1") << QStringLiteral("ttyS1") << qint16(16);
    QTest::newRow("ttyS2") << QStringLiteral("ttyS2") << qint16(0);
    QTest::newRow("other") << QStringLiteral("instrument") << qint16(0);
}

void TestInstrument::portNumbersFollowTheToolsTable()
{
    QFETCH(QString, name);
    QFETCH(qint16, port);
    QCOMPARE(portNumberForDeviceName(name), port);
    const QString line = describeLink(m_dir->filePath(name), QStringLiteral("/dev/pts/9"));
    QVERIFY2(line.contains(port ? QStringLiteral("COM %1 ").arg(port)
                                : QStringLiteral("not a port the tool lists")),
             qPrintable(line));
}

void TestInstrument::start(QProcess &process, const QStringList &arguments)
{
    process.start(kInstrument, arguments);
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
}

QByteArray TestInstrument::receive(QtSerialPortService &port)
{
    m_received += port.Input();
    return m_received;
}

void TestInstrument::sendsNoiseFrameAndTrailerOverALink()
{
    QProcess instrument;
    start(instrument,
          {QStringLiteral("--link"), linkPath(), QStringLiteral("--pace"), QStringLiteral("fast"),
           QStringLiteral("--split"), QStringLiteral("3"), QStringLiteral("--noise"),
           QStringLiteral("xx"), QStringLiteral("--trailer"), QStringLiteral("\\r\\n")});
    QTRY_VERIFY(QFileInfo::exists(linkPath()));

    QtSerialPortService port;
    openPort(port, kPort);
    const QByteArray frame = instrumentFrame(instrumentPayload(sampleCsv()), false);
    const QByteArray expected = "xx" + frame + "\r\n";
    QTRY_VERIFY(receive(port).size() >= expected.size());
    QCOMPARE(m_received, expected);
    QCOMPARE(decode(m_received).outcome, FrameOutcome::Decoded);

    // Once everything is read it ends by itself, pulling the cable.
    QTRY_COMPARE(instrument.state(), QProcess::NotRunning);
    QCOMPARE(instrument.exitStatus(), QProcess::NormalExit);
    QCOMPARE(instrument.exitCode(), 0);
    QVERIFY(!QFileInfo(linkPath()).isSymLink());
    // Evaluated once: taking the loss clears it.
    QTRY_VERIFY(!port.PortOpen());
    QVERIFY(port.takeDeviceLoss());
    const QString output = QString::fromLocal8Bit(instrument.readAllStandardOutput());
    QVERIFY2(output.contains(QStringLiteral("COM 3")), qPrintable(output));
    QVERIFY2(
        output.contains(QStringLiteral("checksum ") + QLatin1String(frame.chopped(1).right(5))),
        qPrintable(output));
}

void TestInstrument::keepsTheLinkOpenUntilTerminated()
{
    const QString csvPath = m_dir->filePath(QStringLiteral("readings.csv"));
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("Sample,pH\r\n1,7.02\r\n2,6.98");
    csv.close();

    QProcess instrument;
    start(instrument,
          {QStringLiteral("--link"), linkPath(), QStringLiteral("--count"), QStringLiteral("2"),
           QStringLiteral("--pause"), QStringLiteral("0.1"), QStringLiteral("--corrupt-checksum"),
           QStringLiteral("--keep-open"), QStringLiteral("--quiet"), csvPath});
    QTRY_VERIFY(QFileInfo::exists(linkPath()));

    QtSerialPortService port;
    openPort(port, kPort);
    const QByteArray frame = instrumentFrame("Sample,pH\r1,7.02\r2,6.98\r", true);
    QTRY_VERIFY(receive(port).size() >= 2 * frame.size());
    QCOMPARE(m_received, frame + frame);
    QCOMPARE(decode(m_received).outcome, FrameOutcome::ChecksumError);

    // Everything is read, yet the device stays until the signal.
    QVERIFY(!instrument.waitForFinished(200));
    QVERIFY(port.PortOpen());
    instrument.terminate();
    QTRY_COMPARE(instrument.state(), QProcess::NotRunning);
    QCOMPARE(instrument.exitStatus(), QProcess::NormalExit);
    QCOMPARE(instrument.exitCode(), 0);
    QVERIFY(!QFileInfo(linkPath()).isSymLink());
    QCOMPARE(instrument.readAllStandardOutput(), QByteArray());
}

void TestInstrument::sendsOneUploadForEachEnter()
{
    QProcess instrument;
    start(instrument,
          {QStringLiteral("--link"), linkPath(), QStringLiteral("--count"), QStringLiteral("0"),
           QStringLiteral("--on-enter"), QStringLiteral("--pace"), QStringLiteral("fast")});
    QTRY_VERIFY(QFileInfo::exists(linkPath()));

    QtSerialPortService port;
    openPort(port, kPort);
    const QByteArray frame = instrumentFrame(instrumentPayload(sampleCsv()), false);
    instrument.write("\n");
    QTRY_VERIFY(receive(port).size() >= frame.size());
    QCOMPARE(m_received, frame);
    instrument.write("typed text is ignored\n\n");
    QTRY_VERIFY(receive(port).size() >= 3 * frame.size());
    QCOMPARE(m_received, frame + frame + frame);

    // The end of input stops the sending, not the device: the cable stays in until the signal.
    instrument.closeWriteChannel();
    QByteArray said;
    QTRY_VERIFY((said += instrument.readAllStandardOutput()).contains("Input ended"));
    QVERIFY(!instrument.waitForFinished(200));
    QVERIFY(port.PortOpen());
    QVERIFY(!port.takeDeviceLoss());
    instrument.terminate();
    QTRY_COMPARE(instrument.state(), QProcess::NotRunning);
    QCOMPARE(instrument.exitStatus(), QProcess::NormalExit);
    QCOMPARE(instrument.exitCode(), 0);
    QVERIFY(!QFileInfo(linkPath()).isSymLink());
}

void TestInstrument::badArgumentsExitWithStatusTwo_data()
{
    QTest::addColumn<QStringList>("arguments");

    const QString link = QStringLiteral("--link");
    // The link is made in the temporary folder that init() creates for each row.
    const QString linkHere = QStringLiteral("@LINK@");
    QTest::newRow("unknown option") << QStringList{link, linkHere, QStringLiteral("--bogus")};
    QTest::newRow("count not a number")
        << QStringList{link, linkHere, QStringLiteral("--count"), QStringLiteral("two")};
    QTest::newRow("negative count")
        << QStringList{link, linkHere, QStringLiteral("--count"), QStringLiteral("-1")};
    QTest::newRow("split 0") << QStringList{link, linkHere, QStringLiteral("--split"),
                                            QStringLiteral("0")};
    QTest::newRow("pace unknown") << QStringList{link, linkHere, QStringLiteral("--pace"),
                                                 QStringLiteral("slow")};
    QTest::newRow("pause not a number")
        << QStringList{link, linkHere, QStringLiteral("--pause"), QStringLiteral("soon")};
    QTest::newRow("bad escape") << QStringList{link, linkHere, QStringLiteral("--noise"),
                                               QStringLiteral("\\q")};
    QTest::newRow("missing value") << QStringList{link, linkHere, QStringLiteral("--delay")};
    QTest::newRow("link and device")
        << QStringList{link, linkHere, QStringLiteral("--device"), QStringLiteral("/dev/null")};
    QTest::newRow("neither link nor device") << QStringList{};
    QTest::newRow("print-saved and link")
        << QStringList{QStringLiteral("--print-saved"), link, linkHere};
    QTest::newRow("two files") << QStringList{link, linkHere, QStringLiteral("@CSV@"),
                                              QStringLiteral("@CSV@")};
    QTest::newRow("file cannot be read")
        << QStringList{link, linkHere, QStringLiteral("@DIR@/no-such-file.csv")};
    QTest::newRow("payload holds the end byte")
        << QStringList{link, linkHere, QStringLiteral("@CSV@")};
}

void TestInstrument::badArgumentsExitWithStatusTwo()
{
    QFETCH(QStringList, arguments);
    const QString csvPath = m_dir->filePath(QStringLiteral("end-mark.csv"));
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("Sample,Note\n1,a\x04z\n");
    csv.close();
    arguments.replaceInStrings(QStringLiteral("@LINK@"), linkPath());
    arguments.replaceInStrings(QStringLiteral("@CSV@"), csvPath);
    arguments.replaceInStrings(QStringLiteral("@DIR@"), m_dir->path());

    QProcess instrument;
    start(instrument, arguments);
    QTRY_COMPARE(instrument.state(), QProcess::NotRunning);
    QCOMPARE(instrument.exitStatus(), QProcess::NormalExit);
    QCOMPARE(instrument.exitCode(), 2);
    const QByteArray error = instrument.readAllStandardError();
    QVERIFY2(error.startsWith("brackenfeld-instrument: ") && error.count('\n') == 1,
             error.constData());
    QCOMPARE(instrument.readAllStandardOutput(), QByteArray());
    QVERIFY(!QFileInfo(linkPath()).isSymLink());
}

QTEST_GUILESS_MAIN(TestInstrument)
#include "tst_instrument.moc"
