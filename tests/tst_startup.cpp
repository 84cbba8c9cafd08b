#include "storage/LeftBehind.h"
#include "support/FakeTool.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QTest>
#include <QTimeZone>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

using Answer = WindowOperations::Answer;
using Request = WindowOperations::RecoveryRequest;
// The ports whose device is there but refuses, and why.
using Refusals = QMap<qint16, QString>;
// Files by name, with their bytes.
using Files = QMap<QString, QByteArray>;

// An upload from an instrument whose text is Windows-1252, its first line empty.
const QByteArray kLatinText = "\r\ncaf\xE9\t5\r\n";

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstStartCreatesTheSettingsWithTheLowestPort();
    void rememberedPortIsOpenedAfterTheFirstEntry();
    void portsPastSixteenFollowTheProbedOnes();
    void unopenablePortAsksUntilCancel();
    void retryFindsTheInstrumentPluggedInMeanwhile();
    void noPortOpenedSaysWhy_data();
    void noPortOpenedSaysWhy();
    void cablePromptOffersAPortThatDiscoveryOpened();
    void listFollowsThePortsThatComeAndGo();
    void placesTheWindowAThirdDownAndCentred_data();
    void placesTheWindowAThirdDownAndCentred();
    void uploadsLeftUnsavedAreListedInOneDialog_data();
    void uploadsLeftUnsavedAreListedInOneDialog();
    void whatRunsThatEndedLeftGoesAtTheNextStart();
};

void TestStartup::firstStartCreatesTheSettingsWithTheLowestPort()
{
    FakeTool tool(FakeTool::Unstarted, {3, 5});
    tool.main.Form_Load();

    QCOMPARE(tool.port.pauses, 1);
    QCOMPARE(tool.window.windowCaption,
             QStringLiteral("Corvallen Brindlow Brackenfeld  ver " BRACKENFELD_VERSION));
    QCOMPARE(tool.window.entries, (QStringList{QStringLiteral("COM 3"), QStringLiteral("COM 5")}));
    QCOMPARE(tool.window.toolTips.first(), QStringLiteral("/dev/fake3"));
    QCOMPARE(tool.config(), settingsFile(3, native(tool.folder.path())));
    QCOMPARE(tool.main.ConfigPath, native(tool.configPath()));
    QCOMPARE(tool.dialog.initDir, native(tool.folder.path()));
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
    FakeTool tool(FakeTool::Unstarted, {3, 5});
    const QByteArray settings = " 5 \r\n\"/data/runs\"\r\n";
    QVERIFY(writeFile(tool.configPath(), settings));
    // The user's own copy, named as a temporary file of the settings might be.
    const QString copy = tool.configPath() + QStringLiteral(".backup");
    QVERIFY(writeFile(copy, settings));
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
    QVERIFY(QFileInfo::exists(copy));
}

void TestStartup::portsPastSixteenFollowTheProbedOnes()
{
    // Windows gives each new serial adapter the next free number, past COM 16.
    FakeTool tool(FakeTool::Unstarted, {3, 17, 40});
    tool.main.Form_Load();
    QCOMPARE(tool.window.entries, (QStringList{"COM 3", "COM 17", "COM 40"}));

    tool.window.comboText = QStringLiteral("COM 40");
    tool.main.ComComboBox_Click();
    QCOMPARE(tool.main.PortNumber, qint16(40));
    QVERIFY(tool.port.PortOpen());
    QCOMPARE(tool.port.CommPort(), qint16(40));
}

