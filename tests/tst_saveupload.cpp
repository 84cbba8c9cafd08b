#include "app/Main.h"
#include "storage/UploadFile.h"
#include "support/FakeFileDialog.h"
#include "support/FakeSerialPort.h"
#include "support/FakeWindow.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QByteArray kTable("1\t2\r\n3\t4\r\n");
const QString kStartFolder = QStringLiteral("/start/folder");

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// The permission bits of a file, as in "chmod 640".
mode_t modeOf(const QString &path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 0777 : 0;
}

// What the process's umask leaves of 0666 for a new file.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The records of a CSV file as Python's csv module reads them, each byte read as one character.
QList<QStringList> csvRecordsOf(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='', encoding='latin-1') as f:\n"
                                 "    json.dump(list(csv.reader(f, strict=True)), sys.stdout)\n"),
                  path});
    if (!python.waitForFinished(30000) || python.exitStatus() != QProcess::NormalExit ||
        python.exitCode() != 0)
        return {{QStringLiteral("python3: ") + python.errorString(),
                 QString::fromLocal8Bit(python.readAllStandardError())}};
    QList<QStringList> records;
    for (const QJsonValue &record : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
        records << record.toVariant().toStringList();
    return records;
}

// A readable form for comparisons, so that a failure shows both values.
QString shown(const std::optional<QString> &folder)
{
    return folder ? QLatin1Char('"') + *folder + QLatin1Char('"') : QStringLiteral("(none)");
}

// The tool holding a decoded upload that is not saved yet, its dialog in kStartFolder.
struct Tool
{
    FakeWindow window;
    FakeSerialPort port;
    FakeFileDialog dialog;
    Main main{window, port, dialog};

    explicit Tool(const QByteArray &upload = kTable)
    {
        dialog.initDir = kStartFolder;
        main.UploadData = upload;
        main.DataSaved = 0;
    }

    void saveAs(const QStringList &choices)
    {
        dialog.choices = choices;
        main.SaveButton_Click();
    }
};

// What stands in the way of a save, besides the name itself.
enum class Obstacle
{
    None,
    ReadOnlyFile,
    // Writes fail as on a full disk, root's too: no byte fits, or only the first few do.
    NoRoom,
    RoomForAFewBytes
};

// Holds the process to files of at most `bytes` while it lives. The signal that would end the
// process at the limit is ignored, so the write just fails.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_before);
        m_signalBefore = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_before.rlim_max};
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_signalBefore);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_before{};
    void (*m_signalBefore)(int) = nullptr;
    bool m_active = false;
};

} // namespace

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(Obstacle)

class TestSaveUpload : public QObject
{
    Q_OBJECT

private slots:
    void dialogIsSetUpForSaving();
    void fileHoldsTheUploadAndOneLineEnd_data();
    void fileHoldsTheUploadAndOneLineEnd();
    void existingFileIsReplaced();
    void nameIsUsedAsGiven_data();
    void nameIsUsedAsGiven();
    void savingTwiceWritesTwice();
    void cancelChangesNothing();
    void csvHoldsARecordForEachLine_data();
    void csvHoldsARecordForEachLine();
    void failedSaveIsReportedAndKeepsTheEarlierFile_data();
    void failedSaveIsReportedAndKeepsTheEarlierFile();
    void dialogMovesToTheSavedFilesFolder_data();
    void dialogMovesToTheSavedFilesFolder();
};

void TestSaveUpload::dialogIsSetUpForSaving()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    Tool tool;
    tool.saveAs({folder.filePath(QStringLiteral("run1.xls"))});

    QVERIFY(tool.dialog.cancelError);
    QCOMPARE(tool.dialog.flags, qint32(2054));
    QCOMPARE(tool.dialog.filter, QStringLiteral("XLS Files (*.xls)|*.xls|"));
    QCOMPARE(tool.dialog.filterIndex, 0);
    QCOMPARE(tool.dialog.shownIn, QStringList{kStartFolder});
}

