#include "storage/NewUploadFile.h"
#include "storage/UploadFile.h"
#include "support/FakeTool.h"
#include "support/Workbook.h"
#ifdef Q_OS_UNIX
#include "support/FileSizeLimit.h"
#endif
#ifdef Q_OS_LINUX
#include "support/SmallDisk.h"
#endif

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <optional>
#include <sys/stat.h>

namespace {

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

#ifdef Q_OS_UNIX
// The records of a CSV file as Python's csv module reads them: UTF-8 after a byte-order mark,
// and otherwise each byte read as one character.
QList<QStringList> csvRecordsOf(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import codecs, csv, io, json, sys\n"
                                 "data = open(sys.argv[1], 'rb').read()\n"
                                 "marked = data.startswith(codecs.BOM_UTF8)\n"
                                 "text = data[3:].decode() if marked else data.decode('latin-1')\n"
                                 "rows = csv.reader(io.StringIO(text, newline=''), strict=True)\n"
                                 "json.dump(list(rows), sys.stdout)\n"),
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
#endif

// A readable form for comparisons, so that a failure shows both values.
QString shown(const std::optional<QString> &folder)
{
    return folder ? QLatin1Char('"') + *folder + QLatin1Char('"') : QStringLiteral("(none)");
}

// What stands in the way of a save, besides the name itself.
enum class Obstacle
{
    None,
    ReadOnlyFile,
    // Writes fail as on a full disk, root's too: no byte fits, or only the first few do.
    NoRoom,
    RoomForAFewBytes,
    // Room for a small workbook, not for the larger sheet that goes to a temporary file first.
    RoomForSmallFilesOnly,
    // The name is a named pipe's, or a folder's.
    NamedPipe,
    Folder,
    // The temporary folder is a small disk that is full.
    FullTemporaryFolder
};

#ifdef Q_OS_LINUX
// What strace saw of the files, in order: "name PATH" for each file given a name, "away PATH"
// for each name moved to another, "sync FOLDER" for each folder synced, "remove PATH" for each file
// removed.
QStringList fileEventsOf(const QString &log)
{
    static const QRegularExpression call(QStringLiteral(R"(^(\w+)\((.*)\)\s+=\s+0$)"));
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    QStringList events;
    for (const QString &line : QString::fromLocal8Bit(readFile(log)).split(u'\n')) {
        const QRegularExpressionMatch match = call.match(line);
        if (!match.hasMatch())
            continue;
        const QString function = match.captured(1);
        QStringList paths;
        for (const QRegularExpressionMatch &path : quoted.globalMatch(match.captured(2)))
            paths << path.captured(1);
        if (function.startsWith(u"rename") && paths.size() == 2)
            events << QStringLiteral("away ") + paths[0];
        if ((function == u"linkat" || function.startsWith(u"rename")) && paths.size() == 2)
            events << QStringLiteral("name ") + paths[1];
        else if (function == u"unlink" && paths.size() == 1)
            events << QStringLiteral("remove ") + paths[0];
        // With -y, strace shows the path that a descriptor is open on: fsync(3</data>).
        else if (function == u"fsync" && match.captured(2).contains(u'<'))
            events << QStringLiteral("sync ") + match.captured(2).section(u'<', 1).chopped(1);
    }
    return events;
}

// Each name that a file kept under it, as "uploader.cfg" or "kept copy", with " unsynced" where
// its folder was not synced after it before any file was removed.
QStringList keptNamesOf(const QStringList &events, const QString &root)
{
    QStringList names;
    for (qsizetype at = 0; at < events.size(); ++at) {
        const QString path = events[at].section(u' ', 1);
        // Names that a new file passes on its way to its own are moved away again; the name that
        // a new upload file holds while it is written beside it is the tool's, never a file's.
        if (!events[at].startsWith(u"name ") || !path.startsWith(root) ||
            events.indexOf(QStringLiteral("away ") + path, at) >= 0 ||
            QFileInfo(path).fileName().startsWith(u".brackenfeld-"))
            continue;
        const QFileInfo file(path);
        QString synced = QStringLiteral(" unsynced");
        for (qsizetype next = at + 1; next < events.size(); ++next) {
            if (events[next].startsWith(u"remove "))
                break;
            if (events[next] == QStringLiteral("sync ") + file.absolutePath()) {
                synced.clear();
                break;
            }
        }
        const bool kept = file.absolutePath().endsWith(u"/unsaved");
        names << (kept ? QStringLiteral("kept copy") : file.fileName()) + synced;
    }
    return names;
}
#endif

// A save that went through: no message, and the upload counts as saved.
bool savesQuietly(FakeTool &tool, const QString &name)
{
    tool.saveAs({name});
    return tool.window.boxes.isEmpty() && tool.main.DataSaved == 1;
}

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
    void newFileTakesTheFirstFreeName();
    void cancelChangesNothing();
    void workbookHoldsACellForEachField_data();
    void workbookHoldsACellForEachField();
    void workbookNumbersIgnoreTheLocale();
    void csvHoldsARecordForEachLine_data();
    void csvHoldsARecordForEachLine();
    void failedSaveIsReportedAndKeepsTheEarlierFile_data();
    void failedSaveIsReportedAndKeepsTheEarlierFile();
    void dialogMovesToTheSavedFilesFolder_data();
    void dialogMovesToTheSavedFilesFolder();
    void everyNewNameIsSyncedBeforeAnythingReliesOnIt();
};

