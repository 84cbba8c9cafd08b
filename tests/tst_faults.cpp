#include "storage/ConfigFile.h"
#include "support/FakeTool.h"
#include "support/RealTool.h"
#include "support/WindowPump.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace {

// An instrument that pours bytes into its line from a thread of its own, as fast as the tool
// takes them: while they flow, the tool's loop never finds the line quiet.
class PouringLine
{
public:
    PouringLine(const QString &folder, const QString &name) : m_line(folder, name) {}
    ~PouringLine()
    {
        m_stop = true;
        finish();
    }
    PouringLine(const PouringLine &) = delete;
    PouringLine &operator=(const PouringLine &) = delete;

    // Starts sending the bytes once the previous ones are all sent.
    void pour(QByteArray bytes)
    {
        finish();
        m_done = false;
        m_writer = std::thread([this, bytes = std::move(bytes)] {
            QByteArrayView rest(bytes);
            while (!rest.isEmpty() && !m_stop) {
                const qsizetype sent =
                    m_line.sendSome(rest.first(std::min<qsizetype>(rest.size(), 4096)));
                if (sent < 0)
                    break;
                if (sent == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                rest = rest.sliced(sent);
                m_sent += sent;
            }
            m_done = true;
        });
    }

    // Bytes sent over all pours so far.
    qint64 sent() const { return m_sent; }
    bool done() const { return m_done; }
    // True once the port side holds nothing unread.
    bool delivered() { return m_line.delivered(); }

private:
    void finish()
    {
        if (m_writer.joinable())
            m_writer.join();
    }

    Instrument m_line;
    std::thread m_writer;
    std::atomic<qint64> m_sent{0};
    std::atomic<bool> m_done{true};
    std::atomic<bool> m_stop{false};
};

} // namespace

Q_DECLARE_METATYPE(std::optional<qint16>)
Q_DECLARE_METATYPE(std::optional<bool>)

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cablePulledDuringAnUploadKeepsWhatCameBefore_data();
    void cablePulledDuringAnUploadKeepsWhatCameBefore();
    void portHeldByAnotherProgramAtStartUp_data();
    void portHeldByAnotherProgramAtStartUp();
    void lineNoiseLeavesTheToolResponsive();
    void programFolderTakingNoFilesIsReportedAtExit_data();
    void programFolderTakingNoFilesIsReportedAtExit();
    void failedSaveKeepsTheUploadOfferedAtExit_data();
    void failedSaveKeepsTheUploadOfferedAtExit();
    void damagedSettingsFileLetsStartUpGoOn_data();
    void damagedSettingsFileLetsStartUpGoOn();

private:
    // The window after start-up, with its boxes answered and its process end recorded.
    void startTool();

    std::unique_ptr<QTemporaryDir> m_files;
    std::unique_ptr<RealTool> m_tool;
};

void TestFaults::init()
{
    m_tool = std::make_unique<RealTool>();
    m_files = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tool->devices.isValid() && m_files->isValid());
}

void TestFaults::cleanup()
{
    m_tool.reset();
    m_files.reset();
}

void TestFaults::startTool()
{
    QVERIFY(m_tool->window->start());
}

void TestFaults::cablePulledDuringAnUploadKeepsWhatCameBefore_data()
{
    QTest::addColumn<QByteArray>("beforePull");
    // Whether the tool had taken the bytes in before the pull, or gets them with the loss.
    QTest::addColumn<bool>("takenBefore");
    QTest::addColumn<QByteArray>("upload");
    QTest::addColumn<bool>("cutOff");

    QTest::newRow("an upload and the start of the next, taken before")
        << kTable + kAbc.left(3) << true << kTableText << true;
    QTest::newRow("an upload and the start of the next, handed over with the loss")
        << kTable + kAbc.left(3) << false << kTableText << true;
    QTest::newRow("the start of an upload") << kTable.left(6) << false << QByteArray() << true;
    QTest::newRow("an upload and line ends after it") << kTable + "\r\n"
                                                      << false << kTableText << false;
}