void TestSaveUpload::fileHoldsTheUploadAndOneLineEnd_data()
{
    QTest::addColumn<QByteArray>("upload");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("table") << kTable << QByteArray("1\t2\r\n3\t4\r\n\r\n");
    QTest::newRow("empty upload") << QByteArray() << QByteArray::fromHex("0D0A");
    QTest::newRow("no line end of its own") << QByteArray("abc") << QByteArray("abc\r\n");
    // Written as received: no text conversion of NUL, high bytes or lone line ends.
    QTest::newRow("raw bytes") << QByteArray::fromHex("00FFC3BC0A0D")
                               << QByteArray::fromHex("00FFC3BC0A0D0D0A");
}

void TestSaveUpload::fileHoldsTheUploadAndOneLineEnd()
{
    QFETCH(QByteArray, upload);
    QFETCH(QByteArray, bytes);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString name = folder.filePath(QStringLiteral("run1.xls"));
    Tool tool(upload);
    tool.saveAs({name});

    QCOMPARE(contentOf(name), bytes);
    QCOMPARE(modeOf(name), newFileMode());
    QCOMPARE(entriesOf(folder.path()), QStringList{QStringLiteral("run1.xls")});
    QVERIFY(tool.window.boxes.isEmpty());
    QCOMPARE(tool.main.SaveFileName, name);
    QCOMPARE(tool.main.DataSaved, qint16(1));
    QCOMPARE(tool.dialog.initDir, folder.path());
}

void TestSaveUpload::existingFileIsReplaced()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString name = folder.filePath(QStringLiteral("run1.xls"));
    const QString link = folder.filePath(QStringLiteral("latest.xls"));
    QVERIFY(writeFile(name, "an earlier upload, longer than this one\r\n"));
    QVERIFY(QFile::setPermissions(name, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    QVERIFY(QFile::link(name, link));

    Tool tool("5\t6");
    tool.saveAs({link});

    // The file behind the link is replaced, keeping its permissions; the link stays a link.
    QCOMPARE(contentOf(name), QByteArray("5\t6\r\n"));
    QCOMPARE(modeOf(name), mode_t(0640));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(entriesOf(folder.path()),
             (QStringList{QStringLiteral("latest.xls"), QStringLiteral("run1.xls")}));
    QVERIFY(tool.window.boxes.isEmpty());
    QCOMPARE(tool.main.DataSaved, qint16(1));
}

void TestSaveUpload::nameIsUsedAsGiven_data()
{
    QTest::addColumn<QString>("fileName");

    QTest::newRow("no extension") << QStringLiteral("run1");
    QTest::newRow("another extension") << QStringLiteral("run1.txt");
    QTest::newRow("tab-separated extension") << QStringLiteral("run1.tsv");
    QTest::newRow("csv before the extension") << QStringLiteral("run1.csv.xls");
    // No drive letters here: the dialog stays in the file's folder.
    QTest::newRow("colon") << QStringLiteral("run:1.xls");
}

void TestSaveUpload::nameIsUsedAsGiven()
{
    QFETCH(QString, fileName);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    Tool tool;
    tool.saveAs({folder.filePath(fileName)});

    QCOMPARE(entriesOf(folder.path()), QStringList{fileName});
    QCOMPARE(contentOf(folder.filePath(fileName)), kTable + "\r\n");
    QCOMPARE(tool.dialog.initDir, folder.path());
}

void TestSaveUpload::savingTwiceWritesTwice()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QDir root(folder.path());
    QVERIFY(root.mkdir(QStringLiteral("a")));
    QVERIFY(root.mkdir(QStringLiteral("b")));
    const QString first = root.filePath(QStringLiteral("a/one.xls"));
    const QString second = root.filePath(QStringLiteral("b/two.xls"));

    Tool tool;
    tool.saveAs({first});
    QCOMPARE(tool.main.DataSaved, qint16(1));
    QCOMPARE(tool.dialog.initDir, root.filePath(QStringLiteral("a")));
    tool.saveAs({second});

    QCOMPARE(contentOf(first), kTable + "\r\n");
    QCOMPARE(contentOf(second), kTable + "\r\n");
    QCOMPARE(tool.main.DataSaved, qint16(1));
    QCOMPARE(tool.main.SaveFileName, second);
    // The second save opens where the first one went.
    QCOMPARE(tool.dialog.shownIn, (QStringList{kStartFolder, root.filePath(QStringLiteral("a"))}));
    QCOMPARE(tool.dialog.initDir, root.filePath(QStringLiteral("b")));
    QVERIFY(tool.window.boxes.isEmpty());
}

