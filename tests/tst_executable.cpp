#include "serial/PortTable.h"
#include "support/Files.h"
#include "support/Instrument.h"
#include "support/Uploads.h"
#include "support/XSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

// The real program, run from a folder of its own on a virtual X display and driven through the
// X server as a user would: mouse clicks at the controls' places, keys into the focused window.
// It runs as a separate process and ends itself, so the test can only watch its windows, its
// files and its exit status.

namespace {

const QString kProgram = QStringLiteral(BRACKENFELD_PATH);

// Window titles, as regular expressions for `xdotool search --name`.
const QString kMainWindow = QStringLiteral("^Corvallen Brindlow Brackenfeld  ver ") +
                            QRegularExpression::escape(QStringLiteral(BRACKENFELD_VERSION)) +
                            QLatin1Char('$');
const QString kMessageBox = QStringLiteral("^Brackenfeld$");
const QString kFileDialog = QStringLiteral("^Open$");
const QString kRecoveryDialog = QStringLiteral("^Unsaved uploads - Brackenfeld$");

// Centres of the buttons in the main window's client area; without a window manager the
// window has no frame, so these are window coordinates too.
const QPoint kSaveButton(252 + 73 / 2, 320 + 29 / 2);
const QPoint kExitButton(340 + 73 / 2, 320 + 29 / 2);

// Everything the program does after an action of ours is given this long; under the sanitizers
// on a loaded machine it still takes a small part of it.
constexpr int kDeadlineMs = XSession::kDeadlineMs;
constexpr int kCommandMs = XSession::kCommandMs;

const QByteArray kPayload = "Depth,Temp,Note\r12.5,4.01,start\r13.0,3.98,\r";
// Tabs for commas, CR LF for each CR, and one more line end after the upload.
const QByteArray kSavedFile = "Depth\tTemp\tNote\r\n12.5\t4.01\tstart\r\n13.0\t3.98\t\r\n\r\n";

} // namespace

class TestExecutable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void savesTheUploadAndRemembersPortAndFolder();
    void exitAsksAboutAnUnsavedUpload_data();
    void exitAsksAboutAnUnsavedUpload();
    void cancellingTheCablePromptEndsBeforeTheWindow_data();
    void cancellingTheCablePromptEndsBeforeTheWindow();
    void uploadLeftByAKilledProgramIsOfferedAtTheNextStart();
    void programKilledWhileSavingAWorkbookLeavesNothingBehind();
    void retryFindsTheInstrumentPluggedInMeanwhile_data();
    void retryFindsTheInstrumentPluggedInMeanwhile();
    void answersTheCommandLineWithoutADisplay_data();
    void answersTheCommandLineWithoutADisplay();

private:
    void startProgram();
    // Waits for the program to end by itself and checks that it ended well.
    void verifyEndedWithStatusZero();
    // The instrument sends one upload; returns once the upload has been decoded, proven by
    // Save opening the file dialog, whose window id it returns (empty on failure).
    QString sendUploadAndOpenSaveDialog(Instrument &instrument, const QString &mainWindow,
                                        const QByteArray &payload = kPayload);
    // Types a path into the file dialog's name field and accepts it.
    void saveAs(const QString &dialog, const QString &path);

    // Gives up early, with an empty string, once the program has ended.
    QString waitForWindow(const QString &title, int timeoutMs = kDeadlineMs);

    QString configPath() const { return m_program->filePath(QStringLiteral("uploader.cfg")); }

    XSession m_x;
    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<QTemporaryDir> m_devices;
    std::unique_ptr<QTemporaryDir> m_saves;
    std::unique_ptr<QTemporaryDir> m_runtime;
    // The user's application data, where the uploads not saved yet are kept.
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QTemporaryDir> m_temporary;
    std::unique_ptr<QProcess> m_tool;
};

void TestExecutable::initTestCase()
{
    // scripts/install-deps installs what it needs; a machine without it cannot run this test,
    // and must say so rather than pass.
    const QString started = m_x.start();
    QVERIFY2(started.isEmpty(), qPrintable(started));
}

