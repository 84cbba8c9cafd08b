#include "app/MainWindow.h"

#include "app/Accessibility.h"
#include "app/RecoveryDialog.h"
#include "app/StatusBox.h"
#include "common/YesNoBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QThread>
#include <QWindow>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr double kTwipsPerInch = 1440.0;

QFont designedFont(const QStringList &families, QFont::StyleHint fallback)
{
    // The designed family first, then families drawn to the same widths; where none is
    // installed, the style hint picks the nearest regular one.
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(fallback);
    font.setPixelSize(13);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

MainWindow::MainWindow(ProcessEnd endProcess, Pauses pauses, const QString &unsavedFolder,
                       QWidget *parent)
    : QWidget(parent), m_comm(pauses.probe, pauses.probesFrom),
      m_dialog(this, Main::kApplicationTitle), m_main(*this, m_comm, m_dialog, unsavedFolder),
      m_endProcess(std::move(endProcess))
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Corvallen Brindlow Brackenfeld"));
    setFont(designedFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                          QStringLiteral("Liberation Sans"), QStringLiteral("Arial")},
                         QFont::SansSerif));
    setFixedSize(417, 353);
    installAccessibleInterfaces();
    m_retryTimer.setInterval(pauses.portRetry);
    createControls();
    connectEvents();
}

void MainWindow::createControls()
{
    m_comboBox = new QComboBox(this);
    m_comboBox->setObjectName(QStringLiteral("ComComboBox"));
    m_comboBox->setEditable(true);
    m_comboBox->setInsertPolicy(QComboBox::NoInsert);
    m_comboBox->setGeometry(68, 324, 81, 24);
    m_comboBox->view()->viewport()->installEventFilter(this);
    // Typing in the text field picks no entry: Qt would otherwise select an entry whose text was
    // typed when Enter is pressed or the field loses focus, and that would open its port.
    QObject::disconnect(m_comboBox->lineEdit(), SIGNAL(returnPressed()), m_comboBox, nullptr);
    QObject::disconnect(m_comboBox->lineEdit(), SIGNAL(editingFinished()), m_comboBox, nullptr);

    m_clearButton = createButton(QStringLiteral("Clear"), QStringLiteral("ClearButton"), 164);
    m_saveButton = createButton(QStringLiteral("Save"), QStringLiteral("SaveButton"), 252);

    m_statusBox = new StatusBox(this);
    m_statusBox->setObjectName(QStringLiteral("UploadTextBox"));
    m_statusBox->setFont(
        designedFont({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                      QStringLiteral("Cousine")},
                     QFont::TypeWriter));
    m_statusBox->setGeometry(4, 4, 409, 309);
    m_statusBox->setAccessibleName(QStringLiteral("Status"));

    m_label = new QLabel(QStringLiteral("COM Port"), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setGeometry(4, 328, 57, 17);
    // It names the combo box, for assistive technology too.
    m_label->setBuddy(m_comboBox);

    m_exitButton = createButton(QStringLiteral("Exit"), QStringLiteral("ExitButton"), 340);
    setTabOrder(m_comboBox, m_clearButton);
    setTabOrder(m_clearButton, m_saveButton);
    setTabOrder(m_saveButton, m_statusBox);
    setTabOrder(m_statusBox, m_exitButton);
    m_comboBox->setFocus();
}

QPushButton *MainWindow::createButton(const QString &text, const QString &name, int left)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(name);
    button->setGeometry(left, 320, 73, 29);
    // No button is a default button: Enter presses only the focused one (see eventFilter).
    button->setAutoDefault(false);
    button->setDefault(false);
    button->installEventFilter(this);
    return button;
}

void MainWindow::connectEvents()
{
    const auto procedure = [this](void (Main::*run)()) {
        return [this, run] { m_main.runProcedure([this, run] { (m_main.*run)(); }); };
    };
    connect(m_clearButton, &QPushButton::clicked, this, procedure(&Main::ClearButton_Click));
    connect(m_saveButton, &QPushButton::clicked, this, procedure(&Main::SaveButton_Click));
    connect(m_exitButton, &QPushButton::clicked, this, procedure(&Main::ExitButton_Click));
    connect(m_comboBox, &QComboBox::activated, this, procedure(&Main::ComComboBox_Click));
    m_statusBox->setKeyPressProcedure(
        [this](qint16 &keyAscii) { m_main.UploadTextBox_KeyPress(keyAscii); });
    connect(&m_retryTimer, &QTimer::timeout, this, procedure(&Main::retryPort));
    // A termination signal and the end of the desktop session close the window as its close
    // box does: an unsaved upload is offered first.
    connect(&m_termination, &TerminationSignals::requested, this, &MainWindow::unload);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &session) {
        // Asks the session for the moment it takes to answer the save question.
        session.allowsInteraction();
        unload();
    });
}

void MainWindow::load()
{
    m_main.runProcedure([this] { m_main.Form_Load(); });
    // From here on the list follows the ports that come and go.
    m_comm.watchPorts([this] { m_main.runProcedure([this] { m_main.updateComPortList(); }); });
}

