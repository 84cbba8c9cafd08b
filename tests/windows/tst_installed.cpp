#include "storage/UploadFile.h"
#include "support/Files.h"
#include "support/Instrument.h"
#include "support/Uploads.h"
#include "support/Workbook.h"
#include "support/XSession.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The Windows installer and the program it installs, under Wine on a virtual X display, as a
// Windows user meets them: a silent install, an instrument on COM 1 (a pseudo-terminal that Wine
// maps to it), uploads saved through the file dialog, the settings in the user's own folder, a
// pulled cable, the end of the Windows session, and the uninstaller. The program runs as a
// separate process, so the test can only watch its windows, its files and its exit status.

namespace {

const QString kInstaller = QStringLiteral(BRACKENFELD_INSTALLER);
const QString kModemLines = QStringLiteral(BRACKENFELD_MODEM_LINES);

const QString kMainWindow =
    QStringLiteral("^Corvallen Brindlow Brackenfeld  ver " BRACKENFELD_VERSION "$");
const QString kMessageBox = QStringLiteral("^Brackenfeld$");
const QString kFileDialog = QStringLiteral("^Open$");

// Without a window manager Wine's windows have no frame: these are window coordinates.
const QPoint kSaveButton(252 + 73 / 2, 320 + 29 / 2);
const QPoint kExitButton(340 + 73 / 2, 320 + 29 / 2);
// A place in a message box or the file dialog that is no button: a click there gives Wine's
// window the keyboard, which it does not take from the X server alone.
const QPoint kNoButton(8, 8);
// The file dialog's name field, from its bottom edge.
constexpr int kNameFieldFromBottom = 52;

// Setting up Wine in a new folder and installing take longer than a window's reply.
constexpr int kWineMs = 300000;

const QByteArray kPayload = "Depth,Temp,Note\r12.5,4.01,start\r13.0,3.98,\r";
const QByteArray kSavedFile = "Depth\tTemp\tNote\r\n12.5\t4.01\tstart\r\n13.0\t3.98\t\r\n\r\n";

// The Windows name of a file here: Wine's drive Z: is the root folder.
QString windowsPath(const QString &path)
{
    return QStringLiteral("Z:") + QString(path).replace(u'/', u'\\');
}

// The subsystem field of a program's PE header: 2 a program with windows, 3 one for a console.
int peSubsystem(const QString &program)
{
    const QByteArray image = readFile(program);
    if (image.size() < 0x40)
        return -1;
    const auto number = [&](qsizetype at, int size) {
        qint64 value = 0;
        for (int i = size - 1; i >= 0 && at + i < image.size(); --i)
            value = (value << 8) | quint8(image[at + i]);
        return value;
    };
    // The PE signature, the file header (20 bytes), then the optional header, which holds the
    // subsystem 68 bytes in.
    const qsizetype header = number(0x3c, 4);
    if (image.mid(header, 4) != QByteArray("PE\0\0", 4))
        return -1;
    return int(number(header + 4 + 20 + 68, 2));
}

} // namespace

class TestInstalled : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void installsSilentlyAsAProgramWithAWindow();
    void answersTheCommandLineOnItsOutput();
    void savesAnUploadAndKeepsTheSettingsInTheUsersFolder_data();
    void savesAnUploadAndKeepsTheSettingsInTheUsersFolder();
    void pulledCableIsToldOnceAndThePortPickedUpAgain();
    void endOfTheWindowsSessionAsksAboutAnUnsavedUpload();
    void uninstallerRemovesTheProgramsFolder();

private:
    // Runs a Windows program to its end; true when it ended with status 0.
    bool runWine(const QStringList &arguments);
    bool startWineServer();
    void startProgram();
    void verifyEndedWithStatusZero();
    QString waitForMainWindow();
    // Keys into a window, once a click has given it the keyboard.
    bool keys(const QString &window, const QStringList &keys);
    // The instrument sends one upload; returns once Save opens the file dialog, which proves it
    // decoded, with the dialog's window (empty on failure).
    QString sendUploadAndOpenSaveDialog(const QString &mainWindow);
    void saveAs(const QString &dialog, const QString &path);

    QString programFolder() const
    {
        return m_prefix->filePath(QStringLiteral("drive_c/Program Files/Brackenfeld"));
    }
    QString userFolder() const
    {
        return m_prefix->filePath(
            QStringLiteral("drive_c/users/%1/AppData/Local/Brackenfeld").arg(m_user));
    }

    XSession m_x;
    QProcessEnvironment m_environment;
    std::unique_ptr<QTemporaryDir> m_prefix;
    QString m_user;
    QTemporaryDir m_devices;
    QTemporaryDir m_saves;
    std::unique_ptr<Instrument> m_instrument;
    QProcess m_wineServer;
    std::unique_ptr<QProcess> m_tool;
};