void TestExecutable::init()
{
    m_program = std::make_unique<QTemporaryDir>();
    m_devices = std::make_unique<QTemporaryDir>();
    m_saves = std::make_unique<QTemporaryDir>();
    m_runtime = std::make_unique<QTemporaryDir>();
    m_data = std::make_unique<QTemporaryDir>();
    m_temporary = std::make_unique<QTemporaryDir>();
    // The program keeps its settings beside itself: a copy of its own gets a folder of its own.
    QVERIFY(QFile::copy(kProgram, m_program->filePath(QStringLiteral("brackenfeld"))));
}

void TestExecutable::cleanup()
{
    // A program left waiting after a failure would hold its windows and devices.
    if (m_tool && m_tool->state() != QProcess::NotRunning) {
        m_tool->kill();
        m_tool->waitForFinished(kCommandMs);
    }
    m_tool.reset();
    m_temporary.reset();
    m_data.reset();
    m_runtime.reset();
    m_saves.reset();
    m_devices.reset();
    m_program.reset();
}

void TestExecutable::startProgram()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_x.display());
    // The tests' own environment asks for the offscreen platform; this one is seen.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("BRACKENFELD_DEVICE_DIR"), m_devices->path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime->path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_data->path());
    environment.insert(QStringLiteral("TMPDIR"), m_temporary->path());

    m_tool = std::make_unique<QProcess>();
    m_tool->setProgram(m_program->filePath(QStringLiteral("brackenfeld")));
    m_tool->setProcessEnvironment(environment);
    // Started from elsewhere: the settings must still land beside the program.
    m_tool->setWorkingDirectory(m_runtime->path());
    // Sanitizer reports and Qt warnings of the program show in the test's output.
    m_tool->setProcessChannelMode(QProcess::ForwardedChannels);
    m_tool->start();
    QVERIFY2(m_tool->waitForStarted(kCommandMs), qPrintable(m_tool->errorString()));
}

void TestExecutable::verifyEndedWithStatusZero()
{
    QTRY_COMPARE_WITH_TIMEOUT(m_tool->state(), QProcess::NotRunning, kDeadlineMs);
    QCOMPARE(m_tool->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_tool->exitCode(), 0);
}

QString TestExecutable::waitForWindow(const QString &title, int timeoutMs)
{
    return m_x.waitForWindow(title, timeoutMs,
                             [this] { return m_tool->state() == QProcess::NotRunning; });
}

QString TestExecutable::sendUploadAndOpenSaveDialog(Instrument &instrument,
                                                    const QString &mainWindow,
                                                    const QByteArray &payload)
{
    if (!instrument.write(instrumentFrame(payload, false)))
        return {};
    if (!QTest::qWaitFor([&] { return instrument.delivered(); }, kDeadlineMs))
        return {};
    const QDeadlineTimer deadline(kDeadlineMs);

    // The frame has reached the program, but its window shows the decoding only in pixels. Save
    // stays disabled until an upload is decoded, and a click on it does nothing before, so the
    // click is repeated until the file dialog answers it. A click that comes while the dialog is
    // already open falls on the main window, which the modal dialog blocks.
    QString dialog;
    while (dialog.isEmpty() && !deadline.hasExpired()) {
        if (!m_x.click(mainWindow, kSaveButton))
            return {};
        dialog = waitForWindow(kFileDialog, 1000);
    }
    return dialog;
}

void TestExecutable::saveAs(const QString &dialog, const QString &path)
{
    // The dialog opens with the focus in its file name field. A full path picks the folder too,
    // and the open form accepts a file that does not exist yet.
    QVERIFY(m_x.type(dialog, path));
    QVERIFY(m_x.xdotool({"key", "Return"}));
    // The file is written beside and renamed into place: once it is there, it is whole.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path), kDeadlineMs);
    QVERIFY(m_x.waitForNoWindow(kFileDialog));
}

