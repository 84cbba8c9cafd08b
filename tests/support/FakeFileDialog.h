#pragma once

#include "storage/FileDialogService.h"

#include <QStringList>

// A file dialog whose user answers from a queue of names; an empty queue cancels.
class FakeFileDialog : public FileDialogService
{
public:
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
        if (choices.isEmpty()) {
            if (cancelError)
                throw DialogCancelled();
            return;
        }
        fileName = choices.takeFirst();
    }
    QString FileName() const override { return fileName; }
    QString InitDir() const override { return initDir; }
    void setInitDir(const QString &folder) override { initDir = folder; }
};