void TestSaveUpload::dialogIsSetUpForSaving()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    FakeTool tool(FakeTool::Holding);
    tool.saveAs({folder.filePath(QStringLiteral("run1.xls"))});

    QVERIFY(tool.dialog.cancelError);
    QCOMPARE(tool.dialog.flags, qint32(2054));
    QCOMPARE(tool.dialog.filter, QStringLiteral("XLS Files (*.xls)|*.xls|"
                                                "Excel Workbook (*.xlsx)|*.xlsx|"
                                                "CSV (*.csv)|*.csv|"
                                                "Text (*.txt *.tsv)|*.txt;*.tsv|"));
    QCOMPARE(tool.dialog.filterIndex, 0);
    QCOMPARE(tool.dialog.shownIn, QStringList{tool.folder.path()});
}

void TestSaveUpload::fileHoldsTheUploadAndOneLineEnd_data()
{
    QTest::addColumn<QByteArray>("upload");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("table") << kTableText << QByteArray("1\t2\r\n3\t4\r\n\r\n");
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
    FakeTool tool(FakeTool::Holding);
    tool.main.UploadData = upload;
    tool.saveAs({name});

    QCOMPARE(readFile(name), bytes);
    QCOMPARE(modeOf(name), newFileMode());
    QCOMPARE(entriesOf(folder.path()), QStringList{QStringLiteral("run1.xls")});
    QVERIFY(tool.window.boxes.isEmpty());
    QCOMPARE(tool.main.SaveFileName, name);
    QCOMPARE(tool.main.DataSaved, qint16(1));
    QCOMPARE(tool.dialog.initDir, native(folder.path()));
}

void TestSaveUpload::existingFileIsReplaced()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString name = folder.filePath(QStringLiteral("run1.xls"));
    QVERIFY(writeFile(name, "an earlier upload, longer than this one\r\n"));