void TestExecutable::savesTheUploadAndRemembersPortAndFolder()
{
    // COM 3 is the third USB serial device, and the only port there is.
    Instrument instrument(m_devices->path(), QStringLiteral("ttyUSB2"));
    QElapsedTimer sinceStart;
    sinceStart.start();
    startProgram();
    const QString mainWindow = waitForWindow(kMainWindow);
    QVERIFY2(!mainWindow.isEmpty(), "the main window did not appear");
    // The second before the ports are probed runs from the program's start, whole.
    QCOMPARE_GE(sinceStart.elapsed(), 1000);

    const QString dialog = sendUploadAndOpenSaveDialog(instrument, mainWindow);
    QVERIFY2(!dialog.isEmpty(), "Save never opened the file dialog");
    const QString saved = m_saves->filePath(QStringLiteral("survey 7.xls"));
    saveAs(dialog, saved);

    // The upload is saved, so Exit asks nothing.
    QVERIFY(m_x.click(mainWindow, kExitButton));
    verifyEndedWithStatusZero();
    QVERIFY(m_x.findWindow(kMessageBox).isEmpty());

    QCOMPARE(readFile(saved), kSavedFile);
    QCOMPARE(readFile(configPath()), settingsFile(3, m_saves->path()));
}

void TestExecutable::exitAsksAboutAnUnsavedUpload_data()
{
    // How the end is asked for: the Exit button, or a signal (kill, a closed terminal, Ctrl+C).
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("upload");
    // What the user does: "y" and "n" answer the question, "cancel" and "save" the file dialog.
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("Exit, no") << 0 << true << QStringList{"n"};
    QTest::newRow("Exit, yes") << 0 << true << QStringList{"y", "save"};
    // Only No gives the upload up: a save that did not complete asks again.
    QTest::newRow("Exit, yes, cancel, yes") << 0 << true << QStringList{"y", "cancel", "y", "save"};
    QTest::newRow("SIGTERM, yes, cancel, no") << SIGTERM << true << QStringList{"y", "cancel", "n"};
    QTest::newRow("SIGHUP, yes") << SIGHUP << true << QStringList{"y", "save"};
    QTest::newRow("SIGINT, nothing unsaved") << SIGINT << false << QStringList{};
}

void TestExecutable::exitAsksAboutAnUnsavedUpload()
{
    QFETCH(int, signal);
    QFETCH(bool, upload);
    QFETCH(QStringList, steps);

    Instrument instrument(m_devices->path(), QStringLiteral("ttyUSB0"));
    startProgram();
    const QString mainWindow = waitForWindow(kMainWindow);
    QVERIFY2(!mainWindow.isEmpty(), "the main window did not appear");

    if (upload) {
        // The dialog proves the upload decoded; cancelling it leaves the upload unsaved.
        const QString dialog = sendUploadAndOpenSaveDialog(instrument, mainWindow);
        QVERIFY2(!dialog.isEmpty(), "Save never opened the file dialog");
        QVERIFY(m_x.keys(dialog, {"Escape"}));
        QVERIFY(m_x.waitForNoWindow(kFileDialog));
    }

    if (signal == 0)
        QVERIFY(m_x.click(mainWindow, kExitButton));
    else
        QCOMPARE(::kill(pid_t(m_tool->processId()), signal), 0);

    const QString saved = m_saves->filePath(QStringLiteral("asked.xls"));
    for (const QString &step : steps) {
        const bool answer = step == u"y" || step == u"n";
        const QString window = waitForWindow(answer ? kMessageBox : kFileDialog);
        QVERIFY2(!window.isEmpty(),
                 qPrintable(QStringLiteral("nothing waited for \"%1\"").arg(step)));
        if (answer)
            QVERIFY(m_x.keys(window, {step})); // the buttons' mnemonics: "&Yes", "&No"
        else if (step == u"cancel")
            QVERIFY(m_x.keys(window, {"Escape"}));
        else
            saveAs(window, saved);
        QVERIFY(m_x.waitForNoWindow(answer ? kMessageBox : kFileDialog));
    }
    verifyEndedWithStatusZero();

    const bool saves = steps.contains(QStringLiteral("save"));
    QCOMPARE(QFileInfo::exists(saved), saves);
    if (saves)
        QCOMPARE(readFile(saved), kSavedFile);
    QCOMPARE(readFile(configPath()), settingsFile(1, saves ? m_saves->path() : m_program->path()));
}

void TestExecutable::cancellingTheCablePromptEndsBeforeTheWindow_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QByteArray>("remembered");

    // No settings file yet: start-up writes one from what it found, which is no port at all.
    QTest::newRow("no port, first start") << QString() << QByteArray();
    // COM 3 opens, but the remembered COM 5 is gone.
    QTest::newRow("remembered port gone")
        << QStringLiteral("ttyUSB2") << QByteArray(" 5 \r\n\"/data/runs\"\r\n");
}

