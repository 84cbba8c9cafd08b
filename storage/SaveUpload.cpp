#include "app/Main.h"
#include "common/PlatformError.h"
#include "storage/UploadFile.h"

#include <QDir>
#include <QScopeGuard>

namespace {

// Ask before overwriting (the open form never asks), hide the read-only box, and refuse a name
// whose folder does not exist.
constexpr qint32 kSaveDialogFlags = 2054;
// The first type, selected when the dialog opens, takes a name as typed; the others give a name
// typed without an extension theirs. The extension picks the format the file is written in.
const QString kSaveFilter = QStringLiteral("XLS Files (*.xls)|*.xls|"
                                           "Excel Workbook (*.xlsx)|*.xlsx|"
                                           "CSV (*.csv)|*.csv|"
                                           "Text (*.txt *.tsv)|*.txt;*.tsv|");

#ifdef Q_OS_WIN
constexpr bool kPathsHaveDrives = true;
#else
constexpr bool kPathsHaveDrives = false;
#endif

} // namespace

void Main::SaveButton_Click()
{
    if (!saveThroughDialog(UploadData))
        return;
    DataSaved = 1;
    forgetKeptUpload();
}

bool Main::saveThroughDialog(const QByteArray &upload)
{
    CommonDialog1.setCancelError(true);
    try {
        CommonDialog1.setFlags(kSaveDialogFlags);
        CommonDialog1.setFilter(kSaveFilter);
        CommonDialog1.setFilterIndex(0);
        CommonDialog1.ShowOpen();
    } catch (const PlatformError &) {
        // Cancelling the dialog ends the save quietly.
        return false;
    }
    SaveFileName = CommonDialog1.FileName();
    if (SaveFileName.isEmpty())
        return false;
    try {
        // A large workbook takes seconds.
        m_window.showBusy(true);
        const auto notBusy = qScopeGuard([this] { m_window.showBusy(false); });
        writeUploadFile(SaveFileName, upload);
    } catch (const PlatformError &error) {
        // The upload stays unsaved, so it is offered again.
        m_window.messageBox(QStringLiteral("The upload could not be saved to %1:\n%2")
                                .arg(QDir::toNativeSeparators(SaveFileName), error.message()),
                            WindowOperations::Buttons::Ok, WindowOperations::Icon::Critical);
        return false;
    }
    // In the system's own form, as the settings file keeps it: C:\Data on Windows.
    if (const auto folder = savedFileFolder(QDir::toNativeSeparators(SaveFileName),
                                            QDir::separator(), kPathsHaveDrives))
        CommonDialog1.setInitDir(*folder);
    return true;
}

bool Main::askToSave(const QString &question, const std::function<bool()> &save)
{
    // Only No gives the upload up: a save that did not complete (cancelled, or refused with its
    // reason shown) asks again.
    while (m_window.messageBox(question, WindowOperations::Buttons::YesNo,
                               WindowOperations::Icon::None) == WindowOperations::Answer::Yes) {
        if (save())
            return true;
    }
    return false;
}
