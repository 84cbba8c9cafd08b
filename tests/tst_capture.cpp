#include "serial/PortTable.h"
#include "storage/UploadFile.h"
#include "storage/ZipReader.h"
#include "support/Files.h"
#include "support/Instrument.h"
#include "support/Uploads.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

// The real program capturing without its window: run from a folder of its own with no display at
// all, the instrument played through a pseudo-terminal. The test sees what a script sees: the
// program's standard output and error, the files in the folder, its exit status.

namespace {

const QString kProgram = QStringLiteral(BRACKENFELD_PATH);

// Everything the program does after an action of ours is given this long; under the sanitizers
// on a loaded machine it still takes a small part of it.
constexpr int kDeadlineMs = 30000;

const QByteArray kFirst = "Depth,Temp,Note\r12.5,4.01,start\r13.0,3.98,\r";
const QByteArray kSecond = "Depth,Temp\r14.0,3.95\r";

// "2026-12-09_143501.xls", "2026-12-09_143501-2.xls"
const QRegularExpression
    kCapturedName(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_\\d{6}(-\\d+)?\\.(xls|xlsx|csv)$"));

QString receivingLine(int port, const QString &folder)
{
    return QStringLiteral("brackenfeld: receiving on COM %1 (%2), saving into %3")
        .arg(port)
        .arg(devicePathForPort(qint16(port)), folder);
}

const QString kChecksumLine =
    QStringLiteral("brackenfeld: checksum error in uploaded data; nothing "
                   "was saved: start it again on the instrument");

// "the upload that began at 14:35:01 was cut off: ..."
QString lostPattern(const QString &what)
{
    return QStringLiteral("the upload that began at \\d\\d:\\d\\d:\\d\\d was %1: start it again on "
                          "the instrument")
        .arg(QRegularExpression::escape(what));
}

// A workbook's parts but the one that holds the moment it was written.
QMap<QString, QByteArray> workbookParts(const QString &path)
{
    QMap<QString, QByteArray> parts;
    ZipReader zip(path);
    while (zip.nextEntry()) {
        QByteArray part;
        char piece[4096];
        while (const qsizetype got = zip.read(piece, sizeof piece))
            part.append(piece, got);
        if (zip.entryName() != u"docProps/core.xml")
            parts.insert(zip.entryName(), part);
    }
    return parts;
}

// Whether the captured file holds what the window's Save writes from the same upload.
bool holdsWhatSaveWrites(const QString &captured, const QByteArray &payload)
{
    QTemporaryDir folder;
    const QString saved = folder.filePath(QStringLiteral("saved.") + QFileInfo(captured).suffix());
    writeUploadFile(saved, decodedText(payload));
    if (saved.endsWith(QLatin1String(".xlsx")))
        return workbookParts(captured) == workbookParts(saved);
    return readFile(captured) == readFile(saved);
}

// The program, with what it has written to its standard output and error so far.
class CaptureProcess : public QProcess
{
public:
    QStringList outputLines() { return lines(m_output, readAllStandardOutput()); }
    QStringList errorLines() { return lines(m_error, readAllStandardError()); }

    // Until standard error holds a line that matches, or the program has ended.
    bool waitForErrorLine(const QString &pattern)
    {
        const QRegularExpression expression(pattern);
        const auto found = [&] { return !errorLines().filter(expression).isEmpty(); };
        if (QTest::qWaitFor([&] { return found() || state() == NotRunning; }, kDeadlineMs) &&
            found())
            return true;
        qWarning().noquote() << "standard error so far:" << errorLines().join(u'\n');
        return false;
    }
    bool waitForOutputLines(int count)
    {
        return QTest::qWaitFor(
            [&] { return outputLines().size() >= count || state() == NotRunning; }, kDeadlineMs);
    }

private:
    static QStringList lines(QByteArray &gathered, const QByteArray &more)
    {
        gathered += more;
        QStringList lines = QString::fromLocal8Bit(gathered).split(u'\n');
        // What follows the last line end is not a line yet.
        lines.removeLast();
        return lines;
    }

    QByteArray m_output;
    QByteArray m_error;
};

} // namespace

class TestCapture : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void savesEachVerifiedUploadUntilASignal_data();
    void savesEachVerifiedUploadUntilASignal();
    void onceSavesTheFirstUploadInTheTypeAsked_data();
    void onceSavesTheFirstUploadInTheTypeAsked();
    void waitsForAPortThatComesLater_data();
    void waitsForAPortThatComesLater();
    void endsWithStatusOneWhenTheFolderTakesNoFile_data();
    void endsWithStatusOneWhenTheFolderTakesNoFile();
    void endsWithStatusOneOnAPortThatAnotherCaptureHolds();

private:
    // Starts the program with --capture, into the row's folder unless arguments name another.
    CaptureProcess &startCapture(const QStringList &arguments);
    // Waits for the program to end by itself, and checks that it ended with this status.
    void verifyEndedWith(CaptureProcess &capture, int status);
    // Checks that standard output names a captured file for each upload, in order, each holding
    // what Save writes from it, and that nothing else is in the folder.
    void verifyCaptured(CaptureProcess &capture, const QList<QByteArray> &payloads);