#ifdef Q_OS_UNIX
    const QString link = folder.filePath(QStringLiteral("latest.xls"));
    QVERIFY(QFile::setPermissions(name, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    QVERIFY(QFile::link(name, link));
    const QString chosen = link;
#else
    // Windows' shortcuts are no links that a program saves through.
    const QString chosen = name;
#endif

    FakeTool tool(FakeTool::Holding);
    tool.main.UploadData = "5\t6";
    tool.saveAs({chosen});

    QCOMPARE(readFile(name), QByteArray("5\t6\r\n"));
#ifdef Q_OS_UNIX
    // The file behind the link is replaced, keeping its permissions; the link stays a link.
    QCOMPARE(modeOf(name), mode_t(0640));
    QVERIFY(QFileInfo(link).isSymLink());
#endif
    QCOMPARE(entriesOf(folder.path()).size(), chosen == name ? 1 : 2);
    QVERIFY(tool.window.boxes.isEmpty());
    QCOMPARE(tool.main.DataSaved, qint16(1));
}

void TestSaveUpload::nameIsUsedAsGiven_data()
{
    QTest::addColumn<QString>("fileName");

    QTest::newRow("no extension") << QStringLiteral("run1");
    QTest::newRow("another extension") << QStringLiteral("run1.txt");
    QTest::newRow("tab-separated extension") << QStringLiteral("run1.tsv");
    QTest::newRow("xlsx without its point") << QStringLiteral("run1xlsx");
    QTest::newRow("csv before the extension") << QStringLiteral("run1.csv.xls");
    // No drive letters here: the dialog stays in the file's folder.
#ifndef Q_OS_WIN
    QTest::newRow("colon") << QStringLiteral("run:1.xls");
#endif
}

void TestSaveUpload::nameIsUsedAsGiven()
{
    QFETCH(QString, fileName);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    FakeTool tool(FakeTool::Holding);
    tool.saveAs({folder.filePath(fileName)});

    QCOMPARE(entriesOf(folder.path()), QStringList{fileName});
    QCOMPARE(readFile(folder.filePath(fileName)), kTableText + "\r\n");
    QCOMPARE(tool.dialog.initDir, native(folder.path()));
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

    FakeTool tool(FakeTool::Holding);
    tool.saveAs({first});
    QCOMPARE(tool.main.DataSaved, qint16(1));
    QCOMPARE(tool.dialog.initDir, native(root.filePath(QStringLiteral("a"))));
    tool.saveAs({second});

    QCOMPARE(readFile(first), kTableText + "\r\n");
    QCOMPARE(readFile(second), kTableText + "\r\n");
    QCOMPARE(tool.main.DataSaved, qint16(1));
    QCOMPARE(tool.main.SaveFileName, second);
    // The second save opens where the first one went.
    QCOMPARE(tool.dialog.shownIn,
             (QStringList{tool.folder.path(), native(root.filePath(QStringLiteral("a")))}));
    QCOMPARE(tool.dialog.initDir, native(root.filePath(QStringLiteral("b"))));
    QVERIFY(tool.window.boxes.isEmpty());
}

void TestSaveUpload::newFileTakesTheFirstFreeName()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString stem = QStringLiteral("2026-12-09_143501");
    QVERIFY(writeFile(folder.filePath(stem + QStringLiteral(".xls")), "earlier"));

    const QString second = writeNewUploadFile(folder.path(), stem, QStringLiteral(".xls"), "1\t2");
    const QString third = writeNewUploadFile(folder.path(), stem, QStringLiteral(".xls"), "3\t4");

    // The file that was there stays; each new one is whole under its own name, nothing else left.
    QCOMPARE(second, folder.filePath(stem + QStringLiteral("-2.xls")));
    QCOMPARE(third, folder.filePath(stem + QStringLiteral("-3.xls")));
    QCOMPARE(readFile(folder.filePath(stem + QStringLiteral(".xls"))), QByteArray("earlier"));
    QCOMPARE(readFile(second), QByteArray("1\t2\r\n"));
    QCOMPARE(readFile(third), QByteArray("3\t4\r\n"));
    QCOMPARE(entriesOf(folder.path()).size(), 3);
    // Readable by whoever may read a file that a save makes there, not by its owner alone.
    const QString saved = folder.filePath(QStringLiteral("saved.xls"));
    writeUploadFile(saved, "5");
    QCOMPARE(QFileInfo(second).permissions(), QFileInfo(saved).permissions());
}

void TestSaveUpload::cancelChangesNothing()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    FakeTool tool(FakeTool::Holding);
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

