#include "storage/UploadFile.h"
#include "support/FakeTool.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

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
    RoomForAFewBytes
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
    void failedSaveIsReportedAndKeepsTheEarlierFile_data();
    void failedSaveIsReportedAndKeepsTheEarlierFile();
    void dialogMovesToTheSavedFilesFolder_data();
    void dialogMovesToTheSavedFilesFolder();
};

void TestSaveUpload::dialogIsSetUpForSaving()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    FakeTool tool(FakeTool::Holding);
    tool.saveAs({folder.filePath(QStringLiteral("run1.xls"))});

    QVERIFY(tool.dialog.cancelError);
    QCOMPARE(tool.dialog.flags, qint32(2054));
    QCOMPARE(tool.dialog.filter, QStringLiteral("XLS Files (*.xls)|*.xls|"));
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
    QVERIFY(writeFile(name, "an earlier upload, longer than this one\r\n"));

    FakeTool tool(FakeTool::Holding);
    tool.main.UploadData = "5\t6";
    tool.saveAs({name});

    QCOMPARE(readFile(name), QByteArray("5\t6\r\n"));
    QVERIFY(tool.window.boxes.isEmpty());
    QCOMPARE(tool.main.DataSaved, qint16(1));
}

void TestSaveUpload::nameIsUsedAsGiven_data()
{
    QTest::addColumn<QString>("fileName");

    QTest::newRow("no extension") << QStringLiteral("run1");
    QTest::newRow("another extension") << QStringLiteral("run1.txt");
    // No drive letters here: the dialog stays in the file's folder.
    QTest::newRow("colon") << QStringLiteral("run:1.xls");
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

    FakeTool tool(FakeTool::Holding);
    tool.saveAs({first});
    QCOMPARE(tool.main.DataSaved, qint16(1));
    QCOMPARE(tool.dialog.initDir, root.filePath(QStringLiteral("a")));
    tool.saveAs({second});

    QCOMPARE(readFile(first), kTableText + "\r\n");
    QCOMPARE(readFile(second), kTableText + "\r\n");
    QCOMPARE(tool.main.DataSaved, qint16(1));
    QCOMPARE(tool.main.SaveFileName, second);
    // The second save opens where the first one went.
    QCOMPARE(tool.dialog.shownIn,
             (QStringList{tool.folder.path(), root.filePath(QStringLiteral("a"))}));
    QCOMPARE(tool.dialog.initDir, root.filePath(QStringLiteral("b")));
    QVERIFY(tool.window.boxes.isEmpty());
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

    FakeTool tool(FakeTool::Holding);
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
    QCOMPARE(tool.dialog.initDir, tool.folder.path());
    // Nothing left behind: no partial file, no temporary beside it.
    QCOMPARE(entriesOf(folder.path()), entriesBefore);
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

QTEST_APPLESS_MAIN(TestSaveUpload)
#include "tst_saveupload.moc"
