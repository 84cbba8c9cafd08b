#include "support/FakeTool.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Answer = WindowOperations::Answer;

} // namespace

class TestShutdown : public QObject
{
    Q_OBJECT

private slots:
    void asksOnlyWhileAnUploadIsUnsaved_data();
    void asksOnlyWhileAnUploadIsUnsaved();
    void yesSavesAndTheSavedFolderIsRemembered();
    void unsavedUploadIsGivenUpOnlyByNo_data();
    void unsavedUploadIsGivenUpOnlyByNo();
    void secondRequestWhileAskingJoinsTheFirst();
    void checksumErrorAfterAnUnsavedUploadStillOffersThatUpload();
    void closeBoxIsExit();
    void loopRunsUntilExitAndWaitsOnlyWhenIdle();
};

void TestShutdown::asksOnlyWhileAnUploadIsUnsaved_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<bool>("clear");
    QTest::addColumn<bool>("asked");

    QTest::newRow("before any upload") << QList<QByteArray>{} << false << false;
    QTest::newRow("upload still coming in") << QList<QByteArray>{"\x02"
                                                                 "ab"}
                                            << false << false;
    QTest::newRow("decoded, not saved") << QList<QByteArray>{kAbc} << false << true;
    QTest::newRow("decoded, then cleared") << QList<QByteArray>{kAbc} << true << false;
}

void TestShutdown::asksOnlyWhileAnUploadIsUnsaved()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(bool, clear);
    QFETCH(bool, asked);

    FakeTool tool;
    tool.receive(reads);
    if (clear) {
        // Clear's own question, answered No.
        tool.main.ClearButton_Click();
        QCOMPARE(tool.window.boxTexts(), QStringList{kClearQuestion});
        tool.window.boxes.clear();
    }
    tool.main.ExitButton_Click();

    QCOMPARE(tool.window.boxTexts(), asked ? QStringList{kQuestion} : QStringList{});
    if (asked) {
        QCOMPARE(tool.window.boxes[0].buttons, WindowOperations::Buttons::YesNo);
        QCOMPARE(tool.window.boxes[0].icon, WindowOperations::Icon::None);
    }
    QVERIFY(tool.dialog.shownIn.isEmpty());
    QCOMPARE(tool.config(), settingsFile(3, tool.folder.path()));
    QVERIFY(!tool.port.PortOpen());
    QCOMPARE(tool.window.endedWith, QList<int>{0});
    // Given up by No, or cleared: no copy of it stays.
    QVERIFY(tool.keptUploads().isEmpty());
}

void TestShutdown::yesSavesAndTheSavedFolderIsRemembered()
{
    FakeTool tool;
    QTemporaryDir runs;
    tool.receive({kAbc});
    tool.window.answers = {Answer::Yes};
    tool.dialog.choices = {runs.filePath(QStringLiteral("run1.xls"))};
    tool.main.ExitButton_Click();

    QCOMPARE(readFile(runs.filePath(QStringLiteral("run1.xls"))), QByteArray("abc\r\n"));
    QCOMPARE(tool.config(), settingsFile(3, native(runs.path())));
    QCOMPARE(tool.window.endedWith, QList<int>{0});
    QVERIFY(tool.keptUploads().isEmpty());
}

void TestShutdown::unsavedUploadIsGivenUpOnlyByNo_data()
{
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("saved");

    const QString cancel = FakeFileDialog::kCancel;
    // A folder that is not there takes no file.
    const QString unwritable = QStringLiteral("<folder>/gone/run.xls");
    const QString good = QStringLiteral("<folder>/run.xls");
    const QString failed = QStringLiteral("The upload could not be saved");

    QTest::newRow("no") << QList<Answer>{Answer::No} << QStringList{} << QStringList{kQuestion}
                        << false;
    QTest::newRow("yes, cancel, no")
        << QList<Answer>{Answer::Yes, Answer::No} << QStringList{cancel}
        << QStringList{kQuestion, kQuestion} << false;
    QTest::newRow("yes, cancel, yes, save")
        << QList<Answer>{Answer::Yes, Answer::Yes} << QStringList{cancel, good}
        << QStringList{kQuestion, kQuestion} << true;
    QTest::newRow("yes, unwritable, no")
        << QList<Answer>{Answer::Yes, Answer::Ok, Answer::No} << QStringList{unwritable}
        << QStringList{kQuestion, failed, kQuestion} << false;
    QTest::newRow("yes, unwritable, yes, save")
        << QList<Answer>{Answer::Yes, Answer::Ok, Answer::Yes} << QStringList{unwritable, good}
        << QStringList{kQuestion, failed, kQuestion} << true;
}

