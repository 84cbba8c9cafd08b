#include "app/Main.h"

#include "common/PlatformError.h"

Main::Main(WindowOperations &window, SerialPortService &comm, FileDialogService &dialog,
           const QString &unsavedFolder)
    : m_window(window), MSComm1(comm), CommonDialog1(dialog), m_unsaved(unsavedFolder)
{}

void Main::UploadTextBox_KeyPress(qint16 &keyAscii)
{
    // The status box only ever shows what the tool writes into it.
    keyAscii = 0;
}

void Main::MSComm1_OnComm()
{
    // The port is read only by the receive loop's polling.
}

void Main::runProcedure(const std::function<void()> &procedure)
{
    try {
        procedure();
    } catch (const PlatformError &error) {
        // The port goes first: an open port leaves its lock file behind when the process ends.
        try {
            closePort();
        } catch (const PlatformError &) {
        }
        m_window.messageBox(error.message(), WindowOperations::Buttons::Ok,
                            WindowOperations::Icon::Critical);
        endProcess(1);
    }
}

void Main::closePort()
{
    if (MSComm1.PortOpen())
        MSComm1.setPortOpen(false);
}

void Main::endProcess(int status)
{
    m_processEnded = true;
    m_window.endProcess(status);
}
