#include "app/RecoveryDialog.h"
#include "storage/QtFileDialogService.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

namespace {

// Runs an action once on the first modal widget of type T to become active. The poll runs
// inside the modal dialog's own event loop, so it waits however long the showing takes.
template <typename T> class WhenModal
{
public:
    explicit WhenModal(std::function<void(T *)> action) : m_action(std::move(action))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto *widget = qobject_cast<T *>(QApplication::activeModalWidget())) {
                m_timer.stop();
                m_action(widget);
            }
        });
        m_timer.start(5);
    }

private:
    std::function<void(T *)> m_action;
    QTimer m_timer;
};

using WhenDialog = WhenModal<QFileDialog>;

// The dialog service as a save sets it up, its initial folder a fresh temporary one.
struct DialogInFolder
{
    explicit DialogInFolder(const QString &filter = {}, int filterIndex = 0, qint32 flags = 0)
    {
        service.setInitDir(folder.path());
        service.setFilter(filter);
        service.setFilterIndex(filterIndex);
        service.setFlags(flags);
    }

    QTemporaryDir folder;
    QtFileDialogService service{nullptr, QStringLiteral("Brackenfeld")};
};

// A message box as it showed.
struct ShownBox
{
    QString title;
    QString text;
};

// Types a name in place of the one in the name field and presses Enter. A message box that this
// brings up gets the keys, or is closed when there are none (a refusal must fail the test, not
// leave it hanging); returns what it showed, nothing when none came.
ShownBox typeAndPressEnter(QFileDialog *dialog, const QString &name,
                           const QList<Qt::Key> &keys = {})
{
    // With the focus in the field, as the user types there: only then does the list let go of
    // the file that an earlier name selected in it.
    // A dialog that another dialog opens takes the focus only once it shows.
    const bool exposed = QTest::qWaitForWindowExposed(dialog);
    dialog->activateWindow();
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!edit || !exposed || !QTest::qWaitForWindowActive(dialog)) {
        dialog->reject();
        return {};
    }
    ShownBox shown;
    WhenModal<QMessageBox> boxReader([&](QMessageBox *box) {
        shown = {box->windowTitle(), box->text()};
        if (keys.isEmpty())
            box->accept();
        for (const Qt::Key key : keys)
            QTest::keyClick(box, key);
    });
    edit->selectAll();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
    return shown;
}

void clickCancel(QFileDialog *dialog)
{
    auto *buttons = dialog->findChild<QDialogButtonBox *>();
    if (QPushButton *cancel = buttons ? buttons->button(QDialogButtonBox::Cancel) : nullptr)
        cancel->click();
    else
        dialog->reject();
}

// The names the dialog's list shows for its current folder, sorted.
QStringList listedNames(QFileDialog *dialog)
{
    auto *view = dialog->findChild<QListView *>(QStringLiteral("listView"));
    if (!view)
        return {};
    const QAbstractItemModel *model = view->model();
    QStringList names;
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row)
        names << model->index(row, 0, view->rootIndex()).data().toString();
    names.sort();
    return names;
}

// The file types that Save offers.
const QString kSaveTypes = QStringLiteral("XLS Files (*.xls)|*.xls|Excel Workbook (*.xlsx)|*.xlsx|"
                                          "CSV (*.csv)|*.csv|Text (*.txt *.tsv)|*.txt;*.tsv|");

QString nativePath(const QTemporaryDir &folder, const QString &name)
{
    return QDir::toNativeSeparators(QDir(folder.path()).filePath(name));
}

} // namespace

class TestFileDialog : public QObject
{
    Q_OBJECT

private slots:
    void startsInInitDirWithQtsOwnOpenTitleAndButtons();
    void filterShowsItsFileTypes_data();
    void filterShowsItsFileTypes();
    void listsFoldersAndFilesOfTheFileType();
    void acceptsTypedName_data();
    void acceptsTypedName();
    void nameWithoutExtensionGetsTheSelectedTypes_data();
    void nameWithoutExtensionGetsTheSelectedTypes();
    void refusesNameInMissingFolderWhenPathMustExist();
    void existingFileIsReplacedOnlyAfterYes_data();
    void existingFileIsReplacedOnlyAfterYes();
    void cancelWithCancelErrorThrows();
    void cancelWithoutCancelErrorKeepsFileName();
    void initDirIsKeptExactlyAsSet_data();
    void initDirIsKeptExactlyAsSet();
    void recoveryDialogHandsOnWhatTheUserAsks();
};

