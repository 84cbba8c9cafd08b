#include "serial/PortTable.h"
#include "storage/ConfigFile.h"
#include "support/FakeTool.h"
#ifdef Q_OS_UNIX
#include "support/AnotherUser.h"
#include "support/FileSizeLimit.h"
#endif

#include <QRandomGenerator>
#include <QTest>

#include <optional>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

using Port = std::optional<qint16>;
using Folder = std::optional<QString>;

// Readable forms for comparisons, so that a failure shows both values.
QString shown(const Port &port)
{
    return port ? QString::number(*port) : QStringLiteral("(none)");
}
QString shown(const Folder &folder)
{
    return folder ? QLatin1Char('"') + *folder + QLatin1Char('"') : QStringLiteral("(none)");
}

// "/data/Müller/Ørsted"
const QString kNonAscii = QStringLiteral(u"/data/M\u00fcller/\u00d8rsted");
// The file keeps text in the system's 8-bit code page: UTF-8 here, Windows-1252 on a Western
// Windows.
#ifdef Q_OS_WIN
const QByteArray kNonAsciiBytes("/data/M\xfcller/\xd8rsted");
#else
const QByteArray kNonAsciiBytes("/data/M\xc3\xbcller/\xc3\x98rsted");
#endif

} // namespace

Q_DECLARE_METATYPE(Port)
Q_DECLARE_METATYPE(Folder)
Q_DECLARE_METATYPE(std::optional<QByteArray>)

class TestConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void writesTwoLines_data();
    void writesTwoLines();
    void readsBackWhatItWrites_data();
    void readsBackWhatItWrites();
    void readsFields_data();
    void readsFields();
    void survivesRandomBytes_data();
    void survivesRandomBytes();
    void startUpLoadsOrRewritesTheFile_data();
    void startUpLoadsOrRewritesTheFile();
    void programFolderTakingNoFileLeavesTheSettingsToTheUser_data();
    void programFolderTakingNoFileLeavesTheSettingsToTheUser();
    void settingsThatAreNoRegularFileLetStartUpGoOn_data();
    void settingsThatAreNoRegularFileLetStartUpGoOn();
    void exitWritesTheSettings();
    void failedWriteAtExitKeepsTheEarlierSettings();
};

void TestConfigFile::writesTwoLines_data()
{
    QTest::addColumn<qint16>("port");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("drive folder") << qint16(3) << QStringLiteral("C:\\Data")
                                  << QByteArray::fromHex("2033200D0A22433A5C44617461220D0A");
    QTest::newRow("unix folder") << qint16(3) << QStringLiteral("/data/runs")
                                 << QByteArray(" 3 \r\n\"/data/runs\"\r\n");
    QTest::newRow("two digits") << qint16(12) << QStringLiteral("/d")
                                << QByteArray(" 12 \r\n\"/d\"\r\n");
    QTest::newRow("no port") << qint16(0) << QStringLiteral("/d")
                             << QByteArray(" 0 \r\n\"/d\"\r\n");
    QTest::newRow("negative") << qint16(-5) << QStringLiteral("/d")
                              << QByteArray("-5 \r\n\"/d\"\r\n");
    QTest::newRow("lowest") << qint16(-32768) << QStringLiteral("/d")
                            << QByteArray("-32768 \r\n\"/d\"\r\n");
    QTest::newRow("highest") << qint16(32767) << QStringLiteral("/d")
                             << QByteArray(" 32767 \r\n\"/d\"\r\n");
    QTest::newRow("empty folder") << qint16(3) << QString() << QByteArray(" 3 \r\n\"\"\r\n");
    QTest::newRow("commas and spaces") << qint16(3) << QStringLiteral("/my runs, 2024/a b")
                                       << QByteArray(" 3 \r\n\"/my runs, 2024/a b\"\r\n");
    QTest::newRow("non-ASCII, in the system's code page")
        << qint16(3) << kNonAscii << QByteArray(" 3 \r\n\"" + kNonAsciiBytes + "\"\r\n");
}

void TestConfigFile::writesTwoLines()
{
    QFETCH(qint16, port);
    QFETCH(QString, folder);
    QFETCH(QByteArray, bytes);

    QCOMPARE(configFileBytes(port, folder), bytes);
}