void TestSaveUpload::workbookHoldsACellForEachField_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("upload");
    QTest::addColumn<QStringList>("cells");

    QTest::newRow("numbers and text")
        << "run1.xlsx"
        << QByteArray("12.345\t-3.5e2\t0\t1.50\t-0.25\r\n"
                      "007\t2024-06-11\t12:30\t+5\tNaN\r\n")
        << QStringList{numberCell("A1", 12.345),     numberCell("B1", -350),  numberCell("C1", 0),
                       numberCell("D1", 1.5),        numberCell("E1", -0.25), textCell("A2", "007"),
                       textCell("B2", "2024-06-11"), textCell("C2", "12:30"), textCell("D2", "+5"),
                       textCell("E2", "NaN")};
    QTest::newRow("almost numbers")
        << "run1.xlsx" << QByteArray("1.\t.5\t1e\t1,5\t 1\t-\t00\t1e999")
        << QStringList{textCell("A1", "1."),  textCell("B1", ".5"),   textCell("C1", "1e"),
                       textCell("D1", "1,5"), textCell("E1", " 1"),   textCell("F1", "-"),
                       textCell("G1", "00"),  textCell("H1", "1e999")};
    QTest::newRow("15 significant digits at most")
        << "RUN1.XLSX"
        << QByteArray("123456789012345\t1234567890123456\t0.000123456789012345\t"
                      "1.000000000000000\t-1.5E+300\r\n")
        << QStringList{numberCell("A1", 123456789012345), textCell("B1", "1234567890123456"),
                       numberCell("C1", 0.000123456789012345), textCell("D1", "1.000000000000000"),
                       numberCell("E1", -1.5e300)};
    QTest::newRow("empty fields and lines")
        << "run1.xlsx" << QByteArray("a\t\tb\r\n\t\r\n\r\nc\t")
        << QStringList{textCell("A1", "a"), textCell("C1", "b"), textCell("A4", "c")};
    QTest::newRow("UTF-8 is kept") << "run1.xlsx" << QStringLiteral("Grüße\t°C").toUtf8()
                                   << QStringList{textCell("A1", QStringLiteral("Grüße")),
                                                  textCell("B1", QStringLiteral("°C"))};
    // The bytes from 0x80 to 0x9F that Windows-1252 defines; the row ends with the five it leaves
    // undefined.
    const QByteArray windows1252 = "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E"
                                   "\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F";
    QTest::newRow("other bytes are Windows-1252")
        << "run1.xlsx"
        << QStringLiteral("Grüße\t°C\t\u00A0ÿ\t").toLatin1() + windows1252 +
               "\t\x81\x8D\x8F\x90\x9D"
        << QStringList{textCell("A1", QStringLiteral("Grüße")),
                       textCell("B1", QStringLiteral("°C")),
                       textCell("C1", QStringLiteral("\u00A0ÿ")),
                       textCell("D1", QStringLiteral("€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ")),
                       textCell("E1", QStringLiteral("\u0081\u008D\u008F\u0090\u009D"))};
    QTest::newRow("control characters and escapes")
        << "run1.xlsx"
        << QByteArray("a\001b\tnul") + '\0' + "x\tcr\rlf\nz\t_x0041_\t" +
               QStringLiteral("\uFFFE\uFFFF").toUtf8()
        << QStringList{textCell("A1", "a\001b"),
                       textCell("B1", QStringLiteral("nul") + QChar(0) + u'x'),
                       textCell("C1", "cr\rlf\nz"), textCell("D1", "_x0041_"),
                       textCell("E1", QStringLiteral("\uFFFE\uFFFF"))};
}

void TestSaveUpload::workbookHoldsACellForEachField()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, upload);
    QFETCH(QStringList, cells);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    FakeTool tool(FakeTool::Holding);
    tool.main.UploadData = upload;
    QVERIFY(savesQuietly(tool, folder.filePath(name)));

    QCOMPARE(entriesOf(folder.path()), QStringList{name});
    QCOMPARE(cellsOf(folder.filePath(name)), cells);
}

void TestSaveUpload::workbookNumbersIgnoreTheLocale()
{
    // A German locale: its decimal separator is the comma.
#ifdef Q_OS_WIN
    const bool german = std::setlocale(LC_ALL, "German_Germany.1252") != nullptr;
#else
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
#endif
    const QString decimalPoint = QString::fromLatin1(std::localeconv()->decimal_point);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    FakeTool tool(FakeTool::Holding);
    tool.main.UploadData = "12.345\t-0.5\t1000000.25";
    tool.saveAs({folder.filePath(QStringLiteral("run1.xlsx"))});
    std::setlocale(LC_ALL, "C");

    QVERIFY2(german, "no locale de_DE.UTF-8 here: scripts/install-deps test makes it");
    QCOMPARE(decimalPoint, QStringLiteral(","));
    QVERIFY(tool.window.boxes.isEmpty());
    QCOMPARE(cellsOf(folder.filePath(QStringLiteral("run1.xlsx"))),
             (QStringList{numberCell("A1", 12.345), numberCell("B1", -0.5),
                          numberCell("C1", 1000000.25)}));
}