void TestFileDialog::startsInInitDirWithQtsOwnOpenTitleAndButtons()
{
    DialogInFolder setUp;
    auto &[folder, service] = setUp;
    QVERIFY(folder.isValid());

    QString shownFolder;
    QString title;
    QString openText;
    bool openForm = false;
    bool qtsOwn = false;
    WhenDialog driver([&](QFileDialog *dialog) {
        shownFolder = dialog->directory().absolutePath();
        title = dialog->windowTitle();
        openForm = dialog->acceptMode() == QFileDialog::AcceptOpen;
        qtsOwn = dialog->testOption(QFileDialog::DontUseNativeDialog);
        if (auto *buttons = dialog->findChild<QDialogButtonBox *>()) {
            if (QPushButton *open = buttons->button(QDialogButtonBox::Open))
                openText = open->text();
        }
        clickCancel(dialog);
    });
    service.ShowOpen();

    QCOMPARE(shownFolder, QDir(folder.path()).absolutePath());
    QVERIFY(openForm);
    QVERIFY(qtsOwn);
    QCOMPARE(title, QFileDialog::tr("Open"));
    QCOMPARE(openText, QFileDialog::tr("&Open"));
}

void TestFileDialog::filterShowsItsFileTypes_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("selected");

    const QString xls = QStringLiteral("XLS Files (*.xls)");
    const QString all = QStringLiteral("All Files (*.*)");
    QTest::newRow("trailing bar, index 1")
        << "XLS Files (*.xls)|*.xls|" << 1 << QStringList{xls} << xls;
    QTest::newRow("trailing bar, index 0")
        << "XLS Files (*.xls)|*.xls|" << 0 << QStringList{xls} << xls;
    QTest::newRow("no trailing bar") << "XLS Files (*.xls)|*.xls" << 1 << QStringList{xls} << xls;
    QTest::newRow("second type by index 2")
        << "XLS Files (*.xls)|*.xls|All Files (*.*)|*.*|" << 2 << QStringList{xls, all} << all;
    QTest::newRow("index past the last type selects the first")
        << "XLS Files (*.xls)|*.xls|All Files (*.*)|*.*|" << 3 << QStringList{xls, all} << xls;
    QTest::newRow("description without its pattern gains it")
        << "Text|*.txt|" << 1 << QStringList{QStringLiteral("Text (*.txt)")}
        << QStringLiteral("Text (*.txt)");
    QTest::newRow("the types Save offers")
        << kSaveTypes << 0
        << QStringList{xls, QStringLiteral("Excel Workbook (*.xlsx)"),
                       QStringLiteral("CSV (*.csv)"), QStringLiteral("Text (*.txt *.tsv)")}
        << xls;
    QTest::newRow("several patterns")
        << "Tables|*.xls;*.csv|" << 1 << QStringList{QStringLiteral("Tables (*.xls *.csv)")}
        << QStringLiteral("Tables (*.xls *.csv)");
}

void TestFileDialog::filterShowsItsFileTypes()
{
    QFETCH(QString, filter);
    QFETCH(int, index);
    QFETCH(QStringList, shown);
    QFETCH(QString, selected);

    DialogInFolder setUp(filter, index);
    auto &[folder, service] = setUp;
    QVERIFY(folder.isValid());

    QStringList comboItems;
    QString comboCurrent;
    QString selectedFilter;
    WhenDialog driver([&](QFileDialog *dialog) {
        if (auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))) {
            for (int i = 0; i < combo->count(); ++i)
                comboItems << combo->itemText(i);
            comboCurrent = combo->currentText();
        }
        selectedFilter = dialog->selectedNameFilter();
        clickCancel(dialog);
    });
    service.ShowOpen();

    QCOMPARE(comboItems, shown);
    QCOMPARE(comboCurrent, selected);
    QCOMPARE(selectedFilter, selected);
}

void TestFileDialog::listsFoldersAndFilesOfTheFileType()
{
    DialogInFolder setUp(QStringLiteral("XLS Files (*.xls)|*.xls|"), 1);
    auto &[folder, service] = setUp;
    QVERIFY(folder.isValid());
    for (const char *name : {"reading.xls", "notes.txt"}) {
        QFile file(QDir(folder.path()).filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("older")));

    const QStringList expected{QStringLiteral("older"), QStringLiteral("reading.xls")};
    bool listed = false;
    WhenDialog driver([&](QFileDialog *dialog) {
        // The folder is read in the background, so the list fills some time after showing.
        [&] {
            QTRY_COMPARE(listedNames(dialog), expected);
            listed = true;
        }();
        clickCancel(dialog);
    });
    service.ShowOpen();

    QVERIFY(listed);
}

