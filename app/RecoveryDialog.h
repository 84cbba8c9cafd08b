#pragma once

#include "app/WindowOperations.h"

#include <QDialog>

class QComboBox;
class QPushButton;
class QTreeWidget;

// The one window for the uploads that programs which have ended kept unsaved, in the manner of
// an office suite's document recovery. It lists them, oldest first, each checked, and hands what
// the user asks on to the handler: Save All writes the checked ones into a folder that Qt's own
// folder chooser asks for, Save the selected one through the file dialog, Discard the checked
// ones. The rows dealt with leave the list; the dialog closes when none is left, or with Later,
// Esc or its close box, which keep the rest for the next start.
class RecoveryDialog : public QDialog
{
    Q_OBJECT

public:
    RecoveryDialog(const QList<WindowOperations::KeptUploadRow> &rows, const QString &folder,
                   WindowOperations::RecoveryHandler handle, QWidget *parent = nullptr);

private:
    void createRows(const QList<WindowOperations::KeptUploadRow> &rows);
    void saveAll();
    void saveSelected();
    void discardChecked();
    void carryOut(const WindowOperations::RecoveryRequest &request);
    QList<int> checkedRows() const;
    void enableButtons();

    WindowOperations::RecoveryHandler m_handle;
    QString m_folder;
    QTreeWidget *m_list = nullptr;
    QComboBox *m_type = nullptr;
    QPushButton *m_saveAll = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_discard = nullptr;
};