void TestInstalled::initTestCase()
{
    QVERIFY2(QFileInfo(kInstaller).isFile(), qPrintable(kInstaller + " is missing"));
    const QString started = m_x.start();
    QVERIFY2(started.isEmpty(), qPrintable(started));

    m_prefix = std::make_unique<QTemporaryDir>();
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("WINEPREFIX"), m_prefix->path());
    m_environment.insert(QStringLiteral("DISPLAY"), m_x.display());
    m_environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    // No offers to fetch .NET or a browser engine, which nothing here needs.
    m_environment.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
    m_environment.insert(QStringLiteral("LD_PRELOAD"), kModemLines);
    m_user = m_environment.value(QStringLiteral("USER"), QStringLiteral("root"));
    QVERIFY(startWineServer());
    QVERIFY2(runWine({"wineboot", "--init"}), "Wine could not set up its folder");

    // COM 1 is the instrument's device; Wine reads its ports when its server starts.
    m_instrument = std::make_unique<Instrument>(m_devices.path(), QStringLiteral("com1"));
    QVERIFY(runWine({"reg", "add", "HKLM\\Software\\Wine\\Ports", "/v", "COM1", "/d",
                     m_instrument->linkPath(), "/f"}));
    QVERIFY(runWine({"wineserver", "-k"}));
    m_wineServer.waitForFinished(XSession::kCommandMs);
    QVERIFY(startWineServer());

    QVERIFY2(runWine({kInstaller, "/S"}), "the installer failed");
}

void TestInstalled::cleanupTestCase()
{
    m_tool.reset();
    runWine({"wineserver", "-k"});
    m_wineServer.waitForFinished(XSession::kCommandMs);
}

void TestInstalled::cleanup()
{
    // What the screen showed, in the test's folder, for whoever reads why it failed.
    if (QTest::currentTestFailed())
        m_x.screenshot(
            QStringLiteral("%1.png").arg(QString::fromLatin1(QTest::currentTestFunction())));
    // A program left waiting after a failure would hold its windows and the device.
    if (m_tool && m_tool->state() != QProcess::NotRunning) {
        m_tool->kill();
        m_tool->waitForFinished(XSession::kCommandMs);
    }
    m_tool.reset();
}

bool TestInstalled::runWine(const QStringList &arguments)
{
    QProcess wine;
    wine.setProcessEnvironment(m_environment);
    wine.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    wine.setStandardOutputFile(QProcess::nullDevice());
    const bool server = arguments.constFirst() == u"wineserver";
    wine.start(server ? QStringLiteral("wineserver") : QStringLiteral("wine"),
               server ? arguments.mid(1) : arguments);
    if (!wine.waitForFinished(kWineMs)) {
        wine.kill();
        wine.waitForFinished(XSession::kCommandMs);
        qWarning() << "wine" << arguments << "did not finish";
        return false;
    }
    return wine.exitStatus() == QProcess::NormalExit && wine.exitCode() == 0;
}

bool TestInstalled::startWineServer()
{
    // In the foreground, as the test's child: a server that went into the background would take
    // the first terminal that a program opens, COM 1's, as its own, and closing the line would
    // not be a hang-up.
    m_wineServer.setProcessEnvironment(m_environment);
    m_wineServer.start(QStringLiteral("wineserver"), {"--persistent", "--foreground"});
    return m_wineServer.waitForStarted(XSession::kCommandMs);
}

void TestInstalled::startProgram()
{
    m_tool = std::make_unique<QProcess>();
    m_tool->setProcessEnvironment(m_environment);
    m_tool->setProcessChannelMode(QProcess::ForwardedChannels);
    m_tool->start(QStringLiteral("wine"),
                  {QStringLiteral("C:\\Program Files\\Brackenfeld\\brackenfeld.exe")});
    QVERIFY2(m_tool->waitForStarted(XSession::kCommandMs), qPrintable(m_tool->errorString()));
}

