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
    if (DataSaved == 0)
        askToSave(QStringLiteral("Do you want to save before exiting?"), [this] {
            SaveButton_Click();
            return DataSaved == 1;
        });
    // Given up by the user's No; a saved upload has no copy left to forget.
    forgetKeptUpload();
    SaveConfigFile();
    closePort();
    endProcess(0);
}