void TestFileDialog::acceptsTypedName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("flags");

    const int mustExist = FileDialogService::kPathMustExist;
    QTest::newRow("file that does not exist") << "upload.xls" << 0;
    QTest::newRow("name without extension stays without") << "upload" << 0;
    QTest::newRow("other extension than the filter's") << "upload.txt" << 0;
    QTest::newRow("existing folder when path must exist") << "upload.xls" << (mustExist | 0x6);
    QTest::newRow("missing folder when path need not exist") << "later/upload.xls" << 0x6;
}

void TestFileDialog::acceptsTypedName()
{
    QFETCH(QString, typed);
    QFETCH(int, flags);

    DialogInFolder setUp(QStringLiteral("XLS Files (*.xls)|*.xls|"), 1, flags);
    auto &[folder, service] = setUp;
    QVERIFY(folder.isValid());

    QString warning;
    WhenDialog driver([&](QFileDialog *dialog) {
        warning = typeAndPressEnter(dialog, typed).text;
        if (dialog->isVisible())
            clickCancel(dialog);
    });
    service.ShowOpen();

    QCOMPARE(warning, QString());
    QCOMPARE(service.FileName(), nativePath(folder, typed));
    QVERIFY(!QFile::exists(service.FileName()));
}

void TestFileDialog::nameWithoutExtensionGetsTheSelectedTypes_data()
{
    // The type selected at opening, then moved by Down (+) or Up (-) keys in the type list.
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("moves");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");

    QTest::newRow("first type: as typed") << 1 << 0 << "upload"
                                          << "upload";
    QTest::newRow("workbook") << 2 << 0 << "upload"
                              << "upload.xlsx";
    QTest::newRow("CSV") << 3 << 0 << "upload"
                         << "upload.csv";
    QTest::newRow("text: the first of its extensions") << 4 << 0 << "upload"
                                                       << "upload.txt";
    QTest::newRow("chosen in the list") << 1 << 2 << "upload"
                                        << "upload.csv";
    QTest::newRow("back to the first type") << 2 << -1 << "upload"
                                            << "upload";
    QTest::newRow("typed extension stays") << 2 << 0 << "upload.xls"
                                           << "upload.xls";
    QTest::newRow("typed other extension of the type") << 4 << 0 << "upload.tsv"
                                                       << "upload.tsv";
}

void TestFileDialog::nameWithoutExtensionGetsTheSelectedTypes()
{
    QFETCH(int, index);
    QFETCH(int, moves);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);

    DialogInFolder setUp(kSaveTypes, index);
    auto &[folder, service] = setUp;
    QVERIFY(folder.isValid());

    WhenDialog driver([&](QFileDialog *dialog) {
        if (auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))) {
            for (int i = 0; i < qAbs(moves); ++i)
                QTest::keyClick(combo, moves > 0 ? Qt::Key_Down : Qt::Key_Up);
        }
        typeAndPressEnter(dialog, typed);
        if (dialog->isVisible())
            clickCancel(dialog);
    });
    service.ShowOpen();

    QCOMPARE(service.FileName(), nativePath(folder, chosen));
}

void TestFileDialog::refusesNameInMissingFolderWhenPathMustExist()
{
    DialogInFolder setUp(QString(), 0, FileDialogService::kPathMustExist | 0x6);
    auto &[folder, service] = setUp;
    QVERIFY(folder.isValid());

    QString warning;
    bool openAfterEnter = false;
    WhenDialog driver([&](QFileDialog *dialog) {
        warning = typeAndPressEnter(dialog, QStringLiteral("missing/upload.xls")).text;
        openAfterEnter = dialog->isVisible();
        if (openAfterEnter)
            clickCancel(dialog);
    });
    service.ShowOpen();

    QVERIFY(openAfterEnter);
    QVERIFY2(warning.contains(QLatin1String("folder does not exist")), qPrintable(warning));
    QVERIFY(warning.contains(nativePath(folder, QStringLiteral("missing"))));
    QCOMPARE(service.FileName(), QString());
}