void TestStartup::unopenablePortAsksUntilCancel()
{
    FakeTool tool(FakeTool::Unstarted, {3});
    QVERIFY(writeFile(tool.configPath(), " 7 \r\n\"/data\"\r\n"));
    tool.window.answers = {Answer::Retry, Answer::Cancel};
    tool.main.Form_Load();

    // The second line says why: here, what the port refused the open with.
    const QString why = kCable + QStringLiteral("\nCOM 7: no such device");
    QCOMPARE(tool.window.boxTexts(), (QStringList{why, why}));
    QCOMPARE(tool.window.boxes[0].buttons, WindowOperations::Buttons::RetryCancel);
    QCOMPARE(tool.window.boxes[0].icon, WindowOperations::Icon::None);
    // The port that opened is a way on; only Cancel ends the program.
    QCOMPARE(tool.window.boxes[0].other, QStringLiteral("&Use COM 3"));
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
    FakeTool tool(FakeTool::Unstarted, {3});
    QVERIFY(writeFile(tool.configPath(), " 7 \r\n\"/data\"\r\n"));
    tool.window.answers = {Answer::Retry};
    tool.window.onBox = [&tool] { tool.port.present << 7; };
    tool.main.Form_Load();

    QCOMPARE(tool.window.boxTexts(),
             QStringList{kCable + QStringLiteral("\nCOM 7: no such device")});
    QCOMPARE(tool.window.entries, (QStringList{QStringLiteral("COM 3"), QStringLiteral("COM 7")}));
    QVERIFY(tool.port.PortOpen());
    QCOMPARE(tool.port.CommPort(), qint16(7));
    QVERIFY(tool.window.endedWith.isEmpty());
}

void TestStartup::noPortOpenedSaysWhy_data()
{
    QTest::addColumn<Refusals>("refusing");
    QTest::addColumn<QString>("why");

    const QString denied = QStringLiteral("COM 2 (/dev/ttyUSB1): permission denied.");
    const QString held = QStringLiteral("COM 9 (/dev/ttyACM0) is held by another program.");
    QTest::newRow("no device at all") << Refusals{} << QStringLiteral("No serial port was found.");
    QTest::newRow("a device that refuses the user") << Refusals{{2, denied}} << denied;
    QTest::newRow("the first of two") << Refusals{{9, held}, {2, denied}} << denied;
    QTest::newRow("a device held by another program") << Refusals{{9, held}} << held;
}

void TestStartup::noPortOpenedSaysWhy()
{
    QFETCH(Refusals, refusing);
    QFETCH(QString, why);

    FakeTool tool(FakeTool::Unstarted, {});
    tool.port.refusing = refusing;
    tool.window.answers = {Answer::Retry, Answer::Cancel};
    tool.main.Form_Load();

    QVERIFY(tool.window.entries.isEmpty());
    QCOMPARE(tool.window.selected, -1);
    QCOMPARE(tool.main.PortNumber, qint16(0));
    QCOMPARE(tool.window.comboText, QStringLiteral("COM 0"));
    QCOMPARE(tool.window.boxTexts(), QStringList(2, kCable + QLatin1Char('\n') + why));
    QCOMPARE(tool.window.boxes[0].other, QString());
    QCOMPARE(tool.window.endedWith, QList<int>{0});
    // Cancel writes nothing more: the file stays as the first load created it.
    QCOMPARE(tool.config(), settingsFile(0, native(tool.folder.path())));
}

void TestStartup::cablePromptOffersAPortThatDiscoveryOpened()
{
    // The instrument came back on COM 5, as with another USB socket; COM 3 is another device.
    FakeTool tool(FakeTool::Unstarted, {3, 5});
    QVERIFY(writeFile(tool.configPath(), " 7 \r\n\"/data\"\r\n"));
    tool.window.answers = {Answer::Other};
    tool.main.Form_Load();

    QCOMPARE(tool.window.boxes.size(), 1);
    QCOMPARE(tool.window.boxes[0].text, kCable + QStringLiteral("\nCOM 7: no such device"));
    QCOMPARE(tool.window.boxes[0].other, QStringLiteral("&Use COM 3"));
    // As though COM 3 had been picked in the list.
    QCOMPARE(tool.window.selected, 0);
    QCOMPARE(tool.window.comboText, QStringLiteral("COM 3"));
    QCOMPARE(tool.main.PortNumber, qint16(3));
    QVERIFY(tool.port.PortOpen());
    QCOMPARE(tool.port.CommPort(), qint16(3));
    tool.main.ExitButton_Click();
    QCOMPARE(tool.config(), QByteArray(" 3 \r\n\"/data\"\r\n"));
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

    FakeTool tool(FakeTool::Unstarted, {1});
    tool.window.screenSize = screen;
    tool.window.outerSize = window;
    tool.main.Form_Load();
    QCOMPARE(tool.window.left, left);
    QCOMPARE(tool.window.top, top);
}