void TestSaveUpload::csvHoldsARecordForEachLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("upload");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QStringList>>("records");

    QTest::newRow("fields and lines") << "run1.csv" << kTableText << QByteArray("1,2\r\n3,4\r\n")
                                      << QList<QStringList>{{"1", "2"}, {"3", "4"}};
    QTest::newRow("quotes, commas and line breaks are quoted")
        << "Run1.CSV" << QByteArray("say \"hi\"\ta,b\tcr\rx\tlf\ny\t\"\r\n")
        << QByteArray("\"say \"\"hi\"\"\",\"a,b\",\"cr\rx\",\"lf\ny\",\"\"\"\"\r\n")
        << QList<QStringList>{{"say \"hi\"", "a,b", "cr\rx", "lf\ny", "\""}};
    QTest::newRow("empty fields, an empty line, no line end at the end")
        << "run1.csv" << QByteArray("a\t\tb\r\n\r\nc") << QByteArray("a,,b\r\n\r\nc\r\n")
        << QList<QStringList>{{"a", "", "b"}, {}, {"c"}};
    QTest::newRow("ASCII as received") << "run1.csv" << QByteArray("\x01\x7F\t007\t+5\t12.5\r\n")
                                       << QByteArray("\x01\x7F,007,+5,12.5\r\n")
                                       << QList<QStringList>{{"\x01\x7F", "007", "+5", "12.5"}};
    // Marked as UTF-8, as Excel's "CSV UTF-8" is.
    QTest::newRow("UTF-8 after its mark")
        << "run1.csv" << QStringLiteral("Grüße\t°C\r\n").toUtf8()
        << QByteArray("\xEF\xBB\xBF") + QStringLiteral("Grüße,°C\r\n").toUtf8()
        << QList<QStringList>{{QStringLiteral("Grüße"), QStringLiteral("°C")}};
    QTest::newRow("other bytes are Windows-1252, in UTF-8")
        << "run1.csv" << QByteArray("caf\xE9\t\x80 5\t\xFF\xC3\xBC\x81\r\n")
        << QByteArray("\xEF\xBB\xBF") + QStringLiteral("café,€ 5,ÿÃ¼\u0081\r\n").toUtf8()
        << QList<QStringList>{
               {QStringLiteral("café"), QStringLiteral("€ 5"), QStringLiteral("ÿÃ¼\u0081")}};
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
    FakeTool tool(FakeTool::Holding);
    tool.main.UploadData = upload;
    QVERIFY(savesQuietly(tool, folder.filePath(name)));

    QCOMPARE(readFile(folder.filePath(name)), bytes);
#ifdef Q_OS_UNIX
    // Windows has no Python here; the same bytes are read in the Linux suite.
    QCOMPARE(csvRecordsOf(folder.filePath(name)), records);
#endif
}

