#include "app/StatusBox.h"
#include "support/Files.h"
#include "support/RealTool.h"
#include "support/Uploads.h"
#include "support/WindowPump.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <csignal>
#include <memory>

Q_DECLARE_METATYPE(WindowOperations::Buttons)
Q_DECLARE_METATYPE(WindowOperations::Answer)

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void controlsStandWhereDesigned_data();
    void controlsStandWhereDesigned();
    void focusMovesInTabOrder();
    void controlsTellAssistiveTechnologyWhatTheyAre_data();
    void controlsTellAssistiveTechnologyWhatTheyAre();
    void statusBoxReadsAsReadOnlyText();
    void statusBoxRefusesTyping();
    void progressLineWrapsLikeOneLine();
    void noKeyPressesAButton();
    void keysPressTheFocusedButton_data();
    void keysPressTheFocusedButton();
    void loadListsThePortsAndOpensTheFirst();
    void listFollowsDevicesThatComeAndGo();
    void receivesLiveUploads_data();
    void receivesLiveUploads();
    void checksumErrorShowsItsMessage();
    void onlyYesOrNoAnswersAQuestion_data();
    void onlyYesOrNoAnswersAQuestion();
    void pickingAnotherPortMovesTheOpenPort();
    void refusedChoiceAndPulledCableAreWaitedOut();
    void exitWritesTheSettingsAndEnds();
    void terminationSignalClosesTheWindow_data();
    void terminationSignalClosesTheWindow();

private:
    // The window after start-up, with its boxes answered and its process end recorded.
    void startTool();
    // Dispatches and polls as the receive loop does, until the port has delivered everything.
    void pumpUntilDelivered(Instrument &device);

    std::unique_ptr<RealTool> m_tool;
};

void TestMainWindow::init()
{
    m_tool = std::make_unique<RealTool>();
}

void TestMainWindow::cleanup()
{
    m_tool.reset();
}

void TestMainWindow::startTool()
{
    QVERIFY(m_tool->window->start());
}

void TestMainWindow::pumpUntilDelivered(Instrument &device)
{
    SerialPortService &port = m_tool->window->serialPort();
    pumpUntil(*m_tool->window, [&] { return device.delivered() && port.InBufferCount() == 0; });
}

void TestMainWindow::controlsStandWhereDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("text");

    QTest::newRow("combo box") << "ComComboBox" << QRect(68, 324, 81, 24) << QString();
    QTest::newRow("Clear") << "ClearButton" << QRect(164, 320, 73, 29) << "Clear";
    QTest::newRow("Save") << "SaveButton" << QRect(252, 320, 73, 29) << "Save";
    QTest::newRow("status box") << "UploadTextBox" << QRect(4, 4, 409, 309) << QString();
    QTest::newRow("label") << "Label1" << QRect(4, 328, 57, 17) << "COM Port";
    QTest::newRow("Exit") << "ExitButton" << QRect(340, 320, 73, 29) << "Exit";
}

void TestMainWindow::controlsStandWhereDesigned()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QString, text);

    QCOMPARE(m_tool->window->size(), QSize(417, 353));
    auto *control = m_tool->window->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), rect);
    if (auto *button = qobject_cast<QPushButton *>(control)) {
        QCOMPARE(button->text(), text);
        QVERIFY(!button->isDefault() && !button->autoDefault());
    }
    if (auto *label = qobject_cast<QLabel *>(control))
        QCOMPARE(label->text(), text);
    const bool status = name == QLatin1String("UploadTextBox");
    QCOMPARE(control->font().pixelSize(), 13);
    QCOMPARE(control->font().families().first(),
             status ? QStringLiteral("Courier New") : QStringLiteral("MS Sans Serif"));
    if (status) {
        auto *box = static_cast<QPlainTextEdit *>(control);
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
}

void TestMainWindow::focusMovesInTabOrder()
{
    Instrument device(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    startTool();
    QCOMPARE(QApplication::focusWidget(), m_tool->window->findChild<QWidget *>("ComComboBox"));

    // Save is disabled until an upload completes, so Tab passes it by; the label takes no focus.
    QStringList order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, (QStringList{"ClearButton", "UploadTextBox", "ExitButton", "ComComboBox"}));
}

