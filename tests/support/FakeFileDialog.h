#pragma once

#include "storage/FileDialogService.h"

#include <QStringList>

// A file dialog whose user answers from a queue of names; kCancel, or an empty queue, cancels.
class FakeFileDialog : public FileDialogService
{
public:
    static inline const QString kCancel = QStringLiteral("(cancel)");

    bool cancelError = false;
    qint32 flags = 0;
    QString filter;
    int filterIndex = -1;
    QString fileName;
    QString initDir;
    QStringList choices;
    QStringList shownIn; // the InitDir of every showing

    void setCancelError(bool value) override { cancelError = value; }
    void setFlags(qint32 value) override { flags = value; }
    void setFilter(const QString &value) override { filter = value; }
    void setFilterIndex(int value) override { filterIndex = value; }
    void ShowOpen() override
    {
        shownIn << initDir;
        const QString choice = choices.isEmpty() ? kCancel : choices.takeFirst();
        if (choice == kCancel) {
            if (cancelError)
                throw DialogCancelled();
            return;
        }
        fileName = choice;
    }
    QString FileName() const override { return fileName; }
    QString InitDir() const override { return initDir; }
    void setInitDir(const QString &folder) override { initDir = folder; }
};