void TestShutdown::unsavedUploadIsGivenUpOnlyByNo()
{
    QFETCH(QList<Answer>, answers);
    QFETCH(QStringList, names);
    QFETCH(QStringList, boxes);
    QFETCH(bool, saved);

    FakeTool tool;
    tool.receive({kAbc});
    tool.window.answers = answers;
    tool.dialog.choices = names.replaceInStrings(QStringLiteral("<folder>"), tool.folder.path());
    tool.main.ExitButton_Click();

    QCOMPARE(tool.window.boxes.size(), boxes.size());
    for (qsizetype i = 0; i < boxes.size(); ++i)
        QVERIFY2(tool.window.boxes[i].text.startsWith(boxes[i]),
                 qPrintable(tool.window.boxes[i].text));
    QCOMPARE(readFile(tool.folder.filePath(QStringLiteral("run.xls"))),
             saved ? QByteArray("abc\r\n") : QByteArray("(missing)"));
    QCOMPARE(tool.main.DataSaved, qint16(saved ? 1 : 0));
    QCOMPARE(tool.window.endedWith, QList<int>{0});
}

void TestShutdown::secondRequestWhileAskingJoinsTheFirst()
{
    FakeTool tool;
    tool.receive({kAbc});
    // The window is closed, or a signal comes, while the question is open.
    tool.window.onBox = [&tool] {
        tool.window.onBox = nullptr;
        tool.main.ExitButton_Click();
    };
    tool.main.ExitButton_Click();

    QCOMPARE(tool.window.boxTexts(), QStringList{kQuestion});
    QCOMPARE(tool.window.endedWith, QList<int>{0});
}

void TestShutdown::checksumErrorAfterAnUnsavedUploadStillOffersThatUpload()
{
    FakeTool tool;
    tool.receive({kAbc});
    tool.receive({frame("abc", "00297")});
    tool.window.answers = {Answer::Yes};
    const QString saved = tool.folder.filePath(QStringLiteral("kept.xls"));
    tool.dialog.choices = {saved};
    tool.main.ExitButton_Click();

    QCOMPARE(tool.window.boxTexts(), (QStringList{kChecksumError, kQuestion}));
    QCOMPARE(readFile(saved), QByteArray("abc\r\n"));
}

void TestShutdown::closeBoxIsExit()
{
    FakeTool tool;
    tool.receive({kAbc});
    qint16 cancel = 0;
    tool.main.Form_Unload(cancel);

    QCOMPARE(cancel, qint16(0));
    QCOMPARE(tool.window.boxTexts(), QStringList{kQuestion});
    QCOMPARE(tool.config(), settingsFile(3, tool.folder.path()));
    QVERIFY(!tool.port.PortOpen());
    QCOMPARE(tool.window.endedWith, QList<int>{0});
}

void TestShutdown::loopRunsUntilExitAndWaitsOnlyWhenIdle()
{
    FakeTool tool;
    tool.window.actions = {
        [&tool] {
            tool.port.reads << "\x02"
                               "ab"
                            << "c00296\x04";
        },
        [] {},
        [] {},
        [&tool] { tool.main.ClearButton_Click(); },
        [&tool] { tool.main.ExitButton_Click(); },
    };
    tool.main.Form_Activate();

    QCOMPARE(tool.window.endedWith, QList<int>{0});
    QCOMPARE(tool.window.textHistory,
             (QStringList{"UPLOADING", "UPLOADING.", "*** UPLOAD COMPLETE ***", QString()}));
    // It blocks for events only while nothing is waiting to be read.
    QCOMPARE(tool.window.waits, (QList<bool>{true, false, true, true, true}));
    // Clear asked about the unsaved upload (answered No); Exit then had nothing to ask about.
    QCOMPARE(tool.window.boxTexts(), QStringList{kClearQuestion});
}

QTEST_APPLESS_MAIN(TestShutdown)
#include "tst_shutdown.moc"