void TestMainWindow::controlsTellAssistiveTechnologyWhatTheyAre_data()
{
    // The role, name and value that a screen reader announces, and the label that names it.
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("label");

    QTest::newRow("window") << "Main" << int(QAccessible::Window)
                            << "Corvallen Brindlow Brackenfeld  ver " BRACKENFELD_VERSION << ""
                            << "";
    QTest::newRow("combo box") << "ComComboBox" << int(QAccessible::ComboBox) << "COM Port"
                               << "COM 1"
                               << "Label1";
    QTest::newRow("status box") << "UploadTextBox" << int(QAccessible::EditableText) << "Status"
                                << ""
                                << "";
}

void TestMainWindow::controlsTellAssistiveTechnologyWhatTheyAre()
{
    QFETCH(QString, control);
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, label);

    Instrument device(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    startTool();
    QObject *object = m_tool->window->objectName() == control
                          ? m_tool->window.get()
                          : m_tool->window->findChild<QObject *>(control);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(object);
    QVERIFY(accessible);
    QCOMPARE(int(accessible->role()), role);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QCOMPARE(accessible->text(QAccessible::Value), value);
    QString labelledBy;
    for (const auto &[other, relation] : accessible->relations(QAccessible::Label))
        labelledBy = other->object()->objectName();
    QCOMPARE(labelledBy, label);
}

void TestMainWindow::statusBoxReadsAsReadOnlyText()
{
    auto *box = m_tool->window->findChild<QPlainTextEdit *>("UploadTextBox");
    m_tool->window->show();
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(box);
    const QAccessible::State state = accessible->state();
    QVERIFY(state.readOnly);
    QVERIFY(!state.editable);
    QVERIFY(state.focusable);

    // What a screen reader reads of it is what the tool wrote, the dots included.
    QAccessibleTextInterface *text = accessible->textInterface();
    QVERIFY(text);
    m_tool->window->setUploadText(QStringLiteral("UPLOADING"));
    m_tool->window->appendUploadText(QStringLiteral("."));
    QTRY_COMPARE(text->text(0, text->characterCount()), QStringLiteral("UPLOADING."));
    m_tool->window->setUploadText(kComplete);
    QCOMPARE(text->text(0, text->characterCount()), kComplete);
}

void TestMainWindow::statusBoxRefusesTyping()
{
    auto *box = m_tool->window->findChild<QPlainTextEdit *>("UploadTextBox");
    m_tool->window->show();
    m_tool->window->setUploadText(QStringLiteral("UPLOADING.."));
    box->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("pasted"));

    // Every character typed reaches the key-press procedure, which drops it.
    QList<qint16> procedureSaw;
    static_cast<StatusBox *>(box)->setKeyPressProcedure([&](qint16 &keyAscii) {
        procedureSaw << keyAscii;
        m_tool->window->main().UploadTextBox_KeyPress(keyAscii);
    });
    QTest::keyClicks(box, QStringLiteral("a "));
    for (const int key : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(box, Qt::Key(key));
    QCOMPARE(procedureSaw, (QList<qint16>{'a', ' ', '\b', '\r', '\r'}));
    QTest::keySequence(box, QKeySequence::Paste);
    QTest::keySequence(box, QKeySequence::SelectAll);
    QTest::keySequence(box, QKeySequence::Cut);
    QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(box->toPlainText(), QStringLiteral("UPLOADING.."));

    // Copying what it shows still works.
    QTest::keySequence(box, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("UPLOADING.."));
}