void TestExecutable::cancellingTheCablePromptEndsBeforeTheWindow()
{
    QFETCH(QString, device);
    QFETCH(QByteArray, remembered);

    std::unique_ptr<Instrument> instrument;
    if (!device.isEmpty())
        instrument = std::make_unique<Instrument>(m_devices->path(), device);
    if (!remembered.isEmpty()) {
        QVERIFY(writeFile(configPath(), remembered));
    }

    startProgram();
    const QString prompt = waitForWindow(kMessageBox);
    QVERIFY2(!prompt.isEmpty(), "the cable prompt did not appear");
    QVERIFY(m_x.findWindow(kMainWindow).isEmpty());

    // Esc is Cancel in a Retry/Cancel box.
    QVERIFY(m_x.keys(prompt, {"Escape"}));
    bool windowShown = false;
    QVERIFY(QTest::qWaitFor(
        [&] {
            windowShown = windowShown || !m_x.findWindow(kMainWindow).isEmpty();
            return m_tool->state() == QProcess::NotRunning;
        },
        kDeadlineMs));
    QVERIFY2(!windowShown, "the main window showed after Cancel");
    verifyEndedWithStatusZero();
    // Cancel writes nothing more: the file stays as start-up found or first wrote it.
    QCOMPARE(readFile(configPath()),
             remembered.isEmpty() ? settingsFile(0, m_program->path()) : remembered);
}

void TestExecutable::uploadLeftByAKilledProgramIsOfferedAtTheNextStart()
{
    Instrument instrument(m_devices->path(), QStringLiteral("ttyUSB0"));
    startProgram();
    QVERIFY2(!waitForWindow(kMainWindow).isEmpty(), "the main window did not appear");
    QVERIFY(instrument.write(instrumentFrame(kPayload, false)));
    // Kept on disk as soon as it is decoded, whole, and for the user alone.
    const QDir unsaved(m_data->filePath(QStringLiteral("Brackenfeld/unsaved")));
    const auto kept = [&] { return unsaved.entryList({QStringLiteral("*.xls")}, QDir::Files); };
    QTRY_COMPARE_WITH_TIMEOUT(kept().size(), 1, kDeadlineMs);
    const QString copy = unsaved.filePath(kept().constFirst());
    QCOMPARE(readFile(copy), kSavedFile);
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(copy).permissions() & others, QFile::Permissions());
    QCOMPARE(QFileInfo(unsaved.path()).permissions() & others, QFile::Permissions());
    m_tool->kill();
    QVERIFY(m_tool->waitForFinished(kCommandMs));

    // The next start lists it before its window shows; Save (Alt+S) saves it as Save does.
    startProgram();
    const QString offer = waitForWindow(kRecoveryDialog);
    QVERIFY2(!offer.isEmpty(), "the unsaved upload was not offered");
    QVERIFY(m_x.findWindow(kMainWindow).isEmpty());
    QVERIFY(m_x.keys(offer, {"alt+s"}));
    const QString dialog = waitForWindow(kFileDialog);
    QVERIFY2(!dialog.isEmpty(), "Save did not open the file dialog");
    const QString recovered = m_saves->filePath(QStringLiteral("recovered.xls"));
    saveAs(dialog, recovered);
    const QString mainWindow = waitForWindow(kMainWindow);
    QVERIFY2(!mainWindow.isEmpty(), "the main window did not appear after the offer");
    QCOMPARE(readFile(recovered), kSavedFile);
    QVERIFY(kept().isEmpty());
    QVERIFY(m_x.click(mainWindow, kExitButton));
    verifyEndedWithStatusZero();
}