void TestInstalled::verifyEndedWithStatusZero()
{
    QTRY_COMPARE_WITH_TIMEOUT(m_tool->state(), QProcess::NotRunning, XSession::kDeadlineMs);
    QCOMPARE(m_tool->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_tool->exitCode(), 0);
}

QString TestInstalled::waitForMainWindow()
{
    return m_x.waitForWindow(kMainWindow, kWineMs,
                             [this] { return m_tool->state() == QProcess::NotRunning; });
}

bool TestInstalled::keys(const QString &window, const QStringList &keys)
{
    return m_x.click(window, kNoButton) && m_x.xdotool(QStringList{"key"} + keys);
}

QString TestInstalled::sendUploadAndOpenSaveDialog(const QString &mainWindow)
{
    if (!m_instrument->write(instrumentFrame(kPayload, false)))
        return {};
    if (!QTest::qWaitFor([&] { return m_instrument->delivered(); }, XSession::kDeadlineMs))
        return {};
    // Save stays disabled until the upload is decoded, and a click on it does nothing before,
    // so the click is repeated until the file dialog answers it.
    const QDeadlineTimer deadline(XSession::kDeadlineMs);
    QString dialog;
    while (dialog.isEmpty() && !deadline.hasExpired()) {
        if (!m_x.click(mainWindow, kSaveButton))
            return {};
        dialog = m_x.waitForWindow(kFileDialog, 1000);
    }
    return dialog;
}

void TestInstalled::saveAs(const QString &dialog, const QString &path)
{
    const QSize size = m_x.windowSize(dialog);
    QVERIFY(m_x.click(dialog, QPoint(size.width() / 2, size.height() - kNameFieldFromBottom)));
    QVERIFY(m_x.xdotool({"type", "--delay", "20", windowsPath(path)}));
    QVERIFY(m_x.xdotool({"key", "Return"}));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path), XSession::kDeadlineMs);
    QVERIFY(m_x.waitForNoWindow(kFileDialog));
}

void TestInstalled::installsSilentlyAsAProgramWithAWindow()
{
    const QString program = programFolder() + QStringLiteral("/brackenfeld.exe");
    QVERIFY2(QFileInfo(program).isFile(), qPrintable(program + " was not installed"));
    // A program with a window: Windows opens no console beside it, whose closing would end it.
    QCOMPARE(peSubsystem(program), 2);
    for (const char *part : {"Qt6Core.dll", "Qt6Widgets.dll", "Qt6SerialPort.dll",
                             "platforms/qwindows.dll", "libstdc++-6.dll", "Uninstall.exe"})
        QVERIFY2(QFileInfo::exists(programFolder() + u'/' + QLatin1String(part)), part);
    QStringList shortcuts;
    QDirIterator menus(m_prefix->filePath(QStringLiteral("drive_c")), {"Brackenfeld.lnk"},
                       QDir::Files, QDirIterator::Subdirectories);
    while (menus.hasNext())
        shortcuts << menus.next();
    QVERIFY2(std::any_of(shortcuts.begin(), shortcuts.end(),
                         [](const QString &path) { return path.contains(u"Start Menu"); }),
             qPrintable(shortcuts.join(u' ')));
}

void TestInstalled::answersTheCommandLineOnItsOutput()
{
    // A program with a window has no console; a script reads its answer all the same, and no
    // box waits for a click.
    QProcess version;
    version.setProcessEnvironment(m_environment);
    version.start(QStringLiteral("wine"),
                  {QStringLiteral("C:\\Program Files\\Brackenfeld\\brackenfeld.exe"),
                   QStringLiteral("--version")});
    QVERIFY(version.waitForFinished(kWineMs));
    QCOMPARE(version.exitCode(), 0);
    QCOMPARE(version.readAllStandardOutput().trimmed(),
             QByteArray("Brackenfeld " BRACKENFELD_VERSION));
}

void TestInstalled::savesAnUploadAndKeepsTheSettingsInTheUsersFolder_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("as received") << QStringLiteral("survey 7.xls");
    // A name of its own: under Wine the dialog's completion of "survey 7.xls", which the row
    // before saved, takes the keys typed after it.
    QTest::newRow("workbook") << QStringLiteral("workbook 7.xlsx");
}