void TestFaults::cablePulledDuringAnUploadKeepsWhatCameBefore()
{
    QFETCH(QByteArray, beforePull);
    QFETCH(bool, takenBefore);
    QFETCH(QByteArray, upload);
    QFETCH(bool, cutOff);

    auto device = std::make_unique<Instrument>(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    startTool();
    QtSerialPortService &port = m_tool->window->serialPort();
    Main &main = m_tool->window->main();
    auto *save = m_tool->window->findChild<QPushButton *>(QStringLiteral("SaveButton"));

    QVERIFY(device->write(beforePull));
    if (takenBefore) {
        pumpUntil(*m_tool->window,
                  [&] { return device->delivered() && port.InBufferCount() == 0; });
    } else {
        // Held by the port, not yet polled: only what the port has taken survives a hang-up.
        QTRY_COMPARE(port.InBufferCount(), qint16(beforePull.size()));
    }
    device->hangUp();
    pumpUntil(*m_tool->window, [this] { return !m_tool->responder.boxes.isEmpty(); });

    const QStringList lines = m_tool->responder.boxes[0].text.split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), kCable);
    QVERIFY2(lines.value(1).contains(QStringLiteral("COM 1")), qPrintable(lines.join('|')));
    QCOMPARE(lines.size() == 3 && lines[2].contains(QStringLiteral("cut off")), cutOff);
    QVERIFY(!port.PortOpen());
    QCOMPARE(main.UploadData, upload);
    QCOMPARE(save->isEnabled(), !upload.isEmpty());
    QCOMPARE(main.DataSaved, qint16(upload.isEmpty() ? 1 : 0));
    if (cutOff)
        QVERIFY(main.receivedCharacters().isEmpty());

    // Plugged back in: the port reopens by itself, the upload received before is still there to
    // save, and the instrument's next upload, sent whole, decodes.
    device = std::make_unique<Instrument>(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    pumpUntil(*m_tool->window, [&] { return port.PortOpen(); });
    QCOMPARE(main.UploadData, upload);
    QCOMPARE(save->isEnabled(), !upload.isEmpty());
    // The unsaved upload is offered before the new one takes its place.
    m_tool->responder.presses = {QMessageBox::No};
    QVERIFY(device->write(kAbc));
    pumpUntil(*m_tool->window, [&] { return main.UploadData == "abc"; });
    QCOMPARE(m_tool->window->uploadText(), kComplete);
    QVERIFY(save->isEnabled());
    QCOMPARE(main.DataSaved, qint16(0));
    QCOMPARE(m_tool->responder.boxes.size(), upload.isEmpty() ? 1 : 2);
    QVERIFY(m_tool->window->endedWith.isEmpty());
}

void TestFaults::portHeldByAnotherProgramAtStartUp_data()
{
    QTest::addColumn<bool>("retry");

    QTest::newRow("the user gives up") << false;
    QTest::newRow("the user retries once the other program lets go") << true;
}

void TestFaults::portHeldByAnotherProgramAtStartUp()
{
    QFETCH(bool, retry);

    // COM 1 was the port last used; COM 3 is free but is not the one the user chose.
    Instrument com1(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    Instrument com3(m_tool->devices.path(), QStringLiteral("ttyUSB2"));
    const QString configPath = m_tool->window->configPath();
    const QByteArray settings = settingsFile(1, m_tool->window->programFolder());
    QVERIFY(writeFile(configPath, settings));
    QtSerialPortService otherProgram;
    otherProgram.setCommPort(1);
    otherProgram.setPortOpen(true);

    QStringList entriesAtTheBox;
    m_tool->window->beforeBox = [&] {
        auto *combo = m_tool->window->findChild<QComboBox *>(QStringLiteral("ComComboBox"));
        for (int i = 0; i < combo->count(); ++i)
            entriesAtTheBox << combo->itemText(i);
        if (retry)
            otherProgram.setPortOpen(false);
    };
    if (retry)
        m_tool->responder.presses = {QMessageBox::Retry};
    startTool();

    QCOMPARE(m_tool->responder.boxes.size(), 1);
    const BoxResponder::Box box = m_tool->responder.boxes[0];
    QCOMPARE(box.title, QStringLiteral("Brackenfeld"));
    QCOMPARE(box.text, kCable + QStringLiteral("\nCOM 1 (%1) is held by another program; close "
                                               "that program.")
                                    .arg(com1.linkPath()));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QMessageBox::Retry | QMessageBox::Cancel);
    // The held port is not offered, and the tool does not quietly take another one instead.
    QCOMPARE(entriesAtTheBox, QStringList{QStringLiteral("COM 3")});
    QCOMPARE(readFile(configPath), settings);

    QtSerialPortService &port = m_tool->window->serialPort();
    if (!retry) {
        QCOMPARE(m_tool->window->endedWith, QList<int>{0});
        QVERIFY(!port.PortOpen());
        QVERIFY(otherProgram.PortOpen());
        return;
    }
    QVERIFY(m_tool->window->endedWith.isEmpty());
    QVERIFY(port.PortOpen());
    QCOMPARE(port.CommPort(), qint16(1));
    QCOMPARE(m_tool->window->comPortText(), QStringLiteral("COM 1"));
    QVERIFY(com1.write(kAbc));
    pumpUntil(*m_tool->window, [this] { return m_tool->window->uploadText() == kComplete; });
    QCOMPARE(m_tool->window->main().UploadData, QByteArray("abc"));
}