void TestStartup::uploadsLeftUnsavedAreListedInOneDialog_data()
{
    QTest::addColumn<QList<Request>>("requests");
    QTest::addColumn<QList<Answer>>("answers");
    // The file dialog's answers to Save.
    QTest::addColumn<QStringList>("saves");
    // What the requests dealt with, and the first line of each box before the cable prompt.
    QTest::addColumn<QList<QList<int>>>("dealtWith");
    QTest::addColumn<QStringList>("boxes");
    // The files in the folder, by name: <A> is "upload-" and the time the first arrived, <C>
    // the third's; and the uploads still kept.
    QTest::addColumn<Files>("files");
    QTest::addColumn<int>("kept");

    const QByteArray c = "\xEF\xBB\xBF\r\ncaf\xC3\xA9,5\r\n";
    QTest::newRow("later") << QList<Request>{} << QList<Answer>{} << QStringList{}
                           << QList<QList<int>>{} << QStringList{} << Files{} << 3;
    // The first two arrived in the same second: the second's name is numbered.
    QTest::newRow("save all as .xls")
        << QList<Request>{{Request::SaveAll, {0, 1, 2}, {}, ".xls"}} << QList<Answer>{}
        << QStringList{} << QList<QList<int>>{{0, 1, 2}} << QStringList{}
        << Files{{"<A>.xls", kTableText + "\r\n"},
                 {"<A>-2.xls", "abc\r\n"},
                 {"<C>.xls", kLatinText + "\r\n"}}
        << 0;
    QTest::newRow("save the checked as .csv, then later")
        << QList<Request>{{Request::SaveAll, {0, 2}, {}, ".csv"}} << QList<Answer>{}
        << QStringList{} << QList<QList<int>>{{0, 2}} << QStringList{}
        << Files{{"<A>.csv", "1,2\r\n3,4\r\n"}, {"<C>.csv", c}} << 1;
    QTest::newRow("save one: cancelled, then saved")
        << QList<Request>{{Request::Save, {1}, {}, {}}, {Request::Save, {1}, {}, {}}}
        << QList<Answer>{} << QStringList{FakeFileDialog::kCancel, "abc.xls"}
        << QList<QList<int>>{{}, {1}} << QStringList{} << Files{{"abc.xls", "abc\r\n"}} << 2;
    QTest::newRow("discard two: no, then yes")
        << QList<Request>{{Request::Discard, {0, 2}, {}, {}}, {Request::Discard, {0, 2}, {}, {}}}
        << QList<Answer>{Answer::No, Answer::Yes} << QStringList{} << QList<QList<int>>{{}, {0, 2}}
        << QStringList(2, "Do you want to discard 2 uploads that were never saved? They cannot "
                          "be brought back.")
        << Files{} << 1;
    QTest::newRow("save all into a folder that is not there")
        << QList<Request>{{Request::SaveAll, {0, 1}, "missing", ".xls"}} << QList<Answer>{}
        << QStringList{} << QList<QList<int>>{{}}
        << QStringList{"The upload received on <A time> could not be saved in <runs>/missing:"}
        << Files{} << 3;
}