void TestConfigFile::readsBackWhatItWrites_data()
{
    QTest::addColumn<qint16>("port");
    QTest::addColumn<QString>("folder");

    QTest::newRow("drive folder") << qint16(3) << QStringLiteral("C:\\Data");
    QTest::newRow("lowest port") << qint16(-32768) << QStringLiteral("/data/runs");
    QTest::newRow("highest port") << qint16(32767) << QStringLiteral("/data/runs");
    QTest::newRow("no port, empty folder") << qint16(0) << QString();
    QTest::newRow("commas and spaces") << qint16(12) << QStringLiteral("/my runs, 2024/a b");
    QTest::newRow("blanks around the folder") << qint16(7) << QStringLiteral(" /x\t ");
    QTest::newRow("non-ASCII") << qint16(4) << kNonAscii;
}

void TestConfigFile::readsBackWhatItWrites()
{
    QFETCH(qint16, port);
    QFETCH(QString, folder);

    const ConfigFields fields = readConfigFields(configFileBytes(port, folder));
    QCOMPARE(shown(fields.portNumber), shown(Port(port)));
    QCOMPARE(shown(fields.folder), shown(Folder(folder)));
}

void TestConfigFile::readsFields_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Port>("port");
    QTest::addColumn<Folder>("folder");

    const Folder x = QStringLiteral("/x");

    QTest::newRow("empty file") << QByteArray() << Port() << Folder();
    QTest::newRow("only line ends and blanks") << QByteArray("\r\n \t\r\n") << Port() << Folder();
    QTest::newRow("only CRs") << QByteArray(50, '\r') << Port() << Folder();
    QTest::newRow("only line 1") << QByteArray(" 3 \r\n") << Port(3) << Folder();
    QTest::newRow("only line 1, no line end") << QByteArray(" 3 ") << Port(3) << Folder();
    QTest::newRow("letters on line 1") << QByteArray("COM\r\n\"/x\"\r\n") << Port(0) << x;
    QTest::newRow("beyond the range") << QByteArray(" 40000 \r\n\"/x\"\r\n") << Port() << Folder();
    QTest::newRow("beyond the range, exponent")
        << QByteArray(" 1e9 \r\n\"/x\"\r\n") << Port() << Folder();
    QTest::newRow("just above") << QByteArray(" 32768 \r\n\"/x\"\r\n") << Port() << Folder();
    QTest::newRow("just below") << QByteArray("-32769 \r\n\"/x\"\r\n") << Port() << Folder();
    QTest::newRow("highest") << QByteArray(" 32767 \r\n\"/x\"\r\n") << Port(32767) << x;
    QTest::newRow("lowest") << QByteArray("-32768 \r\n\"/x\"\r\n") << Port(-32768) << x;
    QTest::newRow("unquoted folder")
        << QByteArray(" 3 \r\n/data/runs\r\n") << Port(3) << Folder(QStringLiteral("/data/runs"));
    QTest::newRow("unquoted folder up to a comma")
        << QByteArray(" 3 \r\n/my runs, more\r\n") << Port(3) << Folder(QStringLiteral("/my runs"));
    QTest::newRow("unquoted folder without trailing blanks")
        << QByteArray(" 3 \r\n/a b \t \r\n") << Port(3) << Folder(QStringLiteral("/a b"));
    QTest::newRow("two quotes") << QByteArray(" 3 \r\n\"\"\r\n") << Port(3) << Folder(QString());
    QTest::newRow("quoted commas and spaces")
        << QByteArray(" 3 \r\n\"/my runs, 2024\"\r\n") << Port(3)
        << Folder(QStringLiteral("/my runs, 2024"));
    QTest::newRow("non-ASCII") << QByteArray(" 3 \r\n\"" + kNonAsciiBytes + "\"\r\n") << Port(3)
                               << Folder(kNonAscii);
    QTest::newRow("lone CRs") << QByteArray(" 3 \r\"/x\"\r") << Port(3) << x;
    QTest::newRow("lone LFs") << QByteArray(" 3 \n\"/x\"\n") << Port(3) << x;
    QTest::newRow("tabs") << QByteArray("\t3\t\r\n\t\"/x\"\r\n") << Port(3) << x;
    QTest::newRow("fraction rounds up") << QByteArray("3.7\r\n\"/x\"\r\n") << Port(4) << x;
    QTest::newRow("half goes to even") << QByteArray("2.5\r\n\"/x\"\r\n") << Port(2) << x;
    QTest::newRow("digits then letters") << QByteArray("12abc\r\n\"/x\"\r\n") << Port(12) << x;
    QTest::newRow("blank lines first")
        << QByteArray("\r\n\n  \r\n 3 \r\n\"/x\"\r\n") << Port(3) << x;
    QTest::newRow("no closing quote") << QByteArray(" 3 \r\n\"/x\r\nmore\r\n") << Port(3) << x;
    QTest::newRow("no closing quote at the end") << QByteArray(" 3 \r\n\"/x") << Port(3) << x;
    QTest::newRow("comma after the number") << QByteArray("3,\"/x\"") << Port(3) << x;
    QTest::newRow("nothing after the folder line") << QByteArray(" 3 \r\n\"/x\"") << Port(3) << x;
    // A NUL ends no field: it is read as any other character without a meaning here.
    QTest::newRow("only NULs") << QByteArray(16, '\0') << Port(0) << Folder();
    QTest::newRow("NULs after the number")
        << QByteArrayLiteral(" 3\0\0\r\n\"/x\"\r\n") << Port(3) << x;
    QTest::newRow("NUL in the quoted folder")
        << QByteArrayLiteral(" 3 \r\n\"/a\0b\"\r\n") << Port(3)
        << Folder(QString::fromLatin1(QByteArrayLiteral("/a\0b")));
    QTest::newRow("NUL in an unquoted folder")
        << QByteArrayLiteral(" 3 \r\n/a\0b\r\n") << Port(3)
        << Folder(QString::fromLatin1(QByteArrayLiteral("/a\0b")));

    // Huge content is read as small content is, however far the first field reaches.
    constexpr qsizetype kHuge = 1 << 20;
    const QString hugeFolder(kHuge, QLatin1Char('x'));
    QTest::newRow("huge: digits") << QByteArray(kHuge, '7') << Port() << Folder();
    QTest::newRow("huge: letters") << QByteArray(kHuge, 'x') << Port(0) << Folder();
    QTest::newRow("huge: blanks") << QByteArray(kHuge, ' ') << Port() << Folder();
    QTest::newRow("huge: CRs") << QByteArray(kHuge, '\r') << Port() << Folder();
    QTest::newRow("huge: unquoted folder")
        << " 3 \r\n" + QByteArray(kHuge, 'x') << Port(3) << Folder(hugeFolder);
    QTest::newRow("huge: quoted folder, not closed")
        << " 3 \r\n\"" + QByteArray(kHuge, 'x') << Port(3) << Folder(hugeFolder);
}