void TestMainWindow::progressLineWrapsLikeOneLine()
{
    auto *box = m_tool->window->findChild<QPlainTextEdit *>("UploadTextBox");
    m_tool->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tool->window.get()));
    m_tool->window->setUploadText(QStringLiteral("UPLOADING"));
    constexpr int kDots = 3000;
    for (int i = 0; i < kDots; ++i) {
        m_tool->window->appendUploadText(QStringLiteral("."));
        // Shown in several batches, as a stream of reads shows them.
        if (i % 500 == 0)
            QTRY_COMPARE(box->toPlainText().count(u'.'), i + 1);
    }

    QCOMPARE(m_tool->window->uploadText(), QStringLiteral("UPLOADING") + QString(kDots, u'.'));
    QVERIFY(
        m_tool->window->uploadTextStartsWith(QStringLiteral("UPLOADING") + QString(kDots, u'.')));
    QVERIFY(!m_tool->window->uploadTextStartsWith(QStringLiteral("UPLOADING") +
                                                  QString(kDots + 1, u'.')));
    QVERIFY(!m_tool->window->uploadTextStartsWith(QStringLiteral("UPLOADING\n")));

    // The box shows dots that come in quick succession a moment later, all at once. On screen
    // they look like the one line wrapped at the box's edge: every screen line but the last is
    // full, and none wraps again.
    QTextDocument *document = box->document();
    QTRY_COMPARE(document->characterCount() - document->blockCount(), 9 + kDots);
    QVERIFY(document->blockCount() > 2);
    const qreal width = box->viewport()->width() - 2 * document->documentMargin();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        document->documentLayout()->blockBoundingRect(block);
        QCOMPARE(block.layout()->lineCount(), 1);
        if (block.next().isValid())
            QVERIFY(box->fontMetrics().horizontalAdvance(block.text() + u'.') >
                    width - box->cursorWidth());
    }
    // The view follows the newest dots: the last screen line shows, and the scroll bar's thumb
    // stands at its end.
    const QPoint bottom(0, box->viewport()->height() - 1);
    QCOMPARE(box->cursorForPosition(bottom).blockNumber(), document->blockCount() - 1);
    QVERIFY(box->verticalScrollBar()->maximum() > 0);
    QCOMPARE(box->verticalScrollBar()->value(), box->verticalScrollBar()->maximum());

    m_tool->window->setUploadText(kComplete);
    QCOMPARE(document->blockCount(), 1);
    QCOMPARE(m_tool->window->uploadText(), kComplete);
}

void TestMainWindow::noKeyPressesAButton()
{
    Instrument com1(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    Instrument com3(m_tool->devices.path(), QStringLiteral("ttyUSB2"));
    startTool();
    QList<std::shared_ptr<QSignalSpy>> spies;
    for (const char *name : {"ClearButton", "SaveButton", "ExitButton"})
        spies << std::make_shared<QSignalSpy>(m_tool->window->findChild<QPushButton *>(name),
                                              &QPushButton::clicked);

    // Typing an entry's text and Enter in the combo box opens nothing; Esc presses nothing.
    auto *combo = m_tool->window->findChild<QComboBox *>("ComComboBox");
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("COM 3"));
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    QTest::keyClick(combo, Qt::Key_Escape);
    QTest::keyClick(m_tool->window->findChild<QWidget *>("UploadTextBox"), Qt::Key_Return);

    QCOMPARE(m_tool->window->main().PortNumber, qint16(1));
    QCOMPARE(m_tool->window->serialPort().CommPort(), qint16(1));
    for (const auto &spy : spies)
        QCOMPARE(spy->count(), 0);
}

void TestMainWindow::keysPressTheFocusedButton_data()
{
    QTest::addColumn<Qt::Key>("key");

    QTest::newRow("Space") << Qt::Key_Space;
    QTest::newRow("Return") << Qt::Key_Return;
    QTest::newRow("Enter") << Qt::Key_Enter;
}