void TestStartup::uploadsLeftUnsavedAreListedInOneDialog()
{
    QFETCH(QList<Request>, requests);
    QFETCH(QList<Answer>, answers);
    QFETCH(QStringList, saves);
    QFETCH(QList<QList<int>>, dealtWith);
    QFETCH(QStringList, boxes);
    QFETCH(Files, files);
    QFETCH(int, kept);

    FakeTool tool(FakeTool::Unstarted, {});
    QTemporaryDir runs;
    QVERIFY(writeFile(tool.configPath(), settingsFile(3, runs.path())));
    // Three that ended programs left, named as the program names them, and one that a program
    // still running holds.
    const QStringList stamps{"20261209-154912-120", "20261209-154912-870", "20261210-080005-000"};
    const QList<QByteArray> uploads{kTableText, "abc", kLatinText};
    QVERIFY(QDir().mkpath(tool.unsavedFolder()));
    for (int i = 0; i < 3; ++i)
        QVERIFY(writeFile(QDir(tool.unsavedFolder()).filePath(stamps[i] + "-1.xls"),
                          uploads[i] + "\r\n"));
    const KeptUpload held = UnsavedUploads(tool.unsavedFolder()).keep("held");
    const auto received = [&](int i) {
        const QDateTime utc =
            QDateTime::fromString(stamps[i], QStringLiteral("yyyyMMdd-HHmmss-zzz"));
        return QDateTime(utc.date(), utc.time(), QTimeZone::utc()).toLocalTime();
    };
    const auto resolved = [&](QString text) {
        const QString stem = QStringLiteral("yyyy-MM-dd_HHmmss");
        return text.replace("<A>", "upload-" + received(0).toString(stem))
            .replace("<C>", "upload-" + received(2).toString(stem))
            .replace("<A time>", received(0).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
            .replace("<runs>/", native(runs.path() + u'/'))
            .replace("<runs>", native(runs.path()));
    };
    for (Request &request : requests)
        request.folder = request.folder.isEmpty() ? runs.path() : runs.filePath(request.folder);
    tool.window.requests = requests;
    tool.window.answers = answers;
    for (const QString &name : saves)
        tool.dialog.choices << (name == FakeFileDialog::kCancel ? name : runs.filePath(name));
    // The dialog comes before the cable prompt, so that no instrument need be there.
    QList<int> shownBeforeBox;
    tool.window.onBox = [&] { shownBeforeBox << tool.window.recoveryShowings; };
    tool.main.Form_Load();

    QCOMPARE(tool.window.recoveryShowings, 1);
    QCOMPARE(shownBeforeBox.value(0), 1);
    QStringList rows;
    for (const WindowOperations::KeptUploadRow &row : tool.window.recoveryRows)
        rows << QStringLiteral("%1 | %2 | %3 | %4")
                    .arg(row.received.toString(Qt::ISODateWithMs))
                    .arg(row.lines)
                    .arg(row.bytes)
                    .arg(row.firstLine);
    // Oldest first; the first line that holds anything, as the instrument sent it.
    QCOMPARE(rows, (QStringList{received(0).toString(Qt::ISODateWithMs) + " | 2 | 10 | 1,2",
                                received(1).toString(Qt::ISODateWithMs) + " | 1 | 3 | abc",
                                received(2).toString(Qt::ISODateWithMs) +
                                    QStringLiteral(" | 2 | 10 | café,5")}));
    QCOMPARE(tool.window.recoveryFolder, runs.path());
    QCOMPARE(tool.window.dealtWith, dealtWith);

    QStringList shownBoxes;
    for (const QString &text : tool.window.boxTexts())
        shownBoxes << text.section(u'\n', 0, 0);
    for (QString &text : boxes)
        text = resolved(text);
    QCOMPARE(shownBoxes, boxes + QStringList{kCable});
    // A stray Enter does not discard.
    if (!answers.isEmpty())
        QCOMPARE(tool.window.boxes[0].buttons, WindowOperations::Buttons::YesNoDefaultNo);
    Files written;
    for (const QString &name : QDir(runs.path()).entryList(QDir::Files | QDir::Hidden))
        written[name] = readFile(runs.filePath(name));
    Files expected;
    for (auto file = files.cbegin(); file != files.cend(); ++file)
        expected[resolved(file.key())] = file.value();
    QCOMPARE(written, expected);
    // The rest stay for the next start; this program holds them no more.
    QCOMPARE(int(UnsavedUploads(tool.unsavedFolder()).leftBehind().size()), kept);
    // A save moves the dialog to its folder, as Save does.
    const bool saved = !files.isEmpty();
    QCOMPARE(tool.dialog.initDir, saved ? native(runs.path()) : runs.path());

#ifdef Q_OS_UNIX
    // The folder and what it holds are the user's alone.
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(tool.unsavedFolder()).permissions() & others, QFile::Permissions());
    QStringList heldFiles = QDir(tool.unsavedFolder()).entryList({QStringLiteral("*.xls")});
    heldFiles.removeIf([&](const QString &name) { return stamps.contains(name.left(19)); });
    QCOMPARE(heldFiles.size(), 1);
    const QString heldFile = QDir(tool.unsavedFolder()).filePath(heldFiles.first());
    QCOMPARE(QFileInfo(heldFile).permissions() & others, QFile::Permissions());
#endif
}

