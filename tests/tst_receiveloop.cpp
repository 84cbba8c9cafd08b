#include "support/FakeTool.h"
#ifdef Q_OS_UNIX
#include "support/AnotherUser.h"
#include "support/FileSizeLimit.h"
#endif
#ifdef Q_OS_LINUX
#include "support/SmallDisk.h"
#endif

#include <QDir>
#include <QTest>

#include <optional>

namespace {

using Answer = WindowOperations::Answer;

// What keeps the folder of uploads not saved yet from taking one.
enum class Refusal
{
    FileInItsPlace,
    NoRoom,
    RoomForTheLockOnly,
    SmallFullDisk,
    ReadOnly
};

} // namespace

Q_DECLARE_METATYPE(Refusal)

class TestReceiveLoop : public QObject
{
    Q_OBJECT

private slots:
    void statusFollowsThePolls_data();
    void statusFollowsThePolls();
    void pollWithNothingWaitingChangesNothing();
    void dotsExtendAProgressLineAlreadyShown();
    void completedUploadEnablesSave();
    void charactersAfterACompletedUploadNeverReachTheSave();
    void aStartMarkInsideTheDecodedTextIsData();
    void checksumErrorDiscardsOnlyWhatFollowedTheLastUpload();
    void checksumErrorWithoutAnEarlierUploadDiscardsEverything();
    void clearDuringAnUploadDiscardsItsBeginning();
    void clearAfterAnUploadAsksBeforeItGoes_data();
    void clearAfterAnUploadAsksBeforeItGoes();
    void twoFramesInOneReadLeaveTheSecond();
    void loopWaitsOnlyWhileNothingIsWaiting();
    void lostDeviceIsReportedOnceAndRetriedQuietly_data();
    void lostDeviceIsReportedOnceAndRetriedQuietly();
    void refusedPortChoiceKeepsTheToolRunning();
    void portChoiceDropsOnlyAnUnfinishedFrame_data();
    void portChoiceDropsOnlyAnUnfinishedFrame();
    void statusBoxDropsEveryTypedCharacter();
    void newerUploadTakesAnUnsavedOnesPlaceOnlyAsked_data();
    void newerUploadTakesAnUnsavedOnesPlaceOnlyAsked();
    void burstOfDamagedFramesShowsOneMessage();
    void uploadsReceivedWhereNoneCanBeKeptAreToldOfOnce_data();
    void uploadsReceivedWhereNoneCanBeKeptAreToldOfOnce();
};

void TestReceiveLoop::statusFollowsThePolls_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QStringList>("statuses");
    // The second of two polls in a row that found a few characters of a frame lets the next ones
    // gather before polling again.
    QTest::addColumn<int>("pauses");

    QTest::newRow("one read") << QList<QByteArray>{kTable} << QStringList{kUploading, kComplete}
                              << 0;
    QTest::newRow("four reads") << QList<QByteArray>{kTable.left(3), kTable.mid(3, 4),
                                                     kTable.mid(7, 4), kTable.mid(11)}
                                << QStringList{kUploading, kUploading + ".", kUploading + "..",
                                               kUploading + "...", kComplete}
                                << 2;
    QTest::newRow("a frame's start in one large read")
        << QList<QByteArray>{"\x02" + QByteArray(300, '1')} << QStringList{kUploading} << 0;
    QTest::newRow("a short read among large ones")
        << QList<QByteArray>{"\x02" + QByteArray(300, '1'), "2", QByteArray(300, '3'), "4"}
        << QStringList{kUploading, kUploading + ".", kUploading + "..", kUploading + "..."} << 0;
    QTest::newRow("line noise") << QList<QByteArray>{"abc", "\x04\r", "12"}
                                << QStringList{kUploading, kUploading + ".", kUploading + ".."}
                                << 0;
    QTest::newRow("after a completed upload")
        << QList<QByteArray>{kAbc, "x", "y"}
        << QStringList{kUploading, kComplete, kUploading, kUploading + "."} << 0;
}

void TestReceiveLoop::statusFollowsThePolls()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QStringList, statuses);
    QFETCH(int, pauses);

    FakeTool tool;
    tool.receive(reads);
    QCOMPARE(tool.window.textHistory, statuses);
    QCOMPARE(tool.window.pauses.size(), pauses);
    QVERIFY(tool.window.boxes.isEmpty());
}