void TestConfigFile::readsFields()
{
    QFETCH(QByteArray, content);
    QFETCH(Port, port);
    QFETCH(Folder, folder);

    const ConfigFields fields = readConfigFields(content);
    QCOMPARE(shown(fields.portNumber), shown(port));
    QCOMPARE(shown(fields.folder), shown(folder));
}

void TestConfigFile::survivesRandomBytes_data()
{
    QTest::addColumn<QByteArray>("content");

    // Fixed seeds: any failure repeats. Half of the rows draw only from the characters that
    // steer the reader, so that they get past the number into the folder.
    const QByteArray steering("0123456789 \t\r\n\",.-+eE&Hx/");
    for (quint32 seed = 1; seed <= 40; ++seed) {
        QRandomGenerator random(seed);
        QByteArray content(1 + random.bounded(2000), '\0');
        for (char &c : content)
            c = seed % 2 ? char(random.bounded(256)) : steering[random.bounded(steering.size())];
        QTest::addRow("seed %u", seed) << content;
    }
}

void TestConfigFile::survivesRandomBytes()
{
    QFETCH(QByteArray, content);

    const ConfigFields fields = readConfigFields(content);
    QVERIFY(!fields.folder || fields.portNumber);
    if (fields.folder) {
        QVERIFY(!fields.folder->contains(QLatin1Char('\r')));
        QVERIFY(!fields.folder->contains(QLatin1Char('\n')));
    }
    // Whatever was read is read the same way again.
    const ConfigFields again = readConfigFields(content);
    QCOMPARE(shown(again.portNumber), shown(fields.portNumber));
    QCOMPARE(shown(again.folder), shown(fields.folder));
}