void TestFileDialog::existingFileIsReplacedOnlyAfterYes_data()
{
    // The names typed in turn; the keys pressed in the question that the first brings up.
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QList<Qt::Key>>("keys");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("chosen");

    const QString replace = QStringLiteral("%1 already exists. Do you want to replace it?");
    QTest::newRow("Y replaces") << 1 << 0x806 << QStringList{"run1.xls"} << QList{Qt::Key_Y}
                                << replace.arg("run1.xls") << "run1.xls";
    QTest::newRow("N keeps the dialog open for another name")
        << 1 << 0x806 << QStringList{"run1.xls", "run2.xls"} << QList{Qt::Key_N}
        << replace.arg("run1.xls") << "run2.xls";
    QTest::newRow("Esc leaves the question open")
        << 1 << 0x806 << QStringList{"run1.xls"} << QList{Qt::Key_Escape, Qt::Key_Y}
        << replace.arg("run1.xls") << "run1.xls";
    QTest::newRow("the name with its type's extension")
        << 2 << 0x806 << QStringList{"run1"} << QList{Qt::Key_N} << replace.arg("run1.xlsx") << "";
    QTest::newRow("without the flag, nothing is asked")
        << 1 << 0x804 << QStringList{"run1.xls"} << QList<Qt::Key>{} << ""
        << "run1.xls";
}