void TestExecutable::programKilledWhileSavingAWorkbookLeavesNothingBehind()
{
    Instrument instrument(m_devices->path(), QStringLiteral("ttyUSB0"));
    startProgram();
    const QString mainWindow = waitForWindow(kMainWindow);
    QVERIFY2(!mainWindow.isEmpty(), "the main window did not appear");
    // Large enough that its workbook takes a good part of a second to make.
    const QByteArray payload = QByteArray("12.5,4.01,3.98,start\r").repeated(200000);
    const QString dialog = sendUploadAndOpenSaveDialog(instrument, mainWindow, payload);
    QVERIFY2(!dialog.isEmpty(), "Save never opened the file dialog");
    QVERIFY(m_x.type(dialog, m_saves->filePath(QStringLiteral("large.xlsx"))));
    QVERIFY(m_x.xdotool({"key", "Return"}));
    // Killed while the workbook is being made in the temporary folder.
    const QDir temporary(m_temporary->path());
    QVERIFY2(QTest::qWaitFor([&] { return !temporary.isEmpty(); }, kDeadlineMs),
             "the workbook was never begun");
    m_tool->kill();
    QVERIFY(m_tool->waitForFinished(kCommandMs));
    const QDir unsaved(m_data->filePath(QStringLiteral("Brackenfeld/unsaved")));
    QVERIFY(!temporary.isEmpty());
    QCOMPARE(unsaved.entryList({QStringLiteral("*.lock")}, QDir::Files).size(), 1);

    // The next start removes the workbook and lists the upload; Discard lets it go, with its
    // lock.
    startProgram();
    const QString offer = waitForWindow(kRecoveryDialog);
    QVERIFY2(!offer.isEmpty(), "the unsaved upload was not offered");
    QCOMPARE(entriesOf(temporary.path()), QStringList());
    QVERIFY(m_x.keys(offer, {"alt+d"}));
    const QString sure = waitForWindow(kMessageBox);
    QVERIFY2(!sure.isEmpty(), "Discard did not ask");
    QVERIFY(m_x.keys(sure, {"y"}));
    const QString next = waitForWindow(kMainWindow);
    QVERIFY2(!next.isEmpty(), "the main window did not appear after the offer");
    QCOMPARE(entriesOf(unsaved.path()), QStringList());
    QCOMPARE(entriesOf(m_saves->path()), QStringList());
    QCOMPARE(entriesOf(m_program->path()),
             (QStringList{QStringLiteral("brackenfeld"), QStringLiteral("uploader.cfg")}));
    QVERIFY(m_x.click(next, kExitButton));
    verifyEndedWithStatusZero();
}

void TestExecutable::retryFindsTheInstrumentPluggedInMeanwhile_data()
{
    QTest::addColumn<bool>("remembered");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("port");

    // The remembered COM 5 is plugged in while the prompt waits.
    QTest::newRow("remembered port") << true << QStringLiteral("ttyUSB4") << 5;
    // No port and no settings file at the first start; the instrument comes as COM 1.
    QTest::newRow("no port at first start") << false << QStringLiteral("ttyUSB0") << 1;
}

void TestExecutable::retryFindsTheInstrumentPluggedInMeanwhile()
{
    QFETCH(bool, remembered);
    QFETCH(QString, device);
    QFETCH(int, port);

    const QString folder = remembered ? m_saves->path() : m_program->path();
    if (remembered) {
        QVERIFY(writeFile(configPath(), settingsFile(port, folder)));
    }

    startProgram();
    const QString prompt = waitForWindow(kMessageBox);
    QVERIFY2(!prompt.isEmpty(), "the cable prompt did not appear");

    // Retry is the button that has the focus.
    Instrument instrument(m_devices->path(), device);
    QVERIFY(m_x.keys(prompt, {"Return"}));
    // Either the window comes, or a new prompt asks again.
    QString mainWindow;
    QString askedAgain;
    QVERIFY(QTest::qWaitFor(
        [&] {
            mainWindow = m_x.findWindow(kMainWindow);
            if (const QString box = m_x.findWindow(kMessageBox); box != prompt)
                askedAgain = box;
            return !mainWindow.isEmpty() || !askedAgain.isEmpty() ||
                   m_tool->state() == QProcess::NotRunning;
        },
        kDeadlineMs));
    QVERIFY2(askedAgain.isEmpty(), "Retry asked again although the instrument is there");
    QVERIFY2(!mainWindow.isEmpty(), "the main window did not appear after Retry");

    // Nothing was received, so Exit asks nothing.
    QVERIFY(m_x.click(mainWindow, kExitButton));
    verifyEndedWithStatusZero();
    QCOMPARE(readFile(configPath()), settingsFile(port, folder));
}

