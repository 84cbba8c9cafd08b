#pragma once

#include "storage/FileDialogService.h"

#include <QPointer>
#include <QString>
#include <QWidget>

// The file dialog on Qt's own QFileDialog, not the platform's: a platform dialog in its open form
// refuses the name of a file that does not exist yet, and tests cannot drive it.
class QtFileDialogService : public FileDialogService
{
public:
    // The dialog's questions carry questionTitle, as the tool's message boxes do.
    QtFileDialogService(QWidget *parent, const QString &questionTitle);

    void setCancelError(bool cancelError) override { m_cancelError = cancelError; }
    void setFlags(qint32 flags) override { m_flags = flags; }
    void setFilter(const QString &filter) override { m_filter = filter; }
    void setFilterIndex(int index) override { m_filterIndex = index; }

    void ShowOpen() override;
    QString FileName() const override { return m_fileName; }

    QString InitDir() const override { return m_initDir; }
    void setInitDir(const QString &folder) override { m_initDir = folder; }

private:
    QPointer<QWidget> m_parent;
    QString m_questionTitle;
    bool m_cancelError = false;
    qint32 m_flags = 0;
    QString m_filter;
    int m_filterIndex = 0;
    QString m_fileName;
    QString m_initDir;
};
