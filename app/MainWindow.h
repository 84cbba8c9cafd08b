#pragma once

#include "app/Main.h"
#include "app/TerminationSignals.h"
#include "app/WindowOperations.h"
#include "serial/QtSerialPortService.h"
#include "storage/QtFileDialogService.h"

#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class StatusBox;

// The tool's two waits. Tests that are not about them shorten them.
struct Pauses
{
    // Before discovery probes the ports, counted the first time from probesFrom.
    std::chrono::milliseconds probe = std::chrono::seconds(1);
    // Between the tries of a lost or refused port.
    std::chrono::milliseconds portRetry = std::chrono::seconds(1);
    std::chrono::steady_clock::time_point probesFrom = std::chrono::steady_clock::now();
};

// The window the user sees. It lays out the controls, supplies the window operations and routes
// every event to the procedure of Main that handles it; it decides nothing itself.
class MainWindow : public QWidget, public WindowOperations
{
    Q_OBJECT

public:
    using ProcessEnd = std::function<void(int status)>;

    // endProcess ends the program; tests pass one that only records the status, and a folder of
    // their own for the uploads not saved yet.
    explicit MainWindow(ProcessEnd endProcess = {}, Pauses pauses = {},
                        const QString &unsavedFolder = UnsavedUploads::defaultFolder(),
                        QWidget *parent = nullptr);

    Main &main() { return m_main; }
    QtSerialPortService &serialPort() { return m_comm; }

    // Runs the load procedure; the caller shows the window afterwards.
    void load();
    // Waits until the window is up, then runs the activation procedure: the receive loop, which
    // returns only where the process end is replaced (tests).
    void runActivated();

    // The status box's text, for tests.
    QString uploadText() const;

    // The window operations.
    void processEvents(bool mayWait) override;
    void pause(int milliseconds) override;
    bool uploadTextStartsWith(const QString &prefix) const override;
    void setUploadText(const QString &text) override;
    void appendUploadText(const QString &text) override;
    void setSaveEnabled(bool enabled) override;
    void showBusy(bool busy) override;
    Answer messageBox(const QString &text, Buttons buttons, Icon icon,
                      const QString &otherButton = {}) override;
    void showRecoveryDialog(const QList<KeptUploadRow> &rows, const QString &folder,
                            const RecoveryHandler &handle) override;
    void clearComPorts() override;
    void insertComPort(int index, const QString &entry, std::function<QString()> describe) override;
    void removeComPort(int index) override;
    int comPortCount() const override;
    void selectComPort(int index) override;
    QString comPortText() const override;
    void setComPortText(const QString &text) override;
    QString caption() const override;
    void setCaption(const QString &caption) override;
    QSizeF outerSizeTwips() const override;
    QSizeF screenSizeTwips() const override;
    void moveTwips(double left, double top) override;
    QString programFolder() const override;
    void setPortRetryActive(bool active) override;
    void endProcess(int status) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    // A push button of the bottom row, whose controls all stand at the same height.
    QPushButton *createButton(const QString &text, const QString &name, int left);
    void connectEvents();
    double twipsPerPixel() const;
    // Runs the unload procedure; false if it refused the close.
    bool unload();
    // Gives the port listed at this place of the open list its description, once.
    void describePortAt(const QPoint &position);

    QtSerialPortService m_comm;
    QtFileDialogService m_dialog;
    Main m_main;
    ProcessEnd m_endProcess;
    QTimer m_retryTimer;
    TerminationSignals m_termination;

    QComboBox *m_comboBox = nullptr;
    std::vector<std::function<QString()>> m_portDescriptions;
    QPushButton *m_clearButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    StatusBox *m_statusBox = nullptr;
    QLabel *m_label = nullptr;
    QPushButton *m_exitButton = nullptr;
};