void TestSaveUpload::failedSaveIsReportedAndKeepsTheEarlierFile_data()
{
    // A relative name lies in the row's temporary folder.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("upload");
    QTest::addColumn<std::optional<QByteArray>>("earlier");
    QTest::addColumn<Obstacle>("obstacle");
    QTest::addColumn<QString>("reason");

    const std::optional<QByteArray> earlier("the earlier upload\r\n");
    const std::optional<QByteArray> none;
#ifdef Q_OS_WIN
    const QString noFolder = qt_error_string(3); // ERROR_PATH_NOT_FOUND
#else
    const QString noFolder = QStringLiteral("No such file or directory");
#endif
    QTest::newRow("folder does not exist")
        << QStringLiteral("missing/run1.xls") << kTableText << none << Obstacle::None << noFolder;
    QTest::newRow("read-only file") << QStringLiteral("run1.xls") << kTableText << earlier
                                    << Obstacle::ReadOnlyFile << QStringLiteral("read-only");
    QTest::newRow("a folder") << QStringLiteral("run1.xls") << kTableText << none
                              << Obstacle::Folder
                              << QStringLiteral("run1.xls is not a regular file but a folder.");
#ifdef Q_OS_UNIX
    QTest::newRow("a device") << QStringLiteral("/dev/full") << kTableText << none << Obstacle::None
                              << QStringLiteral("full is not a regular file but a device.");
    // Opened, it would wait for a reader for ever.
    QTest::newRow("a named pipe") << QStringLiteral("run1.xls") << kTableText << none
                                  << Obstacle::NamedPipe
                                  << QStringLiteral(
                                         "run1.xls is not a regular file but a named pipe (FIFO).");
#endif
#ifdef Q_OS_UNIX
    QTest::newRow("no room") << QStringLiteral("run1.xls") << kTableText << earlier
                             << Obstacle::NoRoom << QStringLiteral("File too large");
    QTest::newRow("room for a few bytes")
        << QStringLiteral("run1.xls") << kTableText << earlier << Obstacle::RoomForAFewBytes
        << QStringLiteral("File too large");
    QTest::newRow("CSV, room for a few bytes")
        << QStringLiteral("run1.csv") << kTableText << earlier << Obstacle::RoomForAFewBytes
        << QStringLiteral("File too large");
#endif
    QTest::newRow("workbook, read-only file")
        << QStringLiteral("run1.xlsx") << kTableText << earlier << Obstacle::ReadOnlyFile
        << QStringLiteral("read-only");
#ifdef Q_OS_UNIX
    QTest::newRow("workbook, no room") << QStringLiteral("run1.xlsx") << kTableText << earlier
                                       << Obstacle::NoRoom << QStringLiteral("File too large");
    QTest::newRow("workbook, temporary folder full")
        << QStringLiteral("run1.xlsx") << QByteArray("1.5\t2.5\r\n").repeated(10000) << earlier
        << Obstacle::RoomForSmallFilesOnly
        << QStringLiteral("could not be made in the temporary folder <temporary>:\nIt came out "
                          "incomplete");
#endif
#ifdef Q_OS_LINUX
    QTest::newRow("workbook, temporary folder a full disk")
        << QStringLiteral("run1.xlsx") << kTableText << earlier << Obstacle::FullTemporaryFolder
        << QStringLiteral("could not be made in the temporary folder <temporary>:\nNo space left "
                          "on device");
#endif
    QTest::newRow("workbook, more lines than a sheet holds")
        << QStringLiteral("run1.xlsx") << QByteArray("\r\n").repeated(1048576) + 'x' << earlier
        << Obstacle::None << QStringLiteral("more lines than a sheet holds (1048576)");
    QTest::newRow("workbook, more fields than a sheet holds")
        << QStringLiteral("run1.xlsx") << QByteArray(16384, '\t') + 'x' << earlier << Obstacle::None
        << QStringLiteral("more fields than a sheet holds (16384)");
    QTest::newRow("workbook, field longer than a cell holds")
        << QStringLiteral("run1.xlsx") << QByteArray(32768, 'a') << earlier << Obstacle::None
        << QStringLiteral("longer than a cell holds (32767 characters)");
}

void TestSaveUpload::failedSaveIsReportedAndKeepsTheEarlierFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, upload);
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
    if (obstacle == Obstacle::Folder)
        QVERIFY(QDir().mkdir(name));
#ifdef Q_OS_UNIX
    if (obstacle == Obstacle::NamedPipe)
        QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
