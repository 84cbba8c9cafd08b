#include "support/Uploads.h"
#include "upload/FrameScanner.h"
#include "upload/LenientNumber.h"
#include "upload/UploadFrame.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <numeric>

namespace {

const QByteArray kStart("\x02");
const QByteArray kEnd("\x04");

// The checksum summed the plain way, byte by byte.
QByteArray plainChecksumField(QByteArrayView payload)
{
    unsigned sum = 2;
    for (const char c : payload)
        sum += static_cast<unsigned char>(c);
    return QByteArray::number(sum % 65536).rightJustified(5, '0');
}

// Bytes of every value but the end mark, with commas and CRs at the given odds.
QByteArray randomPayload(QRandomGenerator &random, qsizetype size, int commaOdds, int crOdds)
{
    QByteArray payload(size, Qt::Uninitialized);
    for (char &c : payload) {
        if (random.bounded(commaOdds) == 0)
            c = ',';
        else if (random.bounded(crOdds) == 0)
            c = '\r';
        else
            do
                c = char(random.bounded(256));
            while (c == '\x04');
    }
    return payload;
}

// The bytes fed to a scanner in reads of random sizes, some of them several decoding pieces long,
// and the last byte, the end mark, alone, after all that came before it.
DecodedFrame scannedInRandomReads(QByteArrayView bytes, QRandomGenerator &random)
{
    FrameScanner scanner;
    for (qsizetype at = 0; at < bytes.size() - 1;) {
        const qsizetype read = std::min<qsizetype>(random.bounded(1, 10000), bytes.size() - 1 - at);
        scanner.append(bytes.sliced(at, read));
        at += read;
        if (scanner.takeFrame(kStart, kEnd).outcome != FrameOutcome::Incomplete)
            return {};
    }
    scanner.append(bytes.last(1));
    return scanner.takeFrame(kStart, kEnd);
}

} // namespace

class TestUploadFrame : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void scannerAgreesWithDecoderWhateverTheReads_data() { decodes_data(); }
    void scannerAgreesWithDecoderWhateverTheReads();
    void scannerKeepsWhatFollowsTheEndMark();
    void agreesWithThePlainReading_data();
    void agreesWithThePlainReading();
    void lineNoiseTakesNoMemory();
    void checksumsOfTheInstrument_data();
    void checksumsOfTheInstrument();
    void lenientNumber_data();
    void lenientNumber();
    void wholeNumberRoundsHalfToEvenAndKeepsToItsRange();
};

