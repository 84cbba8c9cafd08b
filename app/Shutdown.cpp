#include "app/Main.h"

void Main::ExitButton_Click()
{
    Form_Terminate();
}

void Main::Form_Unload(qint16 &)
{
    // The close is never refused: shut-down ends the process before it could be.
    Form_Terminate();
}

void Main::Form_Terminate()
{
    // A second request while the question or the file dialog is open joins the first.
    if (m_terminating)
        return;
    m_terminating = true;
    // Only No gives up an unsaved upload: a save that Yes started and that did not complete
    // (cancelled, or refused with its reason shown) asks again.
    while (DataSaved == 0 &&
           m_window.messageBox(QStringLiteral("Do you want to save before exiting?"),
                               WindowOperations::Buttons::YesNo,
                               WindowOperations::Icon::None) == WindowOperations::Answer::Yes)
        SaveButton_Click();
    SaveConfigFile();
    closePort();
    endProcess(0);
}