    QString devicePath(const QString &name) const { return m_devices->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_program;
    // The program and the test both find the stand-in devices there.
    std::unique_ptr<DeviceFolder> m_devices;
    std::unique_ptr<QTemporaryDir> m_files;
    // The user's application data, where an upload is kept that the folder did not take.
    std::unique_ptr<QTemporaryDir> m_data;
    QString m_folder;
    std::vector<std::unique_ptr<CaptureProcess>> m_captures;
};

void TestCapture::init()
{
    m_program = std::make_unique<QTemporaryDir>();
    m_devices = std::make_unique<DeviceFolder>();
    m_files = std::make_unique<QTemporaryDir>();
    m_data = std::make_unique<QTemporaryDir>();
    // Made by the program, with the folder above it.
    m_folder = m_files->filePath(QStringLiteral("bench/uploads"));
    // The program looks for the window's settings beside itself: a copy of its own gets a
    // folder of its own.
    QVERIFY(QFile::copy(kProgram, m_program->filePath(QStringLiteral("brackenfeld"))));
}

void TestCapture::cleanup()
{
    // A program left waiting after a failure would hold its devices.
    for (const auto &capture : m_captures) {
        if (capture->state() != QProcess::NotRunning) {
            capture->kill();
            capture->waitForFinished(kDeadlineMs);
        }
    }
    m_captures.clear();
}

CaptureProcess &TestCapture::startCapture(const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // No display of any kind.
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_data->path());

    CaptureProcess *const capture =
        m_captures.emplace_back(std::make_unique<CaptureProcess>()).get();
    capture->setProgram(m_program->filePath(QStringLiteral("brackenfeld")));
    capture->setArguments(arguments.contains(QStringLiteral("--capture"))
                              ? arguments
                              : QStringList{QStringLiteral("--capture"), m_folder} + arguments);
    capture->setProcessEnvironment(environment);
    capture->setWorkingDirectory(m_files->path());
    capture->start();
    if (!capture->waitForStarted(kDeadlineMs))
        qWarning() << capture->errorString();
    return *capture;
}

void TestCapture::verifyEndedWith(CaptureProcess &capture, int status)
{
    QVERIFY(QTest::qWaitFor([&] { return capture.state() == QProcess::NotRunning; }, kDeadlineMs));
    QCOMPARE(capture.exitStatus(), QProcess::NormalExit);
    QCOMPARE(capture.exitCode(), status);
}

void TestCapture::verifyCaptured(CaptureProcess &capture, const QList<QByteArray> &payloads)
{
    const QStringList paths = capture.outputLines();
    QCOMPARE(paths.size(), payloads.size());
    QStringList names;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QFileInfo file(paths[i]);
        QCOMPARE(file.absolutePath(), m_folder);
        QVERIFY2(kCapturedName.match(file.fileName()).hasMatch(), qPrintable(file.fileName()));
        QVERIFY2(holdsWhatSaveWrites(paths[i], payloads[i]), qPrintable(paths[i]));
        names << file.fileName();
    }
    // Nothing beside them: no temporary file, no half-written one.
    names.sort();
    QCOMPARE(entriesOf(m_folder), names);
}

void TestCapture::savesEachVerifiedUploadUntilASignal_data()
{
    QTest::addColumn<int>("signal");
    // An upload that has begun to come in when the signal comes.
    QTest::addColumn<bool>("comingIn");

    QTest::newRow("SIGINT") << SIGINT << false;
    QTest::newRow("SIGTERM, an upload coming in") << SIGTERM << true;
    QTest::newRow("SIGHUP, an upload coming in") << SIGHUP << true;
}