void TestConfigFile::startUpLoadsOrRewritesTheFile_data()
{
    // "<program>" stands for the program folder, known only when the row runs.
    QTest::addColumn<std::optional<QByteArray>>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<qint16>("port");
    QTest::addColumn<QString>("initDir");

    const QString program = QStringLiteral("<program>");
    QTest::newRow("no file") << std::optional<QByteArray>()
                             << QByteArray(" 2 \r\n\"<program>\"\r\n") << qint16(2) << program;
    QTest::newRow("one readable line")
        << std::optional<QByteArray>(" 5 \r\n") << QByteArray(" 5 \r\n\"<program>\"\r\n")
        << qint16(5) << program;
    QTest::newRow("number beyond the range")
        << std::optional<QByteArray>(" 40000 \r\n\"/data/runs\"\r\n")
        << QByteArray(" 2 \r\n\"<program>\"\r\n") << qint16(2) << program;
    // Read as port 0 with a folder: the file is complete and stays as the user wrote it, and
    // port 0, which never opens, leaves the port that discovery found.
    QTest::newRow("letters on line 1")
        << std::optional<QByteArray>("COM\r\n\"/data/runs\"\r\n")
        << QByteArray("COM\r\n\"/data/runs\"\r\n") << qint16(2) << QStringLiteral("/data/runs");
    QTest::newRow("port 0, written when no port was found")
        << std::optional<QByteArray>(" 0 \r\n\"/data/runs\"\r\n")
        << QByteArray(" 0 \r\n\"/data/runs\"\r\n") << qint16(2) << QStringLiteral("/data/runs");
    // No port can have these numbers: waiting for one to open would never end.
    // COM 17 on Linux; Windows has ports up to COM 256.
    const QByteArray pastTheLast =
        " " + QByteArray::number(highestPortNumber() + 1) + " \r\n\"/data/runs\"\r\n";
    QTest::newRow("past the system's last port")
        << std::optional<QByteArray>(pastTheLast) << pastTheLast << qint16(2)
        << QStringLiteral("/data/runs");
    QTest::newRow("port -3") << std::optional<QByteArray>("-3 \r\n\"/data/runs\"\r\n")
                             << QByteArray("-3 \r\n\"/data/runs\"\r\n") << qint16(2)
                             << QStringLiteral("/data/runs");
}

void TestConfigFile::startUpLoadsOrRewritesTheFile()
{
    QFETCH(std::optional<QByteArray>, before);
    QFETCH(QByteArray, after);
    QFETCH(qint16, port);
    QFETCH(QString, initDir);

    // Discovery finds COM 2 and COM 5; port 0 opens too, which discovery never probes but a
    // settings file may name.
    FakeTool tool(FakeTool::Unstarted, {0, 2, 5});
    const QString program = tool.folder.path();
    if (before)
        QVERIFY(writeFile(tool.configPath(), *before));
    after.replace("<program>", QFile::encodeName(native(program)));
    initDir.replace(QStringLiteral("<program>"), native(program));
    tool.main.Form_Load();

    QCOMPARE(tool.config(), after);
    QCOMPARE(tool.main.ConfigPath, native(tool.configPath()));
    QCOMPARE(tool.main.PortNumber, port);
    QCOMPARE(tool.dialog.initDir, initDir);
    QCOMPARE(tool.window.comboText, QStringLiteral("COM %1").arg(port));
    QCOMPARE(tool.port.CommPort(), port);
    QVERIFY(tool.port.PortOpen());
    QVERIFY(tool.window.boxes.isEmpty());
    QVERIFY(tool.window.endedWith.isEmpty());
}

void TestConfigFile::programFolderTakingNoFileLeavesTheSettingsToTheUser_data()
{
    // Why the user's folder takes no file either; empty where it does.
    QTest::addColumn<QString>("reason");
    // Empty: a folder that cannot be written.
    QTest::addColumn<QString>("programFolder");

    QTest::newRow("in the user's folder") << QString() << QString();
    QTest::newRow("nowhere") << QStringLiteral("Not a directory") << QString();
#ifdef Q_OS_UNIX
    QTest::newRow("nowhere, the user's folder read-only")
        << QStringLiteral("Permission denied") << QString();
#endif
    // Root could write there, but an installed program writes nothing beside itself.
    QTest::newRow("installed in the system's folder") << QString() << QStringLiteral("/usr/bin");
}