void TestReceiveLoop::pollWithNothingWaitingChangesNothing()
{
    FakeTool tool;
    tool.window.text = QStringLiteral("UPLOADING..");
    tool.main.pollPort();
    QCOMPARE(tool.window.text, QStringLiteral("UPLOADING.."));
    QVERIFY(tool.window.textHistory.isEmpty());
    QCOMPARE(tool.main.DataSaved, qint16(1));
}

void TestReceiveLoop::dotsExtendAProgressLineAlreadyShown()
{
    FakeTool tool;
    tool.window.text = QStringLiteral("UPLOADING..");
    tool.receive({"x"});
    QCOMPARE(tool.window.text, QStringLiteral("UPLOADING..."));

    tool.window.text = QStringLiteral("uploading");
    tool.receive({"x"});
    QCOMPARE(tool.window.text, kUploading);
}

void TestReceiveLoop::completedUploadEnablesSave()
{
    FakeTool tool;
    QVERIFY(!tool.window.save);
    tool.receive({kTable});
    QCOMPARE(tool.main.UploadData, kTableText);
    QVERIFY(tool.window.save);
    QCOMPARE(tool.main.DataSaved, qint16(0));
}

void TestReceiveLoop::charactersAfterACompletedUploadNeverReachTheSave()
{
    FakeTool tool;
    tool.receive({kTable, "\x02"
                          "5,6\r0"});
    QCOMPARE(tool.main.UploadData, kTableText);
    QCOMPARE(tool.main.receivedCharacters(), QByteArray("\x02"
                                                        "5,6\r0"));
    QCOMPARE(tool.window.text, kUploading);
    QVERIFY(tool.window.save);
    QCOMPARE(tool.main.DataSaved, qint16(0));
}

void TestReceiveLoop::aStartMarkInsideTheDecodedTextIsData()
{
    FakeTool tool;
    tool.receive({frame("a\x02"
                        "b",
                        "00199"),
                  "0123\x04"});
    QCOMPARE(tool.main.UploadData, QByteArray("a\x02"
                                              "b"));
    QCOMPARE(tool.window.text, kUploading);
    QVERIFY(tool.window.boxes.isEmpty());
}

void TestReceiveLoop::checksumErrorDiscardsOnlyWhatFollowedTheLastUpload()
{
    FakeTool tool;
    tool.receive({kTable, frame("abc", "00297")});
    QCOMPARE(tool.window.boxes.size(), 1);
    QCOMPARE(tool.window.boxes[0].text, kChecksumError);
    QCOMPARE(tool.window.boxes[0].buttons, WindowOperations::Buttons::Ok);
    QCOMPARE(tool.window.boxes[0].icon, WindowOperations::Icon::Critical);
    QCOMPARE(tool.window.text, QString());
    QCOMPARE(tool.main.UploadData, kTableText);
    QVERIFY(tool.main.receivedCharacters().isEmpty());
    QCOMPARE(tool.main.DataSaved, qint16(0));
    QVERIFY(tool.window.save);
}

void TestReceiveLoop::checksumErrorWithoutAnEarlierUploadDiscardsEverything()
{
    FakeTool tool;
    tool.receive({"noise" + frame("abc", "00295")});
    QCOMPARE(tool.window.boxTexts(), QStringList{kChecksumError});
    QVERIFY(tool.main.UploadData.isEmpty());
    QVERIFY(tool.main.receivedCharacters().isEmpty());
    QCOMPARE(tool.main.DataSaved, qint16(1));
    QVERIFY(!tool.window.save);

    tool.receive({kAbc});
    QCOMPARE(tool.main.UploadData, QByteArray("abc"));
}

void TestReceiveLoop::clearDuringAnUploadDiscardsItsBeginning()
{
    FakeTool tool;
    tool.receive({kTable.left(6)});
    // Nothing decoded is lost, so nothing is asked.
    tool.main.ClearButton_Click();
    QVERIFY(tool.window.boxes.isEmpty());
    tool.receive({kTable.mid(6)});
    QCOMPARE(tool.window.text, kUploading);
    QVERIFY(tool.main.UploadData.isEmpty());

    tool.receive({kAbc});
    QCOMPARE(tool.window.text, kComplete);
    QCOMPARE(tool.main.UploadData, QByteArray("abc"));
}