void TestSaveUpload::cancelChangesNothing()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    Tool tool;
    tool.dialog.initDir = folder.path();
    tool.main.SaveFileName = QStringLiteral("/earlier/run0.xls");
    tool.saveAs({});

    QCOMPARE(tool.dialog.shownIn, QStringList{folder.path()});
    QVERIFY(entriesOf(folder.path()).isEmpty());
    QVERIFY(tool.window.boxes.isEmpty());
    QCOMPARE(tool.main.SaveFileName, QStringLiteral("/earlier/run0.xls"));
    QCOMPARE(tool.main.DataSaved, qint16(0));
    QCOMPARE(tool.dialog.initDir, folder.path());
}

void TestSaveUpload::csvHoldsARecordForEachLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("upload");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QStringList>>("records");

    QTest::newRow("fields and lines") << "run1.csv" << kTable << QByteArray("1,2\r\n3,4\r\n")
                                      << QList<QStringList>{{"1", "2"}, {"3", "4"}};
    QTest::newRow("quotes, commas and line breaks are quoted")
        << "Run1.CSV" << QByteArray("say \"hi\"\ta,b\tcr\rx\tlf\ny\t\"\r\n")
        << QByteArray("\"say \"\"hi\"\"\",\"a,b\",\"cr\rx\",\"lf\ny\",\"\"\"\"\r\n")
        << QList<QStringList>{{"say \"hi\"", "a,b", "cr\rx", "lf\ny", "\""}};
    QTest::newRow("empty fields, an empty line, no line end at the end")
        << "run1.csv" << QByteArray("a\t\tb\r\n\r\nc") << QByteArray("a,,b\r\n\r\nc\r\n")
        << QList<QStringList>{{"a", "", "b"}, {}, {"c"}};
    QTest::newRow("other bytes as received")
        << "run1.csv" << QByteArray("\xFF\xC3\xBC\x01\t007\t+5\t12.5\r\n")
        << QByteArray("\xFF\xC3\xBC\x01,007,+5,12.5\r\n")
        << QList<QStringList>{{QString::fromLatin1("\xFF\xC3\xBC\x01"), "007", "+5", "12.5"}};
    QTest::newRow("empty upload") << "run1.csv" << QByteArray() << QByteArray()
                                  << QList<QStringList>{};
}

void TestSaveUpload::csvHoldsARecordForEachLine()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, upload);
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QStringList>, records);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    Tool tool(upload);
    tool.saveAs({folder.filePath(name)});

    QVERIFY(tool.window.boxes.isEmpty());
    QCOMPARE(tool.main.DataSaved, qint16(1));
    QCOMPARE(contentOf(folder.filePath(name)), bytes);
    QCOMPARE(csvRecordsOf(folder.filePath(name)), records);
}

void TestSaveUpload::failedSaveIsReportedAndKeepsTheEarlierFile_data()
{
    // A relative name lies in the row's temporary folder.
    QTest::addColumn<QString>("name");
    QTest::addColumn<std::optional<QByteArray>>("earlier");
    QTest::addColumn<Obstacle>("obstacle");
    QTest::addColumn<QString>("reason");

    const std::optional<QByteArray> earlier("the earlier upload\r\n");
    QTest::newRow("folder does not exist")
        << QStringLiteral("missing/run1.xls") << std::optional<QByteArray>() << Obstacle::None
        << QStringLiteral("No such file or directory");
    QTest::newRow("read-only file") << QStringLiteral("run1.xls") << earlier
                                    << Obstacle::ReadOnlyFile << QStringLiteral("read-only");
    QTest::newRow("device full") << QStringLiteral("/dev/full") << std::optional<QByteArray>()
                                 << Obstacle::None << QStringLiteral("No space left on device");
    QTest::newRow("no room") << QStringLiteral("run1.xls") << earlier << Obstacle::NoRoom
                             << QStringLiteral("File too large");
    // A write cut short leaves Qt without an error code: the failure is certain, its reason
    // is not.
    QTest::newRow("room for a few bytes")
        << QStringLiteral("run1.xls") << earlier << Obstacle::RoomForAFewBytes << QString();
    QTest::newRow("CSV, room for a few bytes")
        << QStringLiteral("run1.csv") << earlier << Obstacle::RoomForAFewBytes << QString();
}