void TestUploadFrame::decodes_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<FrameOutcome>("outcome");
    QTest::addColumn<QByteArray>("text");

    const auto incomplete = FrameOutcome::Incomplete;
    const auto error = FrameOutcome::ChecksumError;
    const auto decoded = FrameOutcome::Decoded;

    QTest::newRow("empty buffer") << QByteArray() << incomplete << QByteArray();
    QTest::newRow("end marks but no start mark")
        << QByteArray("abc00296\x04\x04") << incomplete << QByteArray();
    QTest::newRow("start mark, no end mark") << QByteArray("\x02"
                                                           "abc00296"
                                                           "more text")
                                             << incomplete << QByteArray();
    QTest::newRow("end mark only before the start mark") << QByteArray("\x04\x02"
                                                                       "abc00296")
                                                         << incomplete << QByteArray();
    QTest::newRow("two lines of two fields")
        << frame("1,2\r3,4\r", "00318") << decoded << QByteArray("1\t2\r\n3\t4\r\n");
    QTest::newRow("abc") << frame("abc", "00296") << decoded << QByteArray("abc");
    QTest::newRow("empty payload") << frame("", "00002") << decoded << QByteArray();
    QTest::newRow("600 z wrap past 65535")
        << frame(QByteArray(600, 'z'), "07666") << decoded << QByteArray(600, 'z');
    QTest::newRow("noise before the start mark is dropped")
        << QByteArray("noise,\r\x04" + frame("abc", "00296")) << decoded << QByteArray("abc");
    QTest::newRow("second start mark is payload, adds 2") << frame("a\x02"
                                                                   "b",
                                                                   "00199")
                                                          << decoded
                                                          << QByteArray("a\x02"
                                                                        "b");
    QTest::newRow("received CR LF gains a second LF")
        << frame("a\r\n", "00122") << decoded << QByteArray("a\r\n\n");
    QTest::newRow("lone LF passes unchanged")
        << frame("a\nb", "00207") << decoded << QByteArray("a\nb");
    QTest::newRow("no commas: only LFs added")
        << frame("ab\r", "00210") << decoded << QByteArray("ab\r\n");
    QTest::newRow("bytes above 127 pass through")
        << frame("\xe9,\xff", "00534") << decoded << QByteArray("\xe9\t\xff");
    QTest::newRow("checksum one less") << frame("abc", "00295") << error << QByteArray();
    QTest::newRow("checksum one more") << frame("abc", "00297") << error << QByteArray();
    QTest::newRow("field with blanks") << frame("abc", "  296") << decoded << QByteArray("abc");
    QTest::newRow("field starting with a letter reads 0")
        << frame("abc", "x0296") << error << QByteArray();
    QTest::newRow("fraction rounds down") << frame("abc", "296.4") << decoded << QByteArray("abc");
    QTest::newRow("half rounds to even 296")
        << frame("abc", "295.5") << decoded << QByteArray("abc");
    QTest::newRow("half rounds to even 298") << frame("abc", "297.5") << error << QByteArray();
    QTest::newRow("hexadecimal field") << frame("abc", "&H128") << decoded << QByteArray("abc");
    QTest::newRow("octal field") << frame("abc", "&O450") << decoded << QByteArray("abc");

    // The checksum field is read just before the end mark, whatever follows the frame.
    QTest::newRow("CR LF after the end mark") << frame("abc", "00296") + "\r\n"
                                              << decoded << QByteArray("abc");
    QTest::newRow("five digits and more after the end mark")
        << frame("abc", "00296") + "12345x" << decoded << QByteArray("abc");
    QTest::newRow("start of the next upload after the end mark") << frame("abc", "00296") + "\x02"
                                                                                            "1,2"
                                                                 << decoded << QByteArray("abc");

    // No room for the checksum field, or a value no 32-bit checksum can have: damaged.
    QTest::newRow("marks side by side") << QByteArray("\x02\x04") << error << QByteArray();
    QTest::newRow("four characters between the marks") << QByteArray("\x02"
                                                                     "0002\x04")
                                                       << error << QByteArray();
    QTest::newRow("checksum field 1e100") << frame("abc", "1e100") << error << QByteArray();
    QTest::newRow("checksum field 9e9") << frame("abc", "9e9  ") << error << QByteArray();
}

void TestUploadFrame::decodes()
{
    QFETCH(QByteArray, buffer);
    QFETCH(FrameOutcome, outcome);
    QFETCH(QByteArray, text);

    const QByteArray before = buffer;
    const DecodedFrame result = DecodeUploadFrame(buffer, kStart, kEnd);
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.text, text);
    QCOMPARE(buffer, before);
}

void TestUploadFrame::scannerAgreesWithDecoderWhateverTheReads()
{
    QFETCH(QByteArray, buffer);

    const DecodedFrame whole = DecodeUploadFrame(buffer, kStart, kEnd);
    for (const qsizetype readSize : {1, 3, 1000}) {
        FrameScanner scanner;
        DecodedFrame found;
        for (qsizetype at = 0; at < buffer.size() && found.outcome == FrameOutcome::Incomplete;
             at += readSize) {
            scanner.append(buffer.mid(at, readSize));
            found = scanner.takeFrame(kStart, kEnd);
        }
        QCOMPARE(found.outcome, whole.outcome);
        QCOMPARE(found.text, whole.text);
    }
}