#endif
    const QStringList entriesBefore = entriesOf(folder.path());

    FakeTool tool(FakeTool::Holding);
    tool.main.UploadData = upload;
    // A temporary folder of the row's own, where the workbook is made first.
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const TemporaryFolderAt temporaryFolder(temporary.path());
    reason.replace(QStringLiteral("<temporary>"), QDir::toNativeSeparators(temporary.path()));
    {
#ifdef Q_OS_LINUX
        std::optional<SmallFullDisk> disk;
        if (obstacle == Obstacle::FullTemporaryFolder) {
            disk.emplace(temporary.path());
            if (!disk->active())
                QSKIP("no tmpfs can be mounted here");
        }
#endif
#ifdef Q_OS_UNIX
        std::optional<FileSizeLimit> limit;
        if (obstacle == Obstacle::NoRoom)
            limit.emplace(0);
        else if (obstacle == Obstacle::RoomForAFewBytes)
            limit.emplace(4);
        else if (obstacle == Obstacle::RoomForSmallFilesOnly)
            limit.emplace(256 * 1024);
        QVERIFY(!limit || limit->active());
#endif
        tool.saveAs({name});
    }
    QCOMPARE(tool.window.boxes.size(), 1);
    const FakeWindow::Box &box = tool.window.boxes[0];
    QCOMPARE(box.icon, WindowOperations::Icon::Critical);
    QCOMPARE(box.buttons, WindowOperations::Buttons::Ok);
    QVERIFY2(box.text.contains(QDir::toNativeSeparators(name)), qPrintable(box.text));
    QVERIFY2(box.text.contains(reason), qPrintable(box.text));
    QCOMPARE(tool.main.DataSaved, qint16(0));
    QCOMPARE(tool.dialog.initDir, tool.folder.path());
    // Nothing left behind: no partial file, no temporary beside it or in the temporary folder.
    QCOMPARE(entriesOf(folder.path()), entriesBefore);
    QCOMPARE(entriesOf(temporary.path()), QStringList());
    if (earlier)
        QCOMPARE(readFile(name), *earlier);
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

// The settings file, the kept copies, a saved file and a new upload file each get their name, and a
// file that was there is replaced, as strace sees it from outside. The test runs itself under
// strace for that.
void TestSaveUpload::everyNewNameIsSyncedBeforeAnythingReliesOnIt()
{
    if (qEnvironmentVariableIsSet("BRACKENFELD_TRACED")) {
        FakeTool tool(FakeTool::Unstarted);
        tool.main.Form_Load();
        const QString saved = tool.folder.filePath(QStringLiteral("run1.xls"));
        tool.receive({kTable});
        tool.saveAs({saved});
        tool.receive({kAbc});
        tool.saveAs({saved});
        writeNewUploadFile(tool.folder.path(), QStringLiteral("new"), QStringLiteral(".xls"), "1");
        tool.main.runProcedure([&tool] { tool.main.ExitButton_Click(); });
        QVERIFY(tool.window.boxes.isEmpty());
        return;
    }
#ifndef Q_OS_LINUX
    QSKIP("strace watches the system calls of Linux");
#else
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString log = root.filePath(QStringLiteral("strace.log"));
    QProcess strace;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("BRACKENFELD_TRACED"), QStringLiteral("1"));
    environment.insert(QStringLiteral("TMPDIR"), root.path());
    // The leak check of AddressSanitizer cannot run under a tracer; the test's own run has it.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    strace.setProcessEnvironment(environment);
    strace.start(QStringLiteral("strace"),
                 {QStringLiteral("-y"), QStringLiteral("-o"), log, QStringLiteral("-e"),
                  QStringLiteral("trace=linkat,rename,renameat,renameat2,fsync,unlink"),
                  QFile::symLinkTarget(QStringLiteral("/proc/self/exe")),
                  QStringLiteral("everyNewNameIsSyncedBeforeAnythingReliesOnIt")});
    QVERIFY2(strace.waitForFinished(60000), qPrintable(strace.errorString()));
    QVERIFY2(strace.exitStatus() == QProcess::NormalExit && strace.exitCode() == 0,
             strace.readAllStandardError() + strace.readAllStandardOutput());

    QCOMPARE(keptNamesOf(fileEventsOf(log), root.path()),
             (QStringList{"uploader.cfg", "kept copy", "run1.xls", "kept copy", "run1.xls",
                          "new.xls", "uploader.cfg"}));
#endif
}

QTEST_APPLESS_MAIN(TestSaveUpload)
#include "tst_saveupload.moc"
