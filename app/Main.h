#pragma once

#include "app/WindowOperations.h"
#include "serial/SerialPortService.h"
#include "storage/FileDialogService.h"
#include "storage/UnsavedUploads.h"
#include "upload/FrameScanner.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The tool's one window object: it holds all of the tool's state and every procedure, each
// named after its control and event. It works through the window operations, the serial port
// MSComm1 and the file dialog CommonDialog1, so that all of it runs without a display.
//
// The procedures are defined beside the subsystem they belong to: the receive loop in upload/,
// port discovery in serial/, the configuration file and saving in storage/, start-up and
// shut-down in app/.
class Main
{
public:
    static inline const QString kApplicationTitle = QStringLiteral("Brackenfeld");
    static inline const QString kCableMessage = QStringLiteral("Make sure USB cable is connected");

    // Uploads not saved yet are kept in unsavedFolder until the user decides.
    Main(WindowOperations &window, SerialPortService &comm, FileDialogService &dialog,
         const QString &unsavedFolder = UnsavedUploads::defaultFolder());

    // The window's state.
    QByteArray FrameStart; // the frame start character, code 2
    qint16 PortNumber = 0; // serial port in use; 0 = no port found
    QString ConfigPath;    // full path of "uploader.cfg"
    QByteArray FrameEnd;   // the frame end character, code 4
    qint16 DataSaved = 1;  // 1 = nothing unsaved; 0 = a decoded upload is not saved yet
    QByteArray UploadData; // the last decoded upload: what a save writes
    QString SaveFileName;  // the file name last returned by the file dialog

    // Window events.
    void Form_Load();
    void Form_Activate();
    void Form_Unload(qint16 &cancel);
    void Form_Terminate();

    // Control events.
    void ClearButton_Click();
    void SaveButton_Click();
    void ExitButton_Click();
    void ComComboBox_Click();
    void UploadTextBox_KeyPress(qint16 &keyAscii);
    void MSComm1_OnComm();

    // One poll of the receive loop, run after each dispatch of window events.
    void pollPort();
    // Whether the loop may block in its dispatch: only while no character is waiting.
    bool mayWaitForEvents();
    // Runs about once a second while a lost or refused port is waited for.
    void retryPort();
    // Runs whenever ports may have come or gone: the list follows them.
    void updateComPortList();

    // Characters received since the last decoded upload, not yet a whole frame.
    const QByteArray &receivedCharacters() const { return m_received.characters(); }

    // Runs a procedure for a window event as the platform does: a failure that no procedure
    // guards is reported, and ends the program.
    void runProcedure(const std::function<void()> &procedure);

private:
    void BuildComPortList();
    void LoadConfigFile();
    void SaveConfigFile();

    // Takes in the characters waiting at the port; returns how many there were.
    qsizetype receiveWaiting();
    // Acts on every whole frame received. A checksum error that was reported covers the damaged
    // frames that had arrived by the time the user dismissed its message.
    void actOnFrames();
    void takeDecodedUpload(const QByteArray &upload);
    // Keeps an upload on disk until the user decides; nothing where the disk takes no copy, and the
    // user is told of that once.
    std::optional<KeptUpload> keepUntilSaved(const QByteArray &upload);
    void forgetKeptUpload();
    // At start-up, the uploads that programs which have ended never saved, in one dialog.
    void offerUnsavedUploads();
    // The dialog's requests, on the uploads it lists; each returns the rows it dealt with.
    QList<int> saveKeptUploads(std::vector<KeptUpload> &kept, const QList<int> &rows,
                               const QString &folder, const QString &suffix);
    QList<int> saveKeptUploadThroughDialog(std::vector<KeptUpload> &kept, int row);
    QList<int> discardKeptUploads(std::vector<KeptUpload> &kept, const QList<int> &rows);
    // The kept upload, or nothing where it cannot be read, which the user is told of.
    std::optional<QByteArray> readKeptUpload(const KeptUpload &kept);
    // Asks the question until the user answers No, or Yes and the save completes; true when saved.
    bool askToSave(const QString &question, const std::function<bool()> &save);
    // The file dialog, then the file: true when the upload was written.
    bool saveThroughDialog(const QByteArray &upload);
    void reportDeviceLoss();
    // Forgets a frame whose start has come but whose end will not; true if there was one.
    bool dropUnfinishedFrame();
    void gatherIfTrickling(qsizetype received);
    // Adds the port's entry to the list, in order.
    void listComPort(qint16 port);
    void openChosenPort();
    void waitForPort(const QString &reason);
    // The guarded open of start-up: true once open, or once the user gave up and the process ended.
    bool openStartupPort();
    void closePort();
    void endProcess(int status);

    WindowOperations &m_window;
    SerialPortService &MSComm1;
    FileDialogService &CommonDialog1;
    FrameScanner m_received;
    UnsavedUploads m_unsaved;
    std::optional<KeptUpload> m_keptUpload; // UploadData's copy on disk while it is not saved
    bool m_toldUploadsAreNotKept = false;
    QList<qint16> m_listedPorts;  // the ports of the list's entries, in order
    QList<qint16> m_probedPorts;  // the ports present at the last look, each probed once
    QString m_firstRefusal;       // why discovery's first device there did not open
    bool m_tricklePolled = false; // the last poll that found characters found only a few
    bool m_loopRunning = false;
    bool m_processEnded = false;
    bool m_terminating = false;
};