void TestUploadFrame::scannerKeepsWhatFollowsTheEndMark()
{
    FrameScanner scanner;
    scanner.append(frame("abc", "00296") + "\x02"
                                           "a\x02"
                                           "b");
    QCOMPARE(scanner.takeFrame(kStart, kEnd).text, QByteArray("abc"));
    QCOMPARE(scanner.characters(), QByteArray("\x02"
                                              "a\x02"
                                              "b"));
    QCOMPARE(scanner.takeFrame(kStart, kEnd).outcome, FrameOutcome::Incomplete);

    scanner.append("00199\x04");
    const DecodedFrame second = scanner.takeFrame(kStart, kEnd);
    QCOMPARE(second.outcome, FrameOutcome::Decoded);
    QCOMPARE(second.text, QByteArray("a\x02"
                                     "b"));
    QVERIFY(scanner.isEmpty());
}

void TestUploadFrame::agreesWithThePlainReading_data()
{
    QTest::addColumn<qsizetype>("offset");
    QTest::addColumn<QList<qsizetype>>("sizes");

    // The start mark at every place modulo 16, each with every payload size up to 200; and a
    // few uploads of 64 KiB.
    QList<qsizetype> upTo200(201);
    std::iota(upTo200.begin(), upTo200.end(), 0);
    for (qsizetype offset = 0; offset < 16; ++offset)
        QTest::addRow("start mark at %lld, payloads of 0 to 200", qlonglong(offset))
            << offset << upTo200;
    QTest::newRow("64 KiB") << qsizetype(5) << QList<qsizetype>{65536, 65535, 65537};
}

void TestUploadFrame::agreesWithThePlainReading()
{
    QFETCH(qsizetype, offset);
    QFETCH(QList<qsizetype>, sizes);

    QRandomGenerator random(static_cast<quint32>(offset) + 1);
    for (const qsizetype size : sizes) {
        // Dense line ends, sparse ones, and none at all.
        for (const int crOdds : {4, 40, 100000}) {
            const QByteArray payload = randomPayload(random, size, 8, crOdds);
            const QByteArray noise(offset, 'n');
            const QByteArray field = plainChecksumField(payload);
            const QString which = QStringLiteral("size %1, CR odds %2").arg(size).arg(crOdds);

            const QByteArray bytes = noise + frame(payload, field);
            const DecodedFrame decoded = DecodeUploadFrame(bytes, kStart, kEnd);
            QVERIFY2(decoded.outcome == FrameOutcome::Decoded, qPrintable(which));
            QVERIFY2(decoded.text == decodedText(payload), qPrintable(which));
            const DecodedFrame scanned = scannedInRandomReads(bytes, random);
            QVERIFY2(scanned.text == decoded.text && scanned.frameEnd == decoded.frameEnd,
                     qPrintable(which));

            const QByteArray wrongField =
                QByteArray::number(field.toInt() ^ 1).rightJustified(5, '0');
            const QByteArray damagedBytes = noise + frame(payload, wrongField);
            const DecodedFrame damaged = DecodeUploadFrame(damagedBytes, kStart, kEnd);
            QVERIFY2(damaged.outcome == FrameOutcome::ChecksumError, qPrintable(which));
            QVERIFY2(scannedInRandomReads(damagedBytes, random).outcome == damaged.outcome,
                     qPrintable(which));
        }
    }
}

void TestUploadFrame::lineNoiseTakesNoMemory()
{
    // 64 MiB of noise, a read at a time, with end marks and CRs, but no start mark.
    const QByteArray read = QByteArray("\x04\r\nnoise ").repeated(64 * 1024 / 8);
    FrameScanner scanner;
    for (int i = 0; i < 1024; ++i) {
        scanner.append(read);
        QCOMPARE(scanner.takeFrame(kStart, kEnd).outcome, FrameOutcome::Incomplete);
    }
    QVERIFY(scanner.characters().isEmpty());
    QCOMPARE_LE(scanner.characters().capacity(), 2 * read.size());
    scanner.append("noise" + kAbc);
    QCOMPARE(scanner.takeFrame(kStart, kEnd).text, QByteArray("abc"));
}