void TestConfigFile::programFolderTakingNoFileLeavesTheSettingsToTheUser()
{
    QFETCH(QString, reason);
    QFETCH(QString, programFolder);
#ifndef Q_OS_UNIX
    QSKIP("the user's folders are moved for a test through XDG_CONFIG_HOME, which Unix reads");
#endif

    // A folder below a regular file cannot exist, so nothing can be written there, not even
    // by root, whom a read-only folder would not stop.
    FakeTool tool(FakeTool::Unstarted, {2, 5});
    const QString file = tool.folder.filePath(QStringLiteral("file.txt"));
    QVERIFY(writeFile(file, "x"));
    tool.window.folder = programFolder.isEmpty() ? file + QStringLiteral("/prog") : programFolder;
    // The user's ~/.config, with the program named as it names itself; its Brackenfeld folder
    // is made with the file.
    QCoreApplication::setApplicationName(QStringLiteral("Brackenfeld"));
    const bool userFolderWritable = reason.isEmpty();
    const QString userConfig =
        (reason == u"Not a directory" ? file : tool.folder.path()) + QStringLiteral("/config");
    const UserConfigFolder userConfigFolder(userConfig);
    const QString configPath = userConfig + QStringLiteral("/Brackenfeld/uploader.cfg");
#ifdef Q_OS_UNIX
    // A ~/.config that the user may not write to, as another user than root sees it.
    std::optional<AnotherUser> user;
    if (reason == u"Permission denied") {
        const QFile::Permissions readable =
            QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QDir().mkdir(userConfig));
        QVERIFY(QFile::setPermissions(userConfig, readable));
        QVERIFY(QFile::setPermissions(tool.folder.path(), readable | QFile::WriteOwner));
        user.emplace();
        QVERIFY(user->active());
    }
#endif
    tool.main.runProcedure([&tool] { tool.main.Form_Load(); });

    QCOMPARE(tool.main.ConfigPath, native(configPath));
    QVERIFY(tool.window.boxes.isEmpty());
    QVERIFY(tool.window.endedWith.isEmpty());
    QCOMPARE(tool.main.PortNumber, qint16(2));
    // The first save is offered in the user's home, as the program's folder takes no file.
    QCOMPARE(tool.dialog.initDir, native(QDir::homePath()));
    QVERIFY(tool.port.PortOpen());
    QCOMPARE(QFileInfo::exists(configPath), userFolderWritable);
    if (userFolderWritable)
        QCOMPARE(readFile(configPath), settingsFile(2, native(QDir::homePath())));

    tool.dialog.initDir = QStringLiteral("/data/runs");
    tool.main.runProcedure([&tool] { tool.main.ExitButton_Click(); });

    if (userFolderWritable) {
        QCOMPARE(readFile(configPath), settingsFile(2, QStringLiteral("/data/runs")));
        QVERIFY(tool.window.boxes.isEmpty());
        QCOMPARE(tool.window.endedWith, QList<int>{0});
        return;
    }
    QCOMPARE(tool.window.boxes.size(), 1);
    const FakeWindow::Box &box = tool.window.boxes[0];
    QCOMPARE(box.icon, WindowOperations::Icon::Critical);
    QCOMPARE(box.buttons, WindowOperations::Buttons::Ok);
    QVERIFY2(box.text.contains(native(configPath)), qPrintable(box.text));
    // The reason is the folder's that cannot be made, not the file's that is not there.
    QVERIFY2(box.text.endsWith(u'\n' + reason), qPrintable(box.text));
    QCOMPARE(tool.window.endedWith, QList<int>{1});
}

void TestConfigFile::settingsThatAreNoRegularFileLetStartUpGoOn_data()
{
    // "<fifo>" stands for a named pipe that the row makes beside the settings.
    QTest::addColumn<QString>("linkTo");
    QTest::addColumn<QString>("kind");

    QTest::newRow("folder") << QString() << QStringLiteral("a folder");
#ifdef Q_OS_UNIX
    QTest::newRow("named pipe") << QString() << QStringLiteral("a named pipe (FIFO)");
    QTest::newRow("link to a named pipe")
        << QStringLiteral("<fifo>") << QStringLiteral("a named pipe (FIFO)");
    QTest::newRow("link to a device") << QStringLiteral("/dev/zero") << QStringLiteral("a device");
#endif
}

