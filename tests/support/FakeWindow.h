#pragma once

#include "app/WindowOperations.h"

#include <QList>
#include <QStringList>

#include <functional>

// A window that records what the tool showed: every status text, every message box, the port
// list. Message boxes answer from a queue; a dispatch runs the next scripted user action.
class FakeWindow : public WindowOperations
{
public:
    struct Box
    {
        QString text;
        Buttons buttons;
        Icon icon;
        QString other; // the further button's label, if any
    };

    QString text;
    QStringList textHistory; // every text the status box showed, in order
    bool save = true;
    QList<Box> boxes;
    QList<Answer> answers;       // answers to the next boxes; OK/No/Cancel when empty
    std::function<void()> onBox; // what the user does while a box is open
    QStringList entries;
    QStringList toolTips;
    int selected = -1;
    QString comboText;
    QString windowCaption = QStringLiteral("Corvallen Brindlow Brackenfeld");
    QSizeF outerSize{6375, 5820};
    QSizeF screenSize{28800, 16200};
    double left = -1;
    double top = -1;
    QString folder = QStringLiteral("/opt/brackenfeld");
    bool retryActive = false;
    QList<int> endedWith;
    // User actions run one per dispatch; the combo box click is routed to onComboClick.
    QList<std::function<void()>> actions;
    QList<bool> waits; // the mayWait of every dispatch
    QList<int> pauses;
    QList<bool> busyShown; // every change of the busy cursor
    std::function<void()> onComboClick;

    void processEvents(bool mayWait) override
    {
        waits << mayWait;
        if (!actions.isEmpty())
            actions.takeFirst()();
    }
    void pause(int milliseconds) override { pauses << milliseconds; }
    QString uploadText() const { return text; }
    bool uploadTextStartsWith(const QString &prefix) const override
    {
        return text.startsWith(prefix);
    }
    void setUploadText(const QString &newText) override
    {
        text = newText;
        textHistory << text;
    }
    void appendUploadText(const QString &more) override { setUploadText(text + more); }
    void setSaveEnabled(bool enabled) override { save = enabled; }
    void showBusy(bool busy) override { busyShown << busy; }
    Answer messageBox(const QString &boxText, Buttons buttons, Icon icon,
                      const QString &otherButton = {}) override
    {
        boxes << Box{boxText, buttons, icon, otherButton};
        if (onBox)
            onBox();
        return answers.isEmpty() ? closedAnswer(buttons) : answers.takeFirst();
    }
    // The recovery dialog: what it listed, and the user's requests, carried out in turn while
    // rows are left; then Later. What each request dealt with.
    int recoveryShowings = 0;
    QList<KeptUploadRow> recoveryRows;
    QString recoveryFolder;
    QList<RecoveryRequest> requests;
    QList<QList<int>> dealtWith;
    void showRecoveryDialog(const QList<KeptUploadRow> &rows, const QString &chooserFolder,
                            const RecoveryHandler &handle) override
    {
        ++recoveryShowings;
        recoveryRows = rows;
        recoveryFolder = chooserFolder;
        qsizetype left = rows.size();
        while (left > 0 && !requests.isEmpty()) {
            dealtWith << handle(requests.takeFirst());
            left -= dealtWith.last().size();
        }
    }
    void clearComPorts() override
    {
        entries.clear();
        toolTips.clear();
        selected = -1;
    }
    void insertComPort(int index, const QString &entry, std::function<QString()> describe) override
    {
        entries.insert(index, entry);
        toolTips.insert(index, describe());
    }
    void removeComPort(int index) override
    {
        entries.removeAt(index);
        toolTips.removeAt(index);
    }
    int comPortCount() const override { return entries.size(); }
    void selectComPort(int index) override
    {
        selected = index;
        comboText = entries.value(index);
        if (onComboClick)
            onComboClick();
    }
    QString comPortText() const override { return comboText; }
    void setComPortText(const QString &newText) override { comboText = newText; }
    QString caption() const override { return windowCaption; }
    void setCaption(const QString &newCaption) override { windowCaption = newCaption; }
    QSizeF outerSizeTwips() const override { return outerSize; }
    QSizeF screenSizeTwips() const override { return screenSize; }
    void moveTwips(double newLeft, double newTop) override
    {
        left = newLeft;
        top = newTop;
    }
    QString programFolder() const override { return folder; }
    void setPortRetryActive(bool active) override { retryActive = active; }
    void endProcess(int status) override { endedWith << status; }

    QStringList boxTexts() const
    {
        QStringList texts;
        for (const Box &box : boxes)
            texts << box.text;
        return texts;
    }
};