void TestSaveUpload::failedSaveIsReportedAndKeepsTheEarlierFile()
{
    QFETCH(QString, name);
    QFETCH(std::optional<QByteArray>, earlier);
    QFETCH(Obstacle, obstacle);
    QFETCH(QString, reason);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    name = QDir(folder.path()).filePath(name);
    if (earlier)
        QVERIFY(writeFile(name, *earlier));
    if (obstacle == Obstacle::ReadOnlyFile)
        QVERIFY(
            QFile::setPermissions(name, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QStringList entriesBefore = entriesOf(folder.path());

    Tool tool;
    {
        std::optional<FileSizeLimit> limit;
        if (obstacle == Obstacle::NoRoom)
            limit.emplace(0);
        else if (obstacle == Obstacle::RoomForAFewBytes)
            limit.emplace(4);
        QVERIFY(!limit || limit->active());
        tool.saveAs({name});
    }

    QCOMPARE(tool.window.boxes.size(), 1);
    const FakeWindow::Box &box = tool.window.boxes[0];
    QCOMPARE(box.icon, WindowOperations::Icon::Critical);
    QCOMPARE(box.buttons, WindowOperations::Buttons::Ok);
    QVERIFY2(box.text.contains(QDir::toNativeSeparators(name)), qPrintable(box.text));
    QVERIFY2(box.text.contains(reason), qPrintable(box.text));
    QCOMPARE(tool.main.DataSaved, qint16(0));
    QCOMPARE(tool.dialog.initDir, kStartFolder);
    // Nothing left behind: no partial file, no temporary beside it.
    QCOMPARE(entriesOf(folder.path()), entriesBefore);
    if (earlier)
        QCOMPARE(contentOf(name), *earlier);
}

void TestSaveUpload::dialogMovesToTheSavedFilesFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("drives");
    QTest::addColumn<std::optional<QString>>("folder");

    const QChar backslash = QLatin1Char('\\');
    const QChar slash = QLatin1Char('/');
    QTest::newRow("drive and folder") << QStringLiteral("C:\\Data\\run1.xls") << backslash << true
                                      << std::optional<QString>(QStringLiteral("C:\\Data"));
    QTest::newRow("drive root") << QStringLiteral("C:\\run1.xls") << backslash << true
                                << std::optional<QString>(QStringLiteral("C:"));
    QTest::newRow("drive only") << QStringLiteral("C:run1.xls") << backslash << true
                                << std::optional<QString>(QStringLiteral("C:"));
    QTest::newRow("root of the current drive")
        << QStringLiteral("\\run1.xls") << backslash << true << std::optional<QString>();
    QTest::newRow("bare name, drives")
        << QStringLiteral("run1.xls") << backslash << true << std::optional<QString>();
    QTest::newRow("network share")
        << QStringLiteral("\\\\server\\share\\run1.xls") << backslash << true
        << std::optional<QString>(QStringLiteral("\\\\server\\share"));
    QTest::newRow("folder") << QStringLiteral("/data/runs/a.xls") << slash << false
                            << std::optional<QString>(QStringLiteral("/data/runs"));
    QTest::newRow("root") << QStringLiteral("/a.xls") << slash << false << std::optional<QString>();
    QTest::newRow("bare name") << QStringLiteral("a.xls") << slash << false
                               << std::optional<QString>();
    QTest::newRow("relative") << QStringLiteral("a/b") << slash << false
                              << std::optional<QString>(QStringLiteral("a"));
    QTest::newRow("colon without drives") << QStringLiteral("/data/a:b.xls") << slash << false
                                          << std::optional<QString>(QStringLiteral("/data"));
}

void TestSaveUpload::dialogMovesToTheSavedFilesFolder()
{
    QFETCH(QString, name);
    QFETCH(QChar, separator);
    QFETCH(bool, drives);
    QFETCH(std::optional<QString>, folder);

    QCOMPARE(shown(savedFileFolder(name, separator, drives)), shown(folder));
}

QTEST_APPLESS_MAIN(TestSaveUpload)
#include "tst_saveupload.moc"