void TestUploadFrame::checksumsOfTheInstrument_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("checksum");

    QTest::newRow("empty") << QByteArray() << 2;
    QTest::newRow("abc") << QByteArray("abc") << 296;
    QTest::newRow("two lines") << QByteArray("1,2\r3,4\r") << 318;
    QTest::newRow("600 z") << QByteArray(600, 'z') << 7666;
    QTest::newRow("all 0xff up to a wrap") << QByteArray(257, '\xff') << (2 + 257 * 255) % 65536;
}

void TestUploadFrame::checksumsOfTheInstrument()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, checksum);
    QCOMPARE(int(uploadChecksum(payload)), checksum);
}

void TestUploadFrame::lenientNumber_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("leading zeros") << QByteArray("00296") << 296.0;
    QTest::newRow("leading blanks") << QByteArray("  296") << 296.0;
    QTest::newRow("blanks, tabs, LFs inside") << QByteArray("2 9\t6\n") << 296.0;
    QTest::newRow("CR stops") << QByteArray("29\r6") << 29.0;
    QTest::newRow("minus") << QByteArray(" -12") << -12.0;
    QTest::newRow("plus") << QByteArray("+7") << 7.0;
    QTest::newRow("fraction and exponent") << QByteArray("1.5e2x") << 150.0;
    QTest::newRow("negative exponent") << QByteArray("25E-1") << 2.5;
    QTest::newRow("point first") << QByteArray(".5") << 0.5;
    QTest::newRow("point last") << QByteArray("5.") << 5.0;
    QTest::newRow("exponent without digits") << QByteArray("1e") << 1.0;
    QTest::newRow("comma is no separator") << QByteArray("1,5") << 1.0;
    QTest::newRow("letters") << QByteArray("abc") << 0.0;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("sign alone") << QByteArray("-") << 0.0;
    QTest::newRow("hexadecimal") << QByteArray("&H1F") << 31.0;
    QTest::newRow("hexadecimal, lower case") << QByteArray("&h1fz") << 31.0;
    QTest::newRow("octal") << QByteArray("&O17") << 15.0;
    QTest::newRow("octal stops at 8") << QByteArray("&o178") << 15.0;
    QTest::newRow("ampersand alone") << QByteArray("&X1") << 0.0;
    QTest::newRow("control byte is no ampersand") << QByteArray("\x06h1") << 0.0;
}

void TestUploadFrame::lenientNumber()
{
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    QCOMPARE(::lenientNumber(text), value);
}

void TestUploadFrame::wholeNumberRoundsHalfToEvenAndKeepsToItsRange()
{
    QCOMPARE(lenientWholeNumber("2.5", -10, 10), std::optional<std::int64_t>(2));
    QCOMPARE(lenientWholeNumber("3.5", -10, 10), std::optional<std::int64_t>(4));
    QCOMPARE(lenientWholeNumber("-2.5", -10, 10), std::optional<std::int64_t>(-2));
    QCOMPARE(lenientWholeNumber("10.4", -10, 10), std::optional<std::int64_t>(10));
    QCOMPARE(lenientWholeNumber("10.6", -10, 10), std::nullopt);
    QCOMPARE(lenientWholeNumber("-11", -10, 10), std::nullopt);
    QCOMPARE(lenientWholeNumber("1e999", -10, 10), std::nullopt);
    QVERIFY(std::isinf(::lenientNumber("1e999")));
}

QTEST_APPLESS_MAIN(TestUploadFrame)
#include "tst_uploadframe.moc"