void TestCapture::savesEachVerifiedUploadUntilASignal()
{
    QFETCH(int, signal);
    QFETCH(bool, comingIn);

    // COM 3 is the third USB serial device.
    Instrument instrument(m_devices->path(), QStringLiteral("ttyUSB2"));
    auto &capture = startCapture({QStringLiteral("--port"), QStringLiteral("3")});
    QVERIFY(capture.waitForErrorLine(QRegularExpression::escape(receivingLine(3, m_folder))));

    // Both good uploads may complete within one second: the second then takes the name -2.
    QVERIFY(instrument.write(instrumentFrame(kFirst, false)));
    QVERIFY(capture.waitForOutputLines(1));
    QVERIFY(instrument.write(instrumentFrame(kFirst, true)));
    QVERIFY(capture.waitForErrorLine(QRegularExpression::escape(kChecksumLine)));
    QVERIFY(instrument.write(instrumentFrame(kSecond, false)));
    QVERIFY(capture.waitForOutputLines(2));
    if (comingIn) {
        QVERIFY(instrument.write(instrumentFrame(kFirst, false).first(20)));
        QVERIFY(QTest::qWaitFor([&] { return instrument.delivered(); }, kDeadlineMs));
    }
    QCOMPARE(::kill(pid_t(capture.processId()), signal), 0);

    verifyEndedWith(capture, 0);
    verifyCaptured(capture, {kFirst, kSecond});
    const QStringList errors = capture.errorLines();
    QCOMPARE(errors.size(), comingIn ? 3 : 2);
    QCOMPARE(errors[1], kChecksumLine);
    if (comingIn)
        QVERIFY2(QRegularExpression(QStringLiteral("^brackenfeld: ") +
                                    lostPattern(QStringLiteral("still coming in and is lost")) +
                                    u'$')
                     .match(errors[2])
                     .hasMatch(),
                 qPrintable(errors[2]));
}

void TestCapture::onceSavesTheFirstUploadInTheTypeAsked_data()
{
    QTest::addColumn<QStringList>("arguments");
    // The port that uploader.cfg beside the program remembers; 0 for no file.
    QTest::addColumn<int>("remembered");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("suffix");

    QTest::newRow("xls by default, on the port the window remembers")
        << QStringList{} << 5 << QStringLiteral("ttyUSB4") << 5 << QStringLiteral(".xls");
    QTest::newRow("xlsx, on the port asked for")
        << QStringList{"--type", "xlsx", "--port", "9"} << 5 << QStringLiteral("ttyACM0") << 9
        << QStringLiteral(".xlsx");
    QTest::newRow("csv, on the first port that opens")
        << QStringList{"--type", "CSV"} << 0 << QStringLiteral("ttyUSB1") << 2
        << QStringLiteral(".csv");
}

void TestCapture::onceSavesTheFirstUploadInTheTypeAsked()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, remembered);
    QFETCH(QString, device);
    QFETCH(int, port);
    QFETCH(QString, suffix);

    if (remembered != 0) {
        QVERIFY(writeFile(m_program->filePath(QStringLiteral("uploader.cfg")),
                          settingsFile(remembered, m_files->path())));
    }
    Instrument instrument(m_devices->path(), device);
    auto &capture = startCapture(arguments + QStringList{QStringLiteral("--once")});
    QVERIFY(capture.waitForErrorLine(QRegularExpression::escape(receivingLine(port, m_folder))));
    QVERIFY(instrument.write(instrumentFrame(kFirst, false)));

    verifyEndedWith(capture, 0);
    verifyCaptured(capture, {kFirst});
    QVERIFY(capture.outputLines().constFirst().endsWith(suffix));
    QCOMPARE(capture.errorLines().size(), 1);
    // It reads the window's settings and writes none.
    QCOMPARE(QFileInfo::exists(m_program->filePath(QStringLiteral("uploader.cfg"))),
             remembered != 0);
}

void TestCapture::waitsForAPortThatComesLater_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("port");
    // What the program says while the port is not there; "<device>" stands for the device's path.
    QTest::addColumn<QString>("waiting");

    QTest::newRow("the port asked for") << QStringList{"--port", "5"} << QStringLiteral("ttyUSB4")
                                        << 5 << QStringLiteral("COM 5 (<device>) is not present.");
    QTest::newRow("the first port that opens") << QStringList{} << QStringLiteral("ttyUSB0") << 1
                                               << QStringLiteral("No serial port was found.");
}