void TestMainWindow::keysPressTheFocusedButton()
{
    QFETCH(Qt::Key, key);

    Instrument com1(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    startTool();
    auto *clear = m_tool->window->findChild<QPushButton *>("ClearButton");
    QSignalSpy clicked(clear, &QPushButton::clicked);
    clear->setFocus();
    QTest::keyClick(clear, key);
    QCOMPARE(clicked.count(), 1);
}

void TestMainWindow::loadListsThePortsAndOpensTheFirst()
{
    Instrument com3(m_tool->devices.path(), QStringLiteral("ttyUSB2"));
    Instrument com12(m_tool->devices.path(), QStringLiteral("ttyACM3"));
    Instrument held(m_tool->devices.path(), QStringLiteral("ttyUSB4"));
    QtSerialPortService otherProgram;
    otherProgram.setCommPort(5);
    otherProgram.setPortOpen(true);
    startTool();

    auto *combo = m_tool->window->findChild<QComboBox *>("ComComboBox");
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("COM 3"));
    QCOMPARE(combo->itemText(1), QStringLiteral("COM 12"));
    // A port's description is made as its tool tip is about to show in the open list.
    QVERIFY(!combo->itemData(1, Qt::ToolTipRole).isValid());
    QAbstractItemView *list = combo->view();
    const QPoint onCom12 = list->visualRect(list->model()->index(1, 0)).center();
    QHelpEvent hover(QEvent::ToolTip, onCom12, list->viewport()->mapToGlobal(onCom12));
    QApplication::sendEvent(list->viewport(), &hover);
    QVERIFY(combo->itemData(1, Qt::ToolTipRole).toString().startsWith(com12.linkPath()));
    QCOMPARE(combo->currentText(), QStringLiteral("COM 3"));
    QCOMPARE(m_tool->window->caption(),
             QStringLiteral("Corvallen Brindlow Brackenfeld  ver " BRACKENFELD_VERSION));
    QVERIFY(m_tool->window->serialPort().PortOpen());
    QCOMPARE(m_tool->window->serialPort().CommPort(), qint16(3));
    QVERIFY(!m_tool->window->findChild<QPushButton *>("SaveButton")->isEnabled());
    QCOMPARE(m_tool->window->uploadText(), QString());
    QVERIFY(m_tool->responder.boxes.isEmpty());
}

void TestMainWindow::listFollowsDevicesThatComeAndGo()
{
    Instrument com1(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    Instrument com3(m_tool->devices.path(), QStringLiteral("ttyUSB2"));
    auto com12 = std::make_unique<Instrument>(m_tool->devices.path(), QStringLiteral("ttyACM3"));
    QVERIFY(writeFile(m_tool->window->configPath(), settingsFile(3, m_tool->devices.path())));
    startTool();
    auto *combo = m_tool->window->findChild<QComboBox *>("ComComboBox");
    const auto entries = [combo] {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    };
    // The open list highlights the port in use, not the first one that start-up tried.
    QCOMPARE(combo->currentIndex(), 1);

    Instrument com2(m_tool->devices.path(), QStringLiteral("ttyUSB1"));
    com12.reset();
    QTRY_COMPARE(entries(), (QStringList{"COM 1", "COM 2", "COM 3"}));
    QCOMPARE(combo->currentText(), QStringLiteral("COM 3"));
    QCOMPARE(combo->currentIndex(), 2);
    QVERIFY(m_tool->window->serialPort().PortOpen());
    QCOMPARE(m_tool->window->serialPort().CommPort(), qint16(3));
    QVERIFY(m_tool->responder.boxes.isEmpty());
}

void TestMainWindow::receivesLiveUploads_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<QStringList>("statuses");

    QTest::newRow("one write") << QList<QByteArray>{kTable} << QStringList{kComplete};
    QTest::newRow("four writes") << QList<QByteArray>{kTable.left(3), kTable.mid(3, 4),
                                                      kTable.mid(7, 4), kTable.mid(11)}
                                 << QStringList{"UPLOADING", "UPLOADING.", "UPLOADING..",
                                                kComplete};
}