void TestFaults::lineNoiseLeavesTheToolResponsive()
{
    // 20 MB of every byte value but the start mark, end marks and line ends included.
    constexpr qint64 kNoiseSize = 20 << 20;
    QByteArray noise(kNoiseSize, '\0');
    QRandomGenerator random(20);
    for (char &c : noise) {
        c = char(random.bounded(256));
        if (c == '\x02')
            c = 'x';
    }

    PouringLine device(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    // Exit asks about the unsaved upload.
    m_tool->responder.presses = {QMessageBox::No};
    startTool();
    Main &main = m_tool->window->main();
    auto *clear = m_tool->window->findChild<QPushButton *>(QStringLiteral("ClearButton"));
    auto *save = m_tool->window->findChild<QPushButton *>(QStringLiteral("SaveButton"));
    auto *exit = m_tool->window->findChild<QPushButton *>(QStringLiteral("ExitButton"));

    // What the tool showed at each step, gathered while its own loop runs and checked after.
    qint64 sentWhenClicked = -1;
    int clicks = 0;
    QString textAfterNoise;
    QByteArray uploadAfterNoise = "(not reached)";
    bool saveAfterNoise = true;
    int boxesAfterNoise = -1;
    bool timedOut = false;
    connect(clear, &QPushButton::clicked, this, [&] {
        ++clicks;
        sentWhenClicked = device.sent();
    });

    enum class Step
    {
        Noise,
        Frame,
        Exit
    } step = Step::Noise;
    const QDeadlineTimer deadline(180000);
    QTimer driver;
    driver.setInterval(10);
    connect(&driver, &QTimer::timeout, this, [&] {
        if (deadline.hasExpired() && step != Step::Exit) {
            timedOut = true;
            step = Step::Exit;
            QMetaObject::invokeMethod(exit, &QPushButton::click, Qt::QueuedConnection);
            return;
        }
        switch (step) {
        case Step::Noise:
            // A user's click while the noise pours in.
            if (clicks == 0 && sentWhenClicked < 0 && device.sent() >= kNoiseSize / 4) {
                sentWhenClicked = 0;
                QMetaObject::invokeMethod(clear, &QPushButton::click, Qt::QueuedConnection);
            }
            if (!device.done() || !device.delivered() ||
                m_tool->window->serialPort().InBufferCount())
                return;
            textAfterNoise = m_tool->window->uploadText();
            uploadAfterNoise = main.UploadData;
            saveAfterNoise = save->isEnabled();
            boxesAfterNoise = int(m_tool->responder.boxes.size());
            device.pour(kTable);
            step = Step::Frame;
            return;
        case Step::Frame:
            if (m_tool->window->uploadText() != kComplete)
                return;
            step = Step::Exit;
            QMetaObject::invokeMethod(exit, &QPushButton::click, Qt::QueuedConnection);
            return;
        case Step::Exit:
            return;
        }
    });
    driver.start();
    device.pour(noise);
    // The tool's own receive loop, until Exit ends it.
    m_tool->window->runActivated();
    driver.stop();

    QVERIFY(!timedOut);
    QCOMPARE(clicks, 1);
    QVERIFY2(sentWhenClicked >= kNoiseSize / 4 && sentWhenClicked < kNoiseSize,
             qPrintable(QString::number(sentWhenClicked)));
    QVERIFY2(textAfterNoise.startsWith(kUploading), qPrintable(textAfterNoise.left(40)));
    QCOMPARE(uploadAfterNoise, QByteArray());
    QVERIFY(!saveAfterNoise);
    QCOMPARE(boxesAfterNoise, 0);
    QCOMPARE(main.UploadData, kTableText);
    QCOMPARE(m_tool->window->uploadText(), kComplete);
    // Exit asked about the unsaved upload (answered No) and ended the tool normally.
    QCOMPARE(m_tool->responder.boxes.size(), 1);
    QCOMPARE(m_tool->responder.boxes[0].text, kQuestion);
    QCOMPARE(m_tool->window->endedWith, QList<int>{0});
}

void TestFaults::programFolderTakingNoFilesIsReportedAtExit_data()
{
    // "<file>" stands for a regular file made by the row: no folder can exist below it, and no
    // file can be made in a process's folder in /proc, not even by root.
    QTest::addColumn<QString>("program");

    QTest::newRow("below a regular file") << QStringLiteral("<file>/prog");
    QTest::newRow("in /proc") << QStringLiteral("/proc/self");
}

void TestFaults::programFolderTakingNoFilesIsReportedAtExit()
{
    QFETCH(QString, program);

    const QString file = QDir(m_files->path()).filePath(QStringLiteral("file.txt"));
    QVERIFY(writeFile(file, "x"));
    program.replace(QStringLiteral("<file>"), file);
    // The settings go to the user's configuration folder then, and it takes no file either.
    const UserConfigFolder userConfigFolder(file + QStringLiteral("/config"));
    const QString configPath = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                               QStringLiteral("/uploader.cfg");
    const QString reason = QStringLiteral("Not a directory");

    Instrument device(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    m_tool->window = std::make_unique<TestWindow>(program);
    startTool();

    // Start-up goes on without a word.
    QVERIFY(m_tool->responder.boxes.isEmpty());
    QVERIFY(m_tool->window->endedWith.isEmpty());
    QVERIFY(m_tool->window->serialPort().PortOpen());
    QVERIFY(!QFileInfo::exists(configPath));
    QVERIFY(device.write(kAbc));
    pumpUntil(*m_tool->window, [this] { return m_tool->window->uploadText() == kComplete; });

    m_tool->responder.presses = {QMessageBox::No};
    QTest::mouseClick(m_tool->window->findChild<QPushButton *>(QStringLiteral("ExitButton")),
                      Qt::LeftButton);

    QCOMPARE(m_tool->responder.boxes.size(), 2);
    QCOMPARE(m_tool->responder.boxes[0].text, kQuestion);
    const BoxResponder::Box box = m_tool->responder.boxes[1];
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY2(box.text.contains(configPath), qPrintable(box.text));
    QVERIFY2(box.text.contains(reason), qPrintable(box.text));
    // The reason follows the file's name on a line of its own.
    QVERIFY2(!box.text.section(QLatin1Char('\n'), 1).trimmed().isEmpty(), qPrintable(box.text));
    QCOMPARE(m_tool->window->endedWith, QList<int>{1});
    QCOMPARE(readFile(file), QByteArray("x"));
}

void TestFaults::failedSaveKeepsTheUploadOfferedAtExit_data()
{
    // "<folder>" stands for the row's temporary folder, where run1.xls holds the earlier upload.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");

    QTest::newRow("a device") << QStringLiteral("/dev/full")
                              << QStringLiteral("full is not a regular file but a device.");
    QTest::newRow("below the earlier file")
        << QStringLiteral("<folder>/run1.xls/run2.xls") << QStringLiteral("Not a directory");
}

void TestFaults::failedSaveKeepsTheUploadOfferedAtExit()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);

    FakeTool tool(FakeTool::Unstarted, {0, 2, 5});
    name.replace(QStringLiteral("<folder>"), tool.folder.path());
    const QString earlier = tool.folder.filePath(QStringLiteral("run1.xls"));
    tool.main.Form_Load();
    QVERIFY(tool.port.PortOpen());

    // The first upload is saved; the second is decoded, and its save fails.
    tool.port.reads << kTable;
    tool.main.pollPort();
    tool.dialog.choices = {earlier};
    tool.main.SaveButton_Click();
    QCOMPARE(readFile(earlier), kTableText + "\r\n");
    tool.port.reads << kAbc;
    tool.main.pollPort();
    QCOMPARE(tool.main.DataSaved, qint16(0));
    tool.dialog.choices = {name};
    tool.main.SaveButton_Click();

    QCOMPARE(tool.window.boxes.size(), 1);
    const FakeWindow::Box &box = tool.window.boxes[0];
    QCOMPARE(box.icon, WindowOperations::Icon::Critical);
    QVERIFY2(box.text.contains(QDir::toNativeSeparators(name)), qPrintable(box.text));
    QVERIFY2(box.text.contains(reason), qPrintable(box.text));
    QCOMPARE(tool.main.DataSaved, qint16(0));
    QVERIFY(tool.window.save);
    QCOMPARE(tool.main.UploadData, QByteArray("abc"));
    QCOMPARE(readFile(earlier), kTableText + "\r\n");
    QCOMPARE(tool.dialog.initDir, tool.folder.path());

    // Exit offers the upload again, and it can still be saved elsewhere.
    const QString elsewhere = tool.folder.filePath(QStringLiteral("run2.xls"));
    tool.window.answers = {WindowOperations::Answer::Yes};
    tool.dialog.choices = {elsewhere};
    tool.main.runProcedure([&tool] { tool.main.ExitButton_Click(); });

    QCOMPARE(tool.window.boxes.size(), 2);
    QCOMPARE(tool.window.boxes[1].text, kQuestion);
    QCOMPARE(readFile(elsewhere), QByteArray("abc\r\n"));
    QCOMPARE(readFile(earlier), kTableText + "\r\n");
    QCOMPARE(tool.window.endedWith, QList<int>{0});
}