void TestCapture::waitsForAPortThatComesLater()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, device);
    QFETCH(int, port);
    QFETCH(QString, waiting);

    waiting = QStringLiteral("brackenfeld: ") +
              waiting.replace(QStringLiteral("<device>"), devicePath(device)) +
              QStringLiteral(" Trying again every second.");
    auto &capture = startCapture(arguments);
    QVERIFY(capture.waitForErrorLine(QRegularExpression::escape(waiting)));

    auto instrument = std::make_unique<Instrument>(m_devices->path(), device);
    QVERIFY(capture.waitForErrorLine(QRegularExpression::escape(receivingLine(port, m_folder))));
    QVERIFY(instrument->write(instrumentFrame(kFirst, false)));
    QVERIFY(capture.waitForOutputLines(1));

    // The cable is pulled while an upload comes in, then plugged in again.
    QVERIFY(instrument->write(instrumentFrame(kSecond, false).first(10)));
    QVERIFY(QTest::qWaitFor([&] { return instrument->delivered(); }, kDeadlineMs));
    instrument->hangUp();
    const QString wentAway =
        QStringLiteral("^brackenfeld: the device of COM %1 \\(%2\\) went away; %3; waiting for it "
                       "to come back$")
            .arg(port)
            .arg(QRegularExpression::escape(devicePath(device)), lostPattern("cut off"));
    QVERIFY(capture.waitForErrorLine(wentAway));
    instrument = std::make_unique<Instrument>(m_devices->path(), device);
    QVERIFY(QTest::qWaitFor(
        [&] { return capture.errorLines().count(receivingLine(port, m_folder)) == 2; },
        kDeadlineMs));
    QVERIFY(instrument->write(instrumentFrame(kSecond, false)));
    QVERIFY(capture.waitForOutputLines(2));
    QCOMPARE(::kill(pid_t(capture.processId()), SIGTERM), 0);

    verifyEndedWith(capture, 0);
    verifyCaptured(capture, {kFirst, kSecond});
    // One line each: the wait, the port, the pull, the port again.
    const QStringList errors = capture.errorLines();
    QCOMPARE(errors.size(), 4);
    QCOMPARE(errors[0], waiting);
    QCOMPARE(errors[1], receivingLine(port, m_folder));
    QVERIFY2(QRegularExpression(wentAway).match(errors[2]).hasMatch(), qPrintable(errors[2]));
    QCOMPARE(errors[3], receivingLine(port, m_folder));
}

void TestCapture::endsWithStatusOneWhenTheFolderTakesNoFile_data()
{
    // "<file>" stands for a regular file made by the row: no folder can be made below it, not
    // even by root, and no file can be made in a process's folder in /proc.
    QTest::addColumn<QString>("folder");
    // When the folder is taken away: before the start, or after it, when an upload comes.
    QTest::addColumn<bool>("afterTheStart");
    QTest::addColumn<QString>("reason");

    QTest::newRow("below a regular file")
        << QStringLiteral("<file>/uploads") << false << QStringLiteral("Not a directory");
    QTest::newRow("in /proc") << QStringLiteral("/proc/self") << false << QString();
    QTest::newRow("replaced by a file after the start")
        << QStringLiteral("<file>") << true << QStringLiteral("Not a directory");
}

void TestCapture::endsWithStatusOneWhenTheFolderTakesNoFile()
{
    QFETCH(QString, folder);
    QFETCH(bool, afterTheStart);
    QFETCH(QString, reason);

    const QString file = m_files->filePath(QStringLiteral("file.txt"));
    QVERIFY(writeFile(file, "x"));
    folder.replace(QStringLiteral("<file>"), afterTheStart ? m_folder : file);
    Instrument instrument(m_devices->path(), QStringLiteral("ttyUSB0"));
    auto &capture =
        startCapture({QStringLiteral("--capture"), folder, QStringLiteral("--port"), "1"});
    if (afterTheStart) {
        QVERIFY(capture.waitForErrorLine(QRegularExpression::escape(receivingLine(1, folder))));
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QFile::rename(file, folder));
        QVERIFY(instrument.write(instrumentFrame(kFirst, false)));
    }

    verifyEndedWith(capture, 1);
    QCOMPARE(capture.outputLines(), QStringList());
    const QString said = capture.errorLines().value(afterTheStart ? 1 : 0);
    if (!afterTheStart) {
        QVERIFY2(
            said.startsWith(
                QStringLiteral("brackenfeld: %1 cannot take the uploads: %2").arg(folder, reason)),
            qPrintable(said));
        return;
    }
    // The upload that arrived intact is kept where the window offers it at its next start.
    const QString unsaved = m_data->filePath(QStringLiteral("Brackenfeld/unsaved"));
    QCOMPARE(said, QStringLiteral("brackenfeld: the upload could not be saved into %1: %2; it is "
                                  "kept in %3 and the window offers it at its next start")
                       .arg(folder, reason, unsaved));
    const QStringList kept = QDir(unsaved).entryList({QStringLiteral("*.xls")}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    QCOMPARE(readFile(QDir(unsaved).filePath(kept[0])), savedFile(kFirst));
}

void TestCapture::endsWithStatusOneOnAPortThatAnotherCaptureHolds()
{
    Instrument instrument(m_devices->path(), QStringLiteral("ttyUSB0"));
    auto &first = startCapture({QStringLiteral("--port"), QStringLiteral("1")});
    QVERIFY(first.waitForErrorLine(QRegularExpression::escape(receivingLine(1, m_folder))));

    auto &second = startCapture({QStringLiteral("--port"), QStringLiteral("1")});
    verifyEndedWith(second, 1);
    QCOMPARE(second.errorLines(),
             QStringList{QStringLiteral("brackenfeld: COM 1 (%1) is held by another program; "
                                        "close that program.")
                             .arg(devicePath(QStringLiteral("ttyUSB0")))});

    // The first capture goes on.
    QCOMPARE(first.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestCapture)
#include "tst_capture.moc"