void TestStartup::listFollowsThePortsThatComeAndGo()
{
    FakeTool tool(FakeTool::Unstarted, {3, 5});
    tool.main.Form_Load();
    tool.port.log.clear();

    tool.port.present += {1, 12};
    tool.port.refusing = {{9, QStringLiteral("denied")}};
    tool.port.present.remove(5);
    tool.main.updateComPortList();
    tool.main.updateComPortList();
    QCOMPARE(tool.window.entries, (QStringList{"COM 1", "COM 3", "COM 12"}));
    QCOMPARE(tool.window.comboText, QStringLiteral("COM 3"));
    // Each device that came is tried once, on a handle of its own; the open port is left alone.
    QCOMPARE(tool.port.log, (QStringList{"probe 1", "probe 9", "probe 12"}));
    QVERIFY(tool.port.PortOpen());

    // The open port's device goes: it stays listed while the tool waits for it.
    tool.port.pullCable();
    tool.port.present.remove(12);
    tool.main.updateComPortList();
    QCOMPARE(tool.window.entries, (QStringList{"COM 1", "COM 3"}));
    // One that comes back is tried again.
    tool.port.present << 12;
    tool.main.updateComPortList();
    QCOMPARE(tool.port.log.count(QStringLiteral("probe 12")), 2);
}