void TestInstalled::savesAnUploadAndKeepsTheSettingsInTheUsersFolder()
{
    QFETCH(QString, name);

    startProgram();
    const QString mainWindow = waitForMainWindow();
    QVERIFY2(!mainWindow.isEmpty(), "the main window did not appear");
    const QString dialog = sendUploadAndOpenSaveDialog(mainWindow);
    QVERIFY2(!dialog.isEmpty(), "Save never opened the file dialog");
    const QString saved = m_saves.filePath(name);
    saveAs(dialog, saved);
    if (QTest::currentTestFailed())
        return;
    // Saved, so Exit asks nothing.
    QVERIFY(m_x.click(mainWindow, kExitButton));
    verifyEndedWithStatusZero();

    if (name.endsWith(QLatin1String(".xlsx"))) {
        // A workbook holds the time it was made: its cells are compared with those of the same
        // upload saved here.
        const QString expected = m_saves.filePath(QStringLiteral("expected.xlsx"));
        writeUploadFile(expected, kSavedFile.chopped(2));
        QCOMPARE(cellsOf(saved), cellsOf(expected));
    } else {
        QCOMPARE(readFile(saved), kSavedFile);
    }
    // The program's folder is the system's: the settings are the user's own.
    QVERIFY(!QFileInfo::exists(programFolder() + QStringLiteral("/uploader.cfg")));
    QCOMPARE(readFile(userFolder() + QStringLiteral("/uploader.cfg")),
             settingsFile(1, windowsPath(m_saves.path())));
}

void TestInstalled::pulledCableIsToldOnceAndThePortPickedUpAgain()
{
    startProgram();
    const QString mainWindow = waitForMainWindow();
    QVERIFY2(!mainWindow.isEmpty(), "the main window did not appear");

    m_instrument->hangUp();
    const QString told = m_x.waitForWindow(kMessageBox);
    QVERIFY2(!told.isEmpty(), "the pulled cable was not told");
    QVERIFY(keys(told, {"Return"}));
    QVERIFY(m_x.waitForNoWindow(kMessageBox));

    // Plugged in again: the port is picked up without a word, and the next upload arrives.
    m_instrument = std::make_unique<Instrument>(m_devices.path(), QStringLiteral("com1"));
    QVERIFY(m_instrument->awaitReceiver());
    QVERIFY(m_x.findWindow(kMessageBox).isEmpty());
    const QString dialog = sendUploadAndOpenSaveDialog(mainWindow);
    QVERIFY2(!dialog.isEmpty(), "the upload after the cable came back was not received");
    saveAs(dialog, m_saves.filePath(QStringLiteral("after the cable.xls")));
    QCOMPARE(readFile(m_saves.filePath(QStringLiteral("after the cable.xls"))), kSavedFile);
    QVERIFY(m_x.click(mainWindow, kExitButton));
    verifyEndedWithStatusZero();
}

void TestInstalled::endOfTheWindowsSessionAsksAboutAnUnsavedUpload()
{
    startProgram();
    const QString mainWindow = waitForMainWindow();
    QVERIFY2(!mainWindow.isEmpty(), "the main window did not appear");
    const QString dialog = sendUploadAndOpenSaveDialog(mainWindow);
    QVERIFY2(!dialog.isEmpty(), "Save never opened the file dialog");
    QVERIFY(keys(dialog, {"Escape"}));
    QVERIFY(m_x.waitForNoWindow(kFileDialog));

    // Logging off: Windows asks every program whether the session may end.
    QProcess endSession;
    endSession.setProcessEnvironment(m_environment);
    endSession.start(QStringLiteral("wine"), {"wineboot", "--end-session"});
    const QString question = m_x.waitForWindow(kMessageBox);
    QVERIFY2(!question.isEmpty(), "the end of the session did not ask about the upload");
    QVERIFY(keys(question, {"n"}));
    verifyEndedWithStatusZero();
    QTRY_COMPARE_WITH_TIMEOUT(endSession.state(), QProcess::NotRunning, kWineMs);
}

void TestInstalled::uninstallerRemovesTheProgramsFolder()
{
    QVERIFY(runWine({programFolder() + QStringLiteral("/Uninstall.exe"), "/S"}));
    // The uninstaller goes on from a copy of itself, after the one started has ended.
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(programFolder()), XSession::kDeadlineMs);
}

QTEST_GUILESS_MAIN(TestInstalled)
#include "tst_installed.moc"