// Read, a named pipe would wait for a writer before the window ever shows, and /dev/zero never
// ends; replaced, the user's pipe or device would be gone.
void TestConfigFile::settingsThatAreNoRegularFileLetStartUpGoOn()
{
    QFETCH(QString, linkTo);
    QFETCH(QString, kind);

    FakeTool tool(FakeTool::Unstarted, {2, 5});
    const QString settings = tool.configPath();
    const QString fifo = tool.folder.filePath(QStringLiteral("fifo"));
    if (kind == u"a folder") {
        QVERIFY(QDir().mkdir(settings));
    } else {
#ifdef Q_OS_UNIX
        const QString pipe = linkTo.isEmpty() ? settings : fifo;
        if (linkTo.isEmpty() || linkTo == u"<fifo>")
            QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        if (!linkTo.isEmpty())
            QVERIFY(QFile::link(linkTo == u"<fifo>" ? fifo : linkTo, settings));
#endif
    }
    tool.main.runProcedure([&tool] { tool.main.Form_Load(); });

    // Start-up goes on with what discovery found, and Exit says why the settings stay unsaved.
    QVERIFY(tool.window.boxes.isEmpty());
    QVERIFY(tool.window.endedWith.isEmpty());
    QCOMPARE(tool.main.PortNumber, qint16(2));
    QVERIFY(tool.port.PortOpen());
    tool.main.runProcedure([&tool] { tool.main.ExitButton_Click(); });
    QCOMPARE(tool.window.boxes.size(), 1);
    const QString told = tool.window.boxes[0].text;
    QVERIFY2(
        told.endsWith(QStringLiteral("\nuploader.cfg is not a regular file but %1.").arg(kind)),
        qPrintable(told));
    QCOMPARE(tool.window.endedWith, QList<int>{1});
    QCOMPARE(QFileInfo(settings).isSymLink(), !linkTo.isEmpty());
    QVERIFY(!QFileInfo(settings).isFile());
}

void TestConfigFile::exitWritesTheSettings()
{
    FakeTool tool;
    QVERIFY(writeFile(tool.configPath(), " 3 \r\n\"/a much longer folder than the new one\"\r\n"));
    tool.main.PortNumber = 12;
    tool.dialog.initDir = kNonAscii;
    tool.main.runProcedure([&tool] { tool.main.ExitButton_Click(); });

    QCOMPARE(tool.config(), QByteArray(" 12 \r\n\"" + kNonAsciiBytes + "\"\r\n"));
    QVERIFY(tool.window.boxes.isEmpty());
    QCOMPARE(tool.window.endedWith, QList<int>{0});
}

void TestConfigFile::failedWriteAtExitKeepsTheEarlierSettings()
{
    FakeTool tool;
    const QByteArray earlier(" 3 \r\n\"/data/runs\"\r\n");
    QVERIFY(writeFile(tool.configPath(), earlier));
    tool.main.PortNumber = 12;
    tool.dialog.initDir = QStringLiteral("/data/other");
    {
#ifndef Q_OS_UNIX
        QSKIP("a full disk is stood in for by a resource limit of Unix");
#else
        const FileSizeLimit noRoom(0);
        QVERIFY(noRoom.active());
        tool.main.runProcedure([&tool] { tool.main.ExitButton_Click(); });
#endif
    }

    QCOMPARE(tool.config(), earlier);
    QCOMPARE(entriesOf(tool.folder.path()), QStringList{QStringLiteral("uploader.cfg")});
    QCOMPARE(tool.window.boxes.size(), 1);
    const FakeWindow::Box &box = tool.window.boxes[0];
    QCOMPARE(box.icon, WindowOperations::Icon::Critical);
    QVERIFY2(box.text.contains(tool.configPath()), qPrintable(box.text));
    QVERIFY2(box.text.contains(QStringLiteral("File too large")), qPrintable(box.text));
    QCOMPARE(tool.window.endedWith, QList<int>{1});
    // Closed before the end, so that the port's lock file goes with it.
    QVERIFY(!tool.port.PortOpen());
}

QTEST_APPLESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
