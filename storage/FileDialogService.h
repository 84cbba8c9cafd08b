#pragma once

#include "common/PlatformError.h"

#include <QString>

// What ShowOpen throws when the user cancels and CancelError is set.
class DialogCancelled : public PlatformError
{
public:
    DialogCancelled() : PlatformError(QStringLiteral("The dialog was cancelled")) {}
};

// The file dialog through which the user names a file, under the dialog component's own names.
// Its initial folder doubles as the tool's memory of the last folder.
class FileDialogService
{
public:
    // Flags bits: ask before an existing file is overwritten; refuse a typed name whose folder
    // does not exist.
    static constexpr qint32 kOverwritePrompt = 0x2;
    static constexpr qint32 kPathMustExist = 0x800;

    virtual ~FileDialogService() = default;

    // When set, a cancelled ShowOpen throws DialogCancelled instead of returning.
    virtual void setCancelError(bool cancelError) = 0;
    virtual void setFlags(qint32 flags) = 0;
    // Pairs of description and pattern separated by bars: "XLS Files (*.xls)|*.xls|". Under the
    // first file type a name is used as typed; under another, a name typed without an extension
    // gets the type's: "run1" => "run1.csv".
    virtual void setFilter(const QString &filter) = 0;
    // 0 and 1 both select the first file type of the filter.
    virtual void setFilterIndex(int index) = 0;

    // Shows the dialog in its open-file form, modally, starting in InitDir.
    virtual void ShowOpen() = 0;
    virtual QString FileName() const = 0;

    // Kept exactly as set; nothing checks that the folder exists.
    virtual QString InitDir() const = 0;
    virtual void setInitDir(const QString &folder) = 0;
};