void TestFaults::damagedSettingsFileLetsStartUpGoOn_data()
{
    QTest::addColumn<QByteArray>("content");
    // The port start-up settles on, when the row knows it, and whether the file is kept as it
    // was (read whole) or written anew.
    QTest::addColumn<std::optional<qint16>>("port");
    QTest::addColumn<std::optional<bool>>("kept");

    // Twice what start-up reads of the file.
    constexpr qsizetype kHuge = 2 << 20;
    const std::optional<bool> any;
    QTest::newRow("2 MiB line of digits")
        << QByteArray(kHuge, '7') << std::optional<qint16>(2) << std::optional<bool>(false);
    QTest::newRow("2 MiB line of letters")
        << QByteArray(kHuge, 'x') << std::optional<qint16>(2) << std::optional<bool>(false);
    QTest::newRow("2 MiB folder without a line end")
        << " 5 \r\n\"" + QByteArray(kHuge, 'x') << std::optional<qint16>(5)
        << std::optional<bool>(true);
    QTest::newRow("only CRs") << QByteArray(kHuge, '\r') << std::optional<qint16>(2)
                              << std::optional<bool>(false);
    QTest::newRow("only NULs") << QByteArray(4096, '\0') << std::optional<qint16>(2)
                               << std::optional<bool>(false);
    // Fixed seeds, so that a failure repeats.
    for (quint32 seed = 1; seed <= 4; ++seed) {
        QRandomGenerator random(seed);
        QByteArray content(64 << 10, '\0');
        for (char &c : content)
            c = char(random.bounded(256));
        QTest::addRow("random bytes, seed %u", seed) << content << std::optional<qint16>() << any;
    }
}