void TestFileDialog::existingFileIsReplacedOnlyAfterYes()
{
    QFETCH(int, index);
    QFETCH(int, flags);
    QFETCH(QStringList, typed);
    QFETCH(QList<Qt::Key>, keys);
    QFETCH(QString, question);
    QFETCH(QString, chosen);

    DialogInFolder setUp(kSaveTypes, index, flags);
    auto &[folder, service] = setUp;
    QVERIFY(folder.isValid());
    for (const char *name : {"run1.xls", "run1.xlsx"}) {
        QFile file(QDir(folder.path()).filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    ShownBox asked;
    WhenDialog driver([&](QFileDialog *dialog) {
        asked = typeAndPressEnter(dialog, typed.first(), keys);
        for (const QString &name : typed.sliced(1))
            typeAndPressEnter(dialog, name);
        if (dialog->isVisible())
            clickCancel(dialog);
    });
    service.ShowOpen();

    QCOMPARE(asked.text, question);
    QCOMPARE(asked.title, question.isEmpty() ? QString() : QStringLiteral("Brackenfeld"));
    QCOMPARE(service.FileName(), chosen.isEmpty() ? QString() : nativePath(folder, chosen));
}

void TestFileDialog::cancelWithCancelErrorThrows()
{
    DialogInFolder setUp;
    auto &[folder, service] = setUp;
    QVERIFY(folder.isValid());
    service.setCancelError(true);

    WhenDialog driver(clickCancel);
    QVERIFY_THROWS_EXCEPTION(DialogCancelled, service.ShowOpen());
}

void TestFileDialog::cancelWithoutCancelErrorKeepsFileName()
{
    DialogInFolder setUp;
    auto &[folder, service] = setUp;
    QVERIFY(folder.isValid());

    {
        WhenDialog driver([](QFileDialog *dialog) {
            typeAndPressEnter(dialog, QStringLiteral("first.xls"));
            if (dialog->isVisible())
                clickCancel(dialog);
        });
        service.ShowOpen();
    }
    const QString first = nativePath(folder, QStringLiteral("first.xls"));
    QCOMPARE(service.FileName(), first);

    WhenDialog driver(clickCancel);
    service.ShowOpen();
    QCOMPARE(service.FileName(), first);
}

void TestFileDialog::initDirIsKeptExactlyAsSet_data()
{
    QTest::addColumn<QString>("initDir");

    QTest::newRow("drive name") << "C:";
    QTest::newRow("missing folder") << "/no/such/folder/here";
    QTest::newRow("trailing separator and dots") << "/tmp/./";
    QTest::newRow("empty") << "";
}

void TestFileDialog::initDirIsKeptExactlyAsSet()
{
    QFETCH(QString, initDir);

    QtFileDialogService service(nullptr, QStringLiteral("Brackenfeld"));
    service.setInitDir(initDir);
    QCOMPARE(service.InitDir(), initDir);

    // Showing starts wherever Qt puts the dialog, and still leaves InitDir alone.
    bool shown = false;
    WhenDialog driver([&](QFileDialog *dialog) {
        shown = true;
        clickCancel(dialog);
    });
    service.ShowOpen();
    QVERIFY(shown);
    QCOMPARE(service.InitDir(), initDir);
}

void TestFileDialog::recoveryDialogHandsOnWhatTheUserAsks()
{
    using Request = WindowOperations::RecoveryRequest;
    QTemporaryDir start;
    QTemporaryDir target;
    const QDateTime received(QDate(2026, 12, 9), QTime(15, 49, 12, 870), QTimeZone::utc());
    const QList<WindowOperations::KeptUploadRow> rows{
        {received, 2, 10, QStringLiteral("1,2")},
        {received.addSecs(1), 1, 3, QStringLiteral("abc")},
        {received.addDays(1), 4, 2560, QStringLiteral("café,5")}};
    QList<Request> requests;
    // Save All deals with what it was given; the Save's dialog is cancelled.
    const auto handle = [&](const Request &request) {
        requests << request;
        return request.action == Request::SaveAll ? request.rows : QList<int>();
    };
    RecoveryDialog recovery(rows, start.path(), handle);

    QStringList shown;
    QStringList afterSaveAll;
    QString chooserFolder;
    bool discardEnabled = true;
    WhenModal<RecoveryDialog> user([&](RecoveryDialog *dialog) {
        // Closed whatever happens, so that a failure ends the test rather than leave it waiting.
        const auto closes = qScopeGuard([dialog] { dialog->reject(); });
        auto *list = dialog->findChild<QTreeWidget *>();
        if (!list || !QTest::qWaitForWindowActive(dialog))
            return;
        const auto rowTexts = [list] {
            QStringList texts;
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                const QTreeWidgetItem *item = list->topLevelItem(i);
                texts << QStringLiteral("%1 %2 | %3 | %4 | %5")
                             .arg(item->checkState(0) == Qt::Checked ? "x" : "-")
                             .arg(item->text(0), item->text(1), item->text(2), item->text(3));
            }
            return texts;
        };
        shown = rowTexts();
        // The second unchecked with Space, the type chosen, then Save All: a folder typed into
        // the chooser and Return choose it.
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Space);
        QTest::keyClick(dialog, Qt::Key_T, Qt::AltModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        WhenDialog chooser([&](QFileDialog *dialog) {
            chooserFolder = dialog->directory().absolutePath();
            typeAndPressEnter(dialog, target.path());
            if (dialog->isVisible())
                clickCancel(dialog);
        });
        // A mnemonic clicks its button a moment later, as a click by the mouse shows.
        QTest::keyClick(dialog, Qt::Key_A, Qt::AltModifier);
        QTRY_COMPARE(requests.size(), 1);
        afterSaveAll = rowTexts();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        // Save takes the selected one; with none checked, Discard has nothing to act on.
        QTest::keyClick(dialog, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(requests.size(), 2);
        auto *discard = dialog->findChild<QPushButton *>(QStringLiteral("DiscardButton"));
        discardEnabled = discard && discard->isEnabled();
        // Esc is Later.
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QCOMPARE(recovery.exec(), int(QDialog::Rejected));

    QCOMPARE(recovery.windowTitle(), QStringLiteral("Unsaved uploads - Brackenfeld"));
    const QString time = received.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[0], QStringLiteral("x %1 | 2 | 10 bytes | 1,2").arg(time));
    // "2.5 kB", by the user's locale.
    const QString size = QLocale().formattedDataSize(2560, 1, QLocale::DataSizeTraditionalFormat);
    QCOMPARE(shown[2].section(u'|', 1), QStringLiteral(" 4 | %1 | café,5").arg(size));
    QCOMPARE(chooserFolder, QDir(start.path()).absolutePath());
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests[0].action, Request::SaveAll);
    QCOMPARE(requests[0].rows, (QList<int>{0, 2}));
    QCOMPARE(requests[0].folder, QDir::toNativeSeparators(target.path()));
    QCOMPARE(requests[0].suffix, QStringLiteral(".csv"));
    QCOMPARE(afterSaveAll.size(), 1);
    QVERIFY(afterSaveAll[0].startsWith(QStringLiteral("- ")));
    QCOMPARE(requests[1].action, Request::Save);
    QCOMPARE(requests[1].rows, QList<int>{1});
    QVERIFY(!discardEnabled);
}

QTEST_MAIN(TestFileDialog)
#include "tst_filedialog.moc"