void TestReceiveLoop::clearAfterAnUploadAsksBeforeItGoes_data()
{
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QList<Answer>>("answers");
    // The file dialog's answer to the save that Yes starts.
    QTest::addColumn<QString>("saveAs");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<bool>("cleared");

    const QString cancel = FakeFileDialog::kCancel;
    QTest::newRow("saved: nothing asked") << true << QList<Answer>{} << QString() << 0 << true;
    QTest::newRow("no") << false << QList<Answer>{Answer::No} << QString() << 1 << true;
    QTest::newRow("yes and a save")
        << false << QList<Answer>{Answer::Yes} << QStringLiteral("abc.xls") << 1 << true;
    QTest::newRow("yes and a cancelled dialog")
        << false << QList<Answer>{Answer::Yes} << cancel << 1 << false;
    QTest::newRow("yes and a refused save")
        << false << QList<Answer>{Answer::Yes} << QStringLiteral("no such folder/abc.xls") << 2
        << false;
}

void TestReceiveLoop::clearAfterAnUploadAsksBeforeItGoes()
{
    QFETCH(bool, saved);
    QFETCH(QList<Answer>, answers);
    QFETCH(QString, saveAs);
    QFETCH(int, boxes);
    QFETCH(bool, cleared);

    FakeTool tool;
    tool.receive({kAbc});
    if (saved)
        tool.saveAs({tool.folder.filePath(QStringLiteral("earlier.xls"))});
    tool.receive({"\x02partial"});
    tool.window.answers = answers;
    tool.dialog.choices = {saveAs == FakeFileDialog::kCancel ? saveAs
                                                             : tool.folder.filePath(saveAs)};
    tool.main.ClearButton_Click();

    QCOMPARE(tool.window.boxes.size(), boxes);
    if (boxes > 0) {
        QCOMPARE(tool.window.boxes[0].text, kClearQuestion);
        QCOMPARE(tool.window.boxes[0].buttons, WindowOperations::Buttons::YesNo);
    }
    if (saveAs == QStringLiteral("abc.xls"))
        QCOMPARE(readFile(tool.folder.filePath(saveAs)), QByteArray("abc\r\n"));
    QVERIFY(tool.port.PortOpen());
    if (cleared) {
        QCOMPARE(tool.main.DataSaved, qint16(1));
        QVERIFY(tool.main.UploadData.isEmpty());
        QVERIFY(tool.main.receivedCharacters().isEmpty());
        QCOMPARE(tool.window.text, QString());
        QVERIFY(!tool.window.save);
        QVERIFY(tool.keptUploads().isEmpty());
        return;
    }
    // As it was: the upload, what followed it, and its copy on disk.
    QCOMPARE(tool.main.DataSaved, qint16(0));
    QCOMPARE(tool.main.UploadData, QByteArray("abc"));
    QCOMPARE(tool.main.receivedCharacters(), QByteArray("\x02partial"));
    QCOMPARE(tool.window.text, kUploading);
    QVERIFY(tool.window.save);
    QCOMPARE(tool.keptUploads(), QByteArrayList{"abc\r\n"});
}

void TestReceiveLoop::twoFramesInOneReadLeaveTheSecond()
{
    FakeTool tool;
    tool.receive({kAbc + "\r\n" + kTable + "\r\n"});
    // The first is offered before the second takes its place; the line ends are noise.
    QCOMPARE(tool.window.boxTexts(), QStringList{kPrevious});
    QCOMPARE(tool.main.UploadData, kTableText);
    QCOMPARE(tool.window.text, kComplete);
    QVERIFY(tool.main.receivedCharacters().isEmpty());
}

void TestReceiveLoop::loopWaitsOnlyWhileNothingIsWaiting()
{
    FakeTool tool;
    QVERIFY(tool.main.mayWaitForEvents());
    tool.port.reads << "x";
    QVERIFY(!tool.main.mayWaitForEvents());
    tool.port.setPortOpen(false);
    tool.port.reads.clear();
    QVERIFY(tool.main.mayWaitForEvents());
}

void TestReceiveLoop::lostDeviceIsReportedOnceAndRetriedQuietly_data()
{
    QTest::addColumn<QByteArray>("lastRead");
    QTest::addColumn<QByteArray>("uploadAfterLoss");
    QTest::addColumn<bool>("cutOff");

    QTest::newRow("pulled in the middle of an upload")
        << kTable.left(5) << QByteArray("abc") << true;
    QTest::newRow("pulled right after an upload") << kTable << kTableText << false;
    QTest::newRow("pulled during noise") << QByteArray("\r\n") << QByteArray("abc") << false;
}