void TestExecutable::answersTheCommandLineWithoutADisplay_data()
{
    // QT_QPA_PLATFORM ("" for none), then what the program answers: its exit status (-1 for Qt's
    // abort) and the first lines of its standard output and standard error, or a part of the
    // latter where Qt writes it.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("error");

    // "<program>" stands for the program's path, known only when the row runs.
    QTest::newRow("--version") << QStringList{"--version"} << "xcb" << 0
                               << "Brackenfeld " BRACKENFELD_VERSION << "";
    QTest::newRow("--help") << QStringList{"--help"} << "xcb" << 0 << "Usage: <program> [options]"
                            << "";
    QTest::newRow("misspelt option")
        << QStringList{"--verison"} << "xcb" << 2 << ""
        << "brackenfeld: unknown option 'verison'; see brackenfeld --help";
    QTest::newRow("an argument") << QStringList{"readings.xls"} << "xcb" << 2 << ""
                                 << "brackenfeld: unexpected argument 'readings.xls'; see "
                                    "brackenfeld --help";
    QTest::newRow("Qt's option without its value")
        << QStringList{"-style"} << "xcb" << 2 << ""
        << "brackenfeld: missing value after '-style'; see brackenfeld --help";
    QTest::newRow("--capture without its folder")
        << QStringList{"--capture"} << "" << 2 << ""
        << "brackenfeld: missing value after '--capture'; see brackenfeld --help";
    QTest::newRow("--capture, unknown type")
        << QStringList{"--capture", "runs", "--type", "ods"} << "" << 2 << ""
        << "brackenfeld: unknown type 'ods': --type takes xls, xlsx or csv; see brackenfeld --help";
    const QString pastTheLastPort = QString::number(highestPortNumber() + 1);
    QTest::newRow("--capture, no such port")
        << QStringList{"--capture", "runs", "--port", pastTheLastPort} << "" << 2 << ""
        << QStringLiteral("brackenfeld: no port '%1': --port takes a number from 1 to %2; see "
                          "brackenfeld --help")
               .arg(pastTheLastPort)
               .arg(highestPortNumber());
    QTest::newRow("--once without --capture")
        << QStringList{"--once"} << "xcb" << 2 << ""
        << "brackenfeld: --once goes with --capture; see brackenfeld --help";
    const QString noDisplay = QStringLiteral(
        "brackenfeld: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is "
        "set); `make demo` runs the tool on a virtual display");
    QTest::newRow("no display") << QStringList{} << "" << 1 << "" << noDisplay;
    QTest::newRow("Qt's options, no display")
        << QStringList{"-style", "fusion", "-reverse", "--qwindowtitle", "Survey"} << "" << 1 << ""
        << noDisplay;
    // Qt's options reach Qt, which knows no such platform or display.
    QTest::newRow("-platform") << QStringList{"-platform", "nosuch"} << "" << -1 << ""
                               << "platform plugin \"nosuch\"";
    QTest::newRow("-display") << QStringList{"-display", ":nosuch"} << "" << -1 << ""
                              << "display :nosuch";
}

void TestExecutable::answersTheCommandLineWithoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, platform);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, error);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (!platform.isEmpty())
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    const QString program = m_program->filePath(QStringLiteral("brackenfeld"));
    output.replace(QStringLiteral("<program>"), program);
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(program, arguments);
    QVERIFY(tool.waitForFinished(kDeadlineMs));

    if (status < 0) {
        QCOMPARE(tool.exitStatus(), QProcess::CrashExit);
    } else {
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), status);
    }
    const auto firstLine = [](const QByteArray &text) {
        return QString::fromUtf8(text).section(QLatin1Char('\n'), 0, 0);
    };
    QCOMPARE(firstLine(tool.readAllStandardOutput()), output);
    const QString errorLine = firstLine(tool.readAllStandardError());
    if (status < 0)
        QVERIFY2(errorLine.contains(error), qPrintable(errorLine));
    else
        QCOMPARE(errorLine, error);
    // It ended before start-up, which would have written the settings.
    QVERIFY(!QFileInfo::exists(configPath()));
}

QTEST_GUILESS_MAIN(TestExecutable)
#include "tst_executable.moc"