void TestFaults::damagedSettingsFileLetsStartUpGoOn()
{
    QFETCH(QByteArray, content);
    QFETCH(std::optional<qint16>, port);
    QFETCH(std::optional<bool>, kept);

    FakeTool tool(FakeTool::Unstarted, {0, 2, 5});
    QVERIFY(writeFile(tool.configPath(), content));
    tool.main.runProcedure([&tool] { tool.main.Form_Load(); });

    const QByteArray after = readFile(tool.configPath());
    const QByteArray rewritten = configFileBytes(tool.main.PortNumber, tool.dialog.initDir);
    QVERIFY(after == content || after == rewritten);
    if (kept)
        QCOMPARE(after == content, *kept);
    if (port)
        QCOMPARE(tool.main.PortNumber, *port);
    // Start-up ends with the port open, or with the cable prompt for a port that is not there.
    const bool present = tool.port.present.contains(tool.main.PortNumber);
    QCOMPARE(tool.port.PortOpen(), present);
    QCOMPARE(tool.window.boxes.size(), present ? 0 : 1);
    if (!present)
        QVERIFY(tool.window.boxes[0].text.startsWith(kCable + QLatin1Char('\n')));
    QCOMPARE(tool.window.endedWith, present ? QList<int>{} : QList<int>{0});
    if (!present)
        return;

    // Exit writes what start-up took, in a form that reads back the same.
    tool.main.runProcedure([&tool] { tool.main.ExitButton_Click(); });
    QCOMPARE(tool.window.endedWith, QList<int>{0});
    QVERIFY(tool.window.boxes.isEmpty());
    QCOMPARE(readFile(tool.configPath()), rewritten);
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