void MainWindow::runActivated()
{
    // The receive loop runs from the window's activation. It is started from here, outside any
    // event dispatch, because Qt delivers no repaints to a loop nested inside one. A window
    // manager that shows the window without activating it still gets a running tool.
    while (!isActiveWindow() && !(windowHandle() && windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    m_main.runProcedure([this] { m_main.Form_Activate(); });
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->setAccepted(unload());
}

bool MainWindow::unload()
{
    qint16 cancel = 0;
    m_main.runProcedure([this, &cancel] { m_main.Form_Unload(cancel); });
    return cancel == 0;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_comboBox->view()->viewport()) {
        // The list's own handling then shows the description.
        if (event->type() == QEvent::ToolTip)
            describePortAt(static_cast<QHelpEvent *>(event)->pos());
        return QWidget::eventFilter(watched, event);
    }
    // Return and Enter press the focused button as Space does. No button is a default button, so
    // none of them takes Enter while the focus is elsewhere.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            static_cast<QPushButton *>(watched)->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::processEvents(bool mayWait)
{
    QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents;
    if (mayWait)
        flags |= QEventLoop::WaitForMoreEvents;
    QCoreApplication::processEvents(flags);
}

void MainWindow::pause(int milliseconds)
{
    QThread::msleep(milliseconds);
}

QString MainWindow::uploadText() const
{
    return m_statusBox->text();
}

bool MainWindow::uploadTextStartsWith(const QString &prefix) const
{
    return m_statusBox->textStartsWith(prefix);
}

void MainWindow::setUploadText(const QString &text)
{
    m_statusBox->setText(text);
}

void MainWindow::appendUploadText(const QString &text)
{
    m_statusBox->appendText(text);
}

void MainWindow::setSaveEnabled(bool enabled)
{
    m_saveButton->setEnabled(enabled);
}

void MainWindow::showBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

WindowOperations::Answer MainWindow::messageBox(const QString &text, Buttons buttons, Icon icon,
                                                const QString &otherButton)
{
    const QMessageBox::Icon shown =
        icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon;
    if (buttons == Buttons::YesNo || buttons == Buttons::YesNoDefaultNo) {
        YesNoBox box(shown, Main::kApplicationTitle, text, this);
        if (buttons == Buttons::YesNoDefaultNo)
            box.setDefaultButton(QMessageBox::No);
        return box.ask() ? Answer::Yes : Answer::No;
    }
    QMessageBox box(
        shown, Main::kApplicationTitle, text,
        buttons == Buttons::Ok ? QMessageBox::Ok : QMessageBox::Retry | QMessageBox::Cancel, this);
    const QAbstractButton *other =
        otherButton.isEmpty() ? nullptr : box.addButton(otherButton, QMessageBox::AcceptRole);
    const int answer = box.exec();
    if (other && box.clickedButton() == other)
        return Answer::Other;
    // OK, Cancel, or the box closed with Esc or its close box.
    return answer == QMessageBox::Retry ? Answer::Retry : closedAnswer(buttons);
}

void MainWindow::showRecoveryDialog(const QList<KeptUploadRow> &rows, const QString &folder,
                                    const RecoveryHandler &handle)
{
    RecoveryDialog dialog(rows, folder, handle, this);
    dialog.exec();
}

void MainWindow::clearComPorts()
{
    m_comboBox->clear();
    m_portDescriptions.clear();
}

void MainWindow::insertComPort(int index, const QString &entry, std::function<QString()> describe)
{
    // Qt would otherwise show an entry as the text of a list that was empty.
    const QString shown = m_comboBox->currentText();
    m_comboBox->insertItem(index, entry);
    m_portDescriptions.insert(m_portDescriptions.begin() + index, std::move(describe));
    setComPortText(shown);
}

void MainWindow::removeComPort(int index)
{
    const QString shown = m_comboBox->currentText();
    m_comboBox->removeItem(index);
    m_portDescriptions.erase(m_portDescriptions.begin() + index);
    setComPortText(shown);
}

void MainWindow::describePortAt(const QPoint &position)
{
    const QModelIndex item = m_comboBox->view()->indexAt(position);
    if (item.isValid() && !item.data(Qt::ToolTipRole).isValid())
        m_comboBox->setItemData(item.row(), m_portDescriptions.at(item.row())(), Qt::ToolTipRole);
}

int MainWindow::comPortCount() const
{
    return m_comboBox->count();
}

void MainWindow::selectComPort(int index)
{
    m_comboBox->setCurrentIndex(index);
    m_main.ComComboBox_Click();
}

QString MainWindow::comPortText() const
{
    return m_comboBox->currentText();
}

void MainWindow::setComPortText(const QString &text)
{
    // The open list highlights the entry of the port shown, none where it is not listed. Setting
    // the current entry does not count as a pick: no port is opened.
    m_comboBox->setCurrentIndex(m_comboBox->findText(text));
    m_comboBox->setEditText(text);
}

QString MainWindow::caption() const
{
    return windowTitle();
}

void MainWindow::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

double MainWindow::twipsPerPixel() const
{
    return kTwipsPerInch / logicalDpiX();
}

QSizeF MainWindow::outerSizeTwips() const
{
    return QSizeF(frameGeometry().size()) * twipsPerPixel();
}

QSizeF MainWindow::screenSizeTwips() const
{
    return QSizeF(screen()->geometry().size()) * twipsPerPixel();
}

void MainWindow::moveTwips(double left, double top)
{
    move(qRound(left / twipsPerPixel()), qRound(top / twipsPerPixel()));
}

QString MainWindow::programFolder() const
{
    return QCoreApplication::applicationDirPath();
}

void MainWindow::setPortRetryActive(bool active)
{
    if (active)
        m_retryTimer.start();
    else
        m_retryTimer.stop();
}

void MainWindow::endProcess(int status)
{
    if (m_endProcess) {
        m_endProcess(status);
        return;
    }
    // Nothing runs after this: no window event, no destructor. Files are closed by then.
    std::fflush(nullptr);
    std::_Exit(status);
}