void TestReceiveLoop::lostDeviceIsReportedOnceAndRetriedQuietly()
{
    QFETCH(QByteArray, lastRead);
    QFETCH(QByteArray, uploadAfterLoss);
    QFETCH(bool, cutOff);

    FakeTool tool;
    tool.receive({kAbc});
    // The last read is what the port kept from the device before it went away.
    tool.port.reads << lastRead;
    tool.port.pullCable();
    tool.main.pollPort();
    tool.main.pollPort();
    // An upload that completed before the loss takes the place of the unsaved one only asked.
    QCOMPARE(tool.window.boxes.size(), cutOff || lastRead != kTable ? 1 : 2);
    tool.window.boxes.removeIf([](const FakeWindow::Box &box) { return box.text == kPrevious; });
    const QStringList lines = tool.window.boxes[0].text.split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("Make sure USB cable is connected"));
    QCOMPARE(lines.value(1), QStringLiteral("The device of COM 3 went away."));
    QCOMPARE(lines.size() == 3 && lines[2].contains(QStringLiteral("cut off")), cutOff);
    QCOMPARE(tool.window.boxes[0].buttons, WindowOperations::Buttons::Ok);
    QVERIFY(tool.window.retryActive);
    QCOMPARE(tool.main.UploadData, uploadAfterLoss);
    QVERIFY(tool.window.save);

    tool.main.retryPort();
    QVERIFY(tool.window.retryActive);
    QCOMPARE(tool.window.boxes.size(), 1);

    tool.port.present << 3;
    tool.main.retryPort();
    QVERIFY(!tool.window.retryActive);
    QVERIFY(tool.port.PortOpen());
    QCOMPARE(tool.port.CommPort(), qint16(3));

    // The instrument sends the upload again from its start.
    tool.receive({kTable});
    QCOMPARE(tool.main.UploadData, kTableText);
    QCOMPARE(tool.window.text, kComplete);
    QCOMPARE(tool.window.boxes.size(), uploadAfterLoss == kTableText ? 1 : 2);
}

void TestReceiveLoop::refusedPortChoiceKeepsTheToolRunning()
{
    FakeTool tool;
    tool.receive({kAbc, "\x02"
                        "1,"});
    tool.window.entries = QStringList{QStringLiteral("COM 3"), QStringLiteral("COM 12")};
    tool.window.comboText = QStringLiteral("COM 12");
    tool.main.ComComboBox_Click();

    QCOMPARE(tool.window.boxes.size(), 1);
    QCOMPARE(tool.window.boxes[0].text.section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("Make sure USB cable is connected"));
    QVERIFY(tool.window.boxes[0].text.contains(QStringLiteral("COM 12")));
    QCOMPARE(tool.main.PortNumber, qint16(12));
    QCOMPARE(tool.port.CommPort(), qint16(12));
    QVERIFY(!tool.port.PortOpen());
    QCOMPARE(tool.main.UploadData, QByteArray("abc"));
    QVERIFY(tool.main.receivedCharacters().isEmpty());

    // Picking a port that opens ends the waiting.
    tool.window.comboText = QStringLiteral("COM 3");
    tool.main.ComComboBox_Click();
    QVERIFY(!tool.window.retryActive);
    QVERIFY(tool.port.PortOpen());
    QCOMPARE(tool.main.PortNumber, qint16(3));
}

void TestReceiveLoop::portChoiceDropsOnlyAnUnfinishedFrame_data()
{
    QTest::addColumn<QList<QByteArray>>("onTheOldPort");
    QTest::addColumn<QByteArray>("onTheNewPort");
    QTest::addColumn<QByteArray>("upload");
    // Whether the unsaved upload was offered before the new one took its place.
    QTest::addColumn<bool>("offered");

    const QByteArray begun("\x02"
                           "1,2");
    // The rest of the frame never comes; the new port's upload must not be joined to it.
    QTest::newRow("frame begun") << QList<QByteArray>{begun} << kTable << kTableText << false;
    QTest::newRow("decoded upload, then a frame begun")
        << QList<QByteArray>{kAbc, begun} << kTable << kTableText << true;
    QTest::newRow("decoded upload stays")
        << QList<QByteArray>{kAbc, begun} << QByteArray() << QByteArray("abc") << false;
}