void TestMainWindow::receivesLiveUploads()
{
    QFETCH(QList<QByteArray>, writes);
    QFETCH(QStringList, statuses);

    Instrument device(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    startTool();
    QStringList seen;
    for (const QByteArray &bytes : writes) {
        QVERIFY(device.write(bytes));
        pumpUntilDelivered(device);
        seen << m_tool->window->uploadText();
    }
    QCOMPARE(seen, statuses);
    QCOMPARE(m_tool->window->main().UploadData, kTableText);
    QVERIFY(m_tool->window->findChild<QPushButton *>("SaveButton")->isEnabled());
}

void TestMainWindow::checksumErrorShowsItsMessage()
{
    Instrument device(m_tool->devices.path(), QStringLiteral("ttyUSB0"));
    startTool();
    QVERIFY(device.write(frame("abc", "00297")));
    pumpUntil(*m_tool->window, [this] { return !m_tool->responder.boxes.isEmpty(); });

    const BoxResponder::Box box = m_tool->responder.boxes.first();
    QCOMPARE(box.title, QStringLiteral("Brackenfeld"));
    QCOMPARE(box.text, QStringLiteral("Checksum error in uploaded data"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(m_tool->window->uploadText(), QString());
}

void TestMainWindow::onlyYesOrNoAnswersAQuestion_data()
{
    using Buttons = WindowOperations::Buttons;
    using Answer = WindowOperations::Answer;
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<QList<QMessageBox::StandardButton>>("presses");
    QTest::addColumn<Answer>("answer");
    // The button that Enter presses.
    QTest::addColumn<QMessageBox::StandardButton>("enter");

    const auto escape = BoxResponder::kEscape;
    const auto closeBox = BoxResponder::kCloseBox;
    QTest::newRow("Yes/No: Esc, then Yes")
        << Buttons::YesNo << QList{escape, QMessageBox::Yes} << Answer::Yes << QMessageBox::Yes;
    QTest::newRow("Yes/No: the close box and Esc, then No")
        << Buttons::YesNo << QList{closeBox, escape, QMessageBox::No} << Answer::No
        << QMessageBox::Yes;
    QTest::newRow("Yes/No, No the default: Esc, then Yes")
        << Buttons::YesNoDefaultNo << QList{escape, QMessageBox::Yes} << Answer::Yes
        << QMessageBox::No;
    QTest::newRow("Retry/Cancel: Esc cancels")
        << Buttons::RetryCancel << QList{escape} << Answer::Cancel << QMessageBox::Retry;
    QTest::newRow("Retry/Cancel: the close box cancels")
        << Buttons::RetryCancel << QList{closeBox} << Answer::Cancel << QMessageBox::Retry;
    QTest::newRow("OK: Esc") << Buttons::Ok << QList{escape} << Answer::Ok << QMessageBox::Ok;
}

void TestMainWindow::onlyYesOrNoAnswersAQuestion()
{
    QFETCH(WindowOperations::Buttons, buttons);
    QFETCH(QList<QMessageBox::StandardButton>, presses);
    QFETCH(WindowOperations::Answer, answer);
    QFETCH(QMessageBox::StandardButton, enter);

    m_tool->window->show();
    m_tool->responder.presses = presses;
    QCOMPARE(m_tool->window->messageBox(QStringLiteral("Do you want to save before exiting?"),
                                        buttons, WindowOperations::Icon::None),
             answer);
    // One box took every press.
    QCOMPARE(m_tool->responder.boxes.size(), 1);
    QVERIFY(m_tool->responder.presses.isEmpty());
    QCOMPARE(m_tool->responder.boxes[0].defaultButton, enter);
}

void TestMainWindow::pickingAnotherPortMovesTheOpenPort()
{
    Instrument com3(m_tool->devices.path(), QStringLiteral("ttyUSB2"));
    Instrument com12(m_tool->devices.path(), QStringLiteral("ttyACM3"));
    startTool();
    auto *combo = m_tool->window->findChild<QComboBox *>("ComComboBox");
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);

    QCOMPARE(m_tool->window->main().PortNumber, qint16(12));
    QCOMPARE(m_tool->window->serialPort().CommPort(), qint16(12));
    QVERIFY(m_tool->window->serialPort().PortOpen());
    QVERIFY(com12.write(kTable));
    pumpUntil(*m_tool->window, [this] { return m_tool->window->uploadText() == kComplete; });

    // Picking the open port again closes and reopens it.
    QTest::keyClick(combo, Qt::Key_Down);
    QVERIFY(m_tool->window->serialPort().PortOpen());
    QCOMPARE(m_tool->window->main().PortNumber, qint16(12));
}

void TestMainWindow::refusedChoiceAndPulledCableAreWaitedOut()
{
    auto com3 = std::make_unique<Instrument>(m_tool->devices.path(), QStringLiteral("ttyUSB2"));
    auto com12 = std::make_unique<Instrument>(m_tool->devices.path(), QStringLiteral("ttyACM3"));
    startTool();

    // COM 12 goes away before the user picks it: the tool says so and keeps running.
    com12.reset();
    auto *combo = m_tool->window->findChild<QComboBox *>("ComComboBox");
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    QCOMPARE(m_tool->responder.boxes.size(), 1);
    QVERIFY(m_tool->responder.boxes[0].text.startsWith(kCable + QLatin1Char('\n')));
    QVERIFY(m_tool->responder.boxes[0].text.contains(QStringLiteral("COM 12")));
    QCOMPARE(m_tool->window->main().PortNumber, qint16(12));
    QVERIFY(!m_tool->window->serialPort().PortOpen());

    // Plugged in again, it is reopened within about a second, without a word.
    com12 = std::make_unique<Instrument>(m_tool->devices.path(), QStringLiteral("ttyACM3"));
    QTRY_VERIFY_WITH_TIMEOUT(m_tool->window->serialPort().PortOpen(), 5000);
    QCOMPARE(m_tool->responder.boxes.size(), 1);

    // The cable is pulled in the middle of an upload: the cut-off upload is dropped, and the
    // user is told to send it again.
    QVERIFY(com12->write(kTable.left(6)));
    pumpUntilDelivered(*com12);
    com12->hangUp();
    pumpUntil(*m_tool->window, [this] { return m_tool->responder.boxes.size() == 2; });
    QVERIFY(m_tool->responder.boxes[1].text.startsWith(kCable));
    QVERIFY(m_tool->responder.boxes[1].text.contains(QStringLiteral("cut off")));
    QVERIFY(!m_tool->window->serialPort().PortOpen());

    com12 = std::make_unique<Instrument>(m_tool->devices.path(), QStringLiteral("ttyACM3"));
    pumpUntil(*m_tool->window, [this] { return m_tool->window->serialPort().PortOpen(); });
    QVERIFY(com12->write(kTable));
    pumpUntil(*m_tool->window, [this] { return m_tool->window->uploadText() == kComplete; });
    QCOMPARE(m_tool->window->main().UploadData, kTableText);
    QCOMPARE(m_tool->responder.boxes.size(), 2);
}

void TestMainWindow::exitWritesTheSettingsAndEnds()
{
    Instrument device(m_tool->devices.path(), QStringLiteral("ttyUSB1"));
    startTool();
    QTest::mouseClick(m_tool->window->findChild<QPushButton *>("ExitButton"), Qt::LeftButton);

    QVERIFY(m_tool->responder.boxes.isEmpty());
    QCOMPARE(m_tool->window->endedWith, QList<int>{0});
    QVERIFY(!m_tool->window->serialPort().PortOpen());
    QCOMPARE(readFile(m_tool->window->configPath()),
             settingsFile(2, m_tool->window->programFolder()));
}

void TestMainWindow::terminationSignalClosesTheWindow_data()
{
    QTest::addColumn<int>("signal");

    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
}

void TestMainWindow::terminationSignalClosesTheWindow()
{
    QFETCH(int, signal);

    Instrument device(m_tool->devices.path(), QStringLiteral("ttyUSB1"));
    startTool();
    QCOMPARE(std::raise(signal), 0);
    // Nothing was unsaved: no question, and the process ended well.
    QTRY_COMPARE(m_tool->window->endedWith, QList<int>{0});
    QVERIFY(m_tool->responder.boxes.isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