void TestStartup::whatRunsThatEndedLeftGoesAtTheNextStart()
{
    FakeTool tool(FakeTool::Unstarted);
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const TemporaryFolderAt temporaryFolder(temporary.path());
    const QDir unsaved(tool.unsavedFolder());
    QVERIFY(unsaved.mkpath(QStringLiteral(".")));
    const auto in = [](const QString &folder, const char *name) {
        return QDir(folder).filePath(QLatin1String(name));
    };
    // The lock of a program that has ended: no process has that number.
    const QByteArray ended("2147483646\nbrackenfeld\n\n");

    const QString kept = unsaved.path();
    const KeptUpload held = UnsavedUploads(kept).keep("held");
    const QStringList heldNames = entriesOf(kept);

    // Uploads that runs which ended kept: their locks name the ended program, nothing at all, or
    // something that is no program; one was put there by hand, with neither date nor lock.
    const QList<std::pair<const char *, QByteArray>> uploads = {
        {"20261207-140322-123-1.xls", ended},
        {"20261207-140322-123-2.xls", ""},
        {"20261207-140322-123-3.xls", "no program\n"}};
    for (const auto &[name, lock] : uploads) {
        QVERIFY(writeFile(in(kept, name), "1\t2\r\n\r\n"));
        QVERIFY(writeFile(in(kept, name) + QStringLiteral(".lock"), lock));
    }
    QVERIFY(writeFile(in(kept, "notes.xls"), "a\r\nb\r\n\r\n"));
    const QDateTime written(QDate(2026, 11, 2), QTime(9, 15));
    {
        QFile notes(in(kept, "notes.xls"));
        QVERIFY(notes.open(QIODevice::ReadWrite));
        QVERIFY(notes.setFileTime(written, QFileDevice::FileModificationTime));
    }
    // What such runs left on the way: a lock without its upload, a temporary file with its lock
    // beside the uploads and beside the settings, and a workbook being made, with its lock or from
    // before there were any.
    QVERIFY(writeFile(in(kept, "20261207-140322-123-4.xls.lock"), ended));
    QVERIFY(writeFile(in(kept, "20261207-140322-123-5.xls.AbCd3f"), "1\t"));
    QVERIFY(writeFile(in(kept, "20261207-140322-123-5.xls.lock"), ended));
    QVERIFY(writeFile(tool.configPath() + QStringLiteral(".backup"), " 3 \r\n"));
    {
        // The user's own copy, from before that run.
        QFile copy(tool.configPath() + QStringLiteral(".backup"));
        QVERIFY(copy.open(QIODevice::ReadWrite));
        QVERIFY(copy.setFileTime(written, QFileDevice::FileModificationTime));
    }
    QVERIFY(writeFile(tool.configPath() + QStringLiteral(".lock"), ended));
    QVERIFY(writeFile(tool.configPath() + QStringLiteral(".Xy12Zw"), " 3 \r"));
    QVERIFY(writeFile(in(temporary.path(), "brackenfeld-abc123.xlsx"), "PK"));
    QVERIFY(writeFile(in(temporary.path(), "brackenfeld-abc123.xlsx.lock"), ended));
    QVERIFY(writeFile(in(temporary.path(), "brackenfeld-def456.xlsx"), "PK"));

    // Named pipes where an upload and a lock would be, which reading would wait on for ever: the
    // first stays, the second is no program's lock.
    QStringList strange;
    qsizetype dated = uploads.size();
#ifdef Q_OS_UNIX
    strange << QStringLiteral("20261207-140322-123-7.xls");
    QCOMPARE(::mkfifo(QFile::encodeName(in(kept, "20261207-140322-123-7.xls")).constData(), 0600),
             0);
    QVERIFY(writeFile(in(kept, "20261207-140322-123-8.xls"), "1\r\n\r\n"));
    QCOMPARE(
        ::mkfifo(QFile::encodeName(in(kept, "20261207-140322-123-8.xls.lock")).constData(), 0600),
        0);
    ++dated;
#endif

    // A copy that still runs: its kept upload, the temporary file of its next one, its workbook.
    QLockFile next(in(kept, "20261207-140322-123-6.xls.lock"));
    QVERIFY(next.tryLock(0));
    QVERIFY(writeFile(in(kept, "20261207-140322-123-6.xls.QwErTy"), "1\t"));
    const TemporaryFile workbook(temporary.path(), QStringLiteral(".xlsx"));
    const QStringList temporaryNames{QFileInfo(workbook.fileName()).fileName(),
                                     QFileInfo(workbook.fileName()).fileName() + ".lock"};
    // All of them are discarded.
    QList<int> all;
    for (int row = 0; row <= dated; ++row)
        all << row;
    tool.window.requests = {{Request::Discard, all, {}, {}}};
    tool.window.answers = {Answer::Yes};
    tool.main.Form_Load();

    // Each upload is listed, as received when its name says, or when it was written, oldest
    // first.
    QStringList rows;
    for (const WindowOperations::KeptUploadRow &row : tool.window.recoveryRows)
        rows << row.received.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
                    QString::number(row.lines);
    const QString named = QDateTime(QDate(2026, 12, 7), QTime(14, 3, 22), QTimeZone::utc())
                              .toLocalTime()
                              .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "));
    QStringList expected{QStringLiteral("2026-11-02 09:15:00 2")};
    expected << QStringList(dated, named + u'1');
    QCOMPARE(rows, expected);
    QCOMPARE(tool.window.dealtWith, QList<QList<int>>{all});
    // Only the running copy's files are left.
    QStringList left = heldNames;
    left << QStringLiteral("20261207-140322-123-6.xls.QwErTy")
         << QStringLiteral("20261207-140322-123-6.xls.lock") << strange;
    left.sort(Qt::CaseInsensitive);
    QCOMPARE(entriesOf(kept), left);
    QCOMPARE(entriesOf(tool.folder.path()),
             (QStringList{QStringLiteral("unsaved"), QStringLiteral("uploader.cfg"),
                          QStringLiteral("uploader.cfg.backup")}));
    QCOMPARE(entriesOf(temporary.path()), temporaryNames);
}

QTEST_APPLESS_MAIN(TestStartup)
#include "tst_startup.moc"