void TestReceiveLoop::portChoiceDropsOnlyAnUnfinishedFrame()
{
    QFETCH(QList<QByteArray>, onTheOldPort);
    QFETCH(QByteArray, onTheNewPort);
    QFETCH(QByteArray, upload);
    QFETCH(bool, offered);

    FakeTool tool;
    tool.port.present << 12;
    tool.receive(onTheOldPort);
    tool.window.comboText = QStringLiteral("COM 12");
    tool.main.ComComboBox_Click();
    tool.receive({onTheNewPort});

    QCOMPARE(tool.main.UploadData, upload);
    QCOMPARE(tool.main.DataSaved, qint16(0));
    QCOMPARE(tool.window.boxTexts(), offered ? QStringList{kPrevious} : QStringList{});
}

void TestReceiveLoop::statusBoxDropsEveryTypedCharacter()
{
    FakeTool tool;
    for (qint16 key : {qint16('a'), qint16(' '), qint16(8), qint16(13), qint16(22)}) {
        qint16 code = key;
        tool.main.UploadTextBox_KeyPress(code);
        QCOMPARE(code, qint16(0));
    }
}

void TestReceiveLoop::newerUploadTakesAnUnsavedOnesPlaceOnlyAsked_data()
{
    QTest::addColumn<bool>("firstSaved");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QList<Answer>>("answers");
    // The file dialog's answers to the saves that the Yeses start.
    QTest::addColumn<QStringList>("saves");
    QTest::addColumn<int>("asked");
    QTest::addColumn<QByteArray>("savedFirst");

    const QString cancel = FakeFileDialog::kCancel;
    const QList<Answer> no{Answer::No};
    QTest::newRow("no") << false << kTable << no << QStringList{} << 1 << QByteArray();
    QTest::newRow("yes, cancel, yes")
        << false << kTable << QList<Answer>{Answer::Yes, Answer::Yes}
        << QStringList{cancel, QStringLiteral("first.xls")} << 2 << QByteArray("abc\r\n");
    QTest::newRow("an empty upload")
        << false << frame({}, "00002") << no << QStringList{} << 1 << QByteArray();
    QTest::newRow("the same upload again")
        << false << kAbc << QList<Answer>{} << QStringList{} << 0 << QByteArray();
    QTest::newRow("the first saved")
        << true << kTable << QList<Answer>{} << QStringList{} << 0 << QByteArray();
}

void TestReceiveLoop::newerUploadTakesAnUnsavedOnesPlaceOnlyAsked()
{
    QFETCH(bool, firstSaved);
    QFETCH(QByteArray, second);
    QFETCH(QList<Answer>, answers);
    QFETCH(QStringList, saves);
    QFETCH(int, asked);
    QFETCH(QByteArray, savedFirst);

    FakeTool tool;
    tool.receive({kAbc});
    if (firstSaved)
        tool.saveAs({tool.folder.filePath(QStringLiteral("earlier.xls"))});
    tool.window.answers = answers;
    tool.dialog.choices.clear();
    for (const QString &name : saves)
        tool.dialog.choices << (name == FakeFileDialog::kCancel ? name
                                                                : tool.folder.filePath(name));
    // While the question is open, both uploads are safe on disk.
    QList<QByteArrayList> keptWhileAsked;
    tool.window.onBox = [&] { keptWhileAsked << tool.keptUploads(); };
    tool.receive({second});

    const QStringList questions(asked, kPrevious);
    QCOMPARE(tool.window.boxTexts(), questions);
    for (const QByteArrayList &kept : keptWhileAsked)
        QCOMPARE(kept.size(), 2);
    QCOMPARE(readFile(tool.folder.filePath(QStringLiteral("first.xls"))),
             savedFirst.isEmpty() ? QByteArray("(missing)") : savedFirst);
    const QByteArray text = DecodeUploadFrame(second, "\x02", "\x04").text;
    QCOMPARE(tool.main.UploadData, text);
    QCOMPARE(tool.window.text, kComplete);
    QCOMPARE(tool.main.DataSaved, qint16(0));
    QCOMPARE(tool.keptUploads(), QByteArrayList{text + "\r\n"});
}

void TestReceiveLoop::burstOfDamagedFramesShowsOneMessage()
{
    FakeTool tool;
    const QByteArray damaged("\x02\x04");
    // More of them arrive while the message is open, a good upload among them.
    tool.window.onBox = [&] {
        if (tool.window.boxes.size() == 1)
            tool.port.reads << damaged.repeated(20) + kAbc + damaged.repeated(20);
    };
    tool.receive({damaged.repeated(50)});
    QCOMPARE(tool.window.boxTexts(), QStringList{kChecksumError});
    QCOMPARE(tool.main.UploadData, QByteArray("abc"));
    QCOMPARE(tool.main.DataSaved, qint16(0));

    // One that arrives after the message was dismissed has one of its own.
    tool.receive({damaged});
    QCOMPARE(tool.window.boxTexts(), QStringList(2, kChecksumError));
}

void TestReceiveLoop::uploadsReceivedWhereNoneCanBeKeptAreToldOfOnce_data()
{
    QTest::addColumn<Refusal>("refusal");
    QTest::addColumn<QByteArray>("upload");
    QTest::addColumn<QString>("reason");

    // A regular file where the folder would be: not even root can make it.
#ifdef Q_OS_WIN
    const QString notAFolder = qt_error_string(267); // ERROR_DIRECTORY
#else
    const QString notAFolder = QStringLiteral("Not a directory");
#endif
    QTest::newRow("a file in the folder's place") << Refusal::FileInItsPlace << kAbc << notAFolder;
#ifdef Q_OS_UNIX
    QTest::newRow("no room") << Refusal::NoRoom << kAbc << QStringLiteral("File too large");
    QTest::newRow("room for the lock, not the upload")
        << Refusal::RoomForTheLockOnly
        << instrumentFrame(QByteArray("1.5,2.5\r").repeated(2000), false)
        << QStringLiteral("File too large");
    QTest::newRow("read-only folder")
        << Refusal::ReadOnly << kAbc << QStringLiteral("Permission denied");
#endif
#ifdef Q_OS_LINUX
    QTest::newRow("a small full disk")
        << Refusal::SmallFullDisk << kAbc << QStringLiteral("No space left on device");
#endif
}

void TestReceiveLoop::uploadsReceivedWhereNoneCanBeKeptAreToldOfOnce()
{
    QFETCH(Refusal, refusal);
    QFETCH(QByteArray, upload);
    QFETCH(QString, reason);

    FakeTool tool;
    const QString unsaved = tool.unsavedFolder();
    if (refusal == Refusal::FileInItsPlace)
        QVERIFY(writeFile(unsaved, "x"));
    else
        QVERIFY(QDir().mkdir(unsaved));
    const QByteArray text = DecodeUploadFrame(upload, "\x02", "\x04").text;
    QStringList before;
    {
#ifdef Q_OS_LINUX
        std::optional<SmallFullDisk> disk;
        if (refusal == Refusal::SmallFullDisk) {
            disk.emplace(unsaved);
            if (!disk->active())
                QSKIP("no tmpfs can be mounted here");
        }
#endif
#ifdef Q_OS_UNIX
        std::optional<FileSizeLimit> limit;
        if (refusal == Refusal::NoRoom || refusal == Refusal::RoomForTheLockOnly)
            limit.emplace(refusal == Refusal::NoRoom ? 0 : 4096);
        QVERIFY(!limit || limit->active());
        std::optional<AnotherUser> user;
        if (refusal == Refusal::ReadOnly) {
            const QFile::Permissions readable =
                QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
            QVERIFY(QFile::setPermissions(unsaved, readable));
            QVERIFY(QFile::setPermissions(tool.folder.path(), readable | QFile::WriteOwner));
            user.emplace();
            QVERIFY(user->active());
        }
#endif
        before = entriesOf(unsaved);
        // The same upload again, as instruments are often asked to send it, is kept again.
        tool.receive({upload});
        tool.receive({upload});
        QCOMPARE(entriesOf(unsaved), before);
    }

    // Told once, with the system's reason on a line of its own; the upload stays to be saved.
    QCOMPARE(tool.window.boxes.size(), 1);
    const QString told = tool.window.boxes[0].text;
    QVERIFY2(told.startsWith(QStringLiteral("Uploads cannot be kept safe")), qPrintable(told));
    QVERIFY2(told.contains(QDir::toNativeSeparators(unsaved)), qPrintable(told));
    QVERIFY2(told.endsWith(u'\n' + reason), qPrintable(told));
    QCOMPARE(tool.main.UploadData, text);
    QCOMPARE(tool.window.text, kComplete);
    const QString saved = tool.folder.filePath(QStringLiteral("saved.xls"));
    tool.saveAs({saved});
    QCOMPARE(readFile(saved), text + "\r\n");
    QCOMPARE(tool.main.DataSaved, qint16(1));
}

QTEST_APPLESS_MAIN(TestReceiveLoop)
#include "tst_receiveloop.moc"
