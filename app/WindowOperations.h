#pragma once

#include <QDateTime>
#include <QList>
#include <QSizeF>
#include <QString>

#include <functional>

// What the tool's procedures ask of the window system: the window, its controls, message boxes,
// the event dispatch and the end of the process. The Qt window supplies them; tests replace them.
class WindowOperations
{
public:
    enum class Buttons
    {
        Ok,
        RetryCancel,
        YesNo,
        // Yes and No, with No the default button: for a question whose Yes gives something up,
        // so that a stray Enter keeps it.
        YesNoDefaultNo
    };
    enum class Icon
    {
        None,
        Critical
    };
    enum class Answer
    {
        Ok,
        Retry,
        Cancel,
        Yes,
        No,
        // The box's own further button.
        Other
    };

    virtual ~WindowOperations() = default;

    // Dispatches every pending event. With mayWait, first blocks until at least one arrives.
    virtual void processEvents(bool mayWait) = 0;
    // Lets the time pass without dispatching anything; events wait for the next dispatch.
    virtual void pause(int milliseconds) = 0;

    virtual bool uploadTextStartsWith(const QString &prefix) const = 0;
    virtual void setUploadText(const QString &text) = 0;
    // Costs the same however long the text already is.
    virtual void appendUploadText(const QString &text) = 0;

    virtual void setSaveEnabled(bool enabled) = 0;
    // The busy cursor, while a save that may take seconds runs.
    virtual void showBusy(bool busy) = 0;

    // A modal box titled with the application title. otherButton, when given, labels one more
    // button beside the set's, "&" before its key ("&Use COM 5").
    virtual Answer messageBox(const QString &text, Buttons buttons, Icon icon,
                              const QString &otherButton = {}) = 0;
    // What a box answers when it is closed with Esc or its close box: OK or Cancel. A Yes/No box
    // stays open until Yes or No; where no user answers it (a fake window), it counts as No.
    static Answer closedAnswer(Buttons buttons)
    {
        switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::RetryCancel:
            return Answer::Cancel;
        case Buttons::YesNo:
        case Buttons::YesNoDefaultNo:
            return Answer::No;
        }
        return Answer::Cancel;
    }

    // An upload that a program which has ended kept unsaved, as the recovery dialog lists it.
    struct KeptUploadRow
    {
        QDateTime received;
        qsizetype lines = 0;
        qsizetype bytes = 0;
        QString firstLine;
    };
    // What the user asked of the recovery dialog, on rows numbered as they were given.
    struct RecoveryRequest
    {
        enum Action
        {
            // The checked rows, written into folder as files of suffix's type (".xls").
            SaveAll,
            // The selected row, through the file dialog.
            Save,
            // The checked rows, given up.
            Discard
        };
        Action action = Save;
        QList<int> rows;
        QString folder;
        QString suffix;
    };
    // Carries a request out; returns the rows that it dealt with, which leave the list.
    using RecoveryHandler = std::function<QList<int>(const RecoveryRequest &)>;
    // The recovery dialog: lists the rows, oldest first, each checked, and hands every request
    // to handle. It returns once no row is left, or when the user puts the rest off to the next
    // start (Later, Esc, the close box). Its folder chooser starts in folder.
    virtual void showRecoveryDialog(const QList<KeptUploadRow> &rows, const QString &folder,
                                    const RecoveryHandler &handle) = 0;

    virtual void clearComPorts() = 0;
    // The entry's tool tip is asked of describe only when it is about to show: describing the
    // ports scans the system's devices, which start-up need not wait for. Entries come and go
    // without changing the text shown.
    virtual void insertComPort(int index, const QString &entry,
                               std::function<QString()> describe) = 0;
    virtual void removeComPort(int index) = 0;
    virtual int comPortCount() const = 0;
    // Selects an entry as a pick from the list would, so the combo box's click procedure runs.
    virtual void selectComPort(int index) = 0;
    virtual QString comPortText() const = 0;
    virtual void setComPortText(const QString &text) = 0;

    virtual QString caption() const = 0;
    virtual void setCaption(const QString &caption) = 0;
    // Outer size of the window (frame and caption bar included) and of the whole screen, and
    // the window's position, all in twips (15 to a pixel at 96 dpi).
    virtual QSizeF outerSizeTwips() const = 0;
    virtual QSizeF screenSizeTwips() const = 0;
    virtual void moveTwips(double left, double top) = 0;

    virtual QString programFolder() const = 0;

    // Runs the retry procedure about once a second while active.
    virtual void setPortRetryActive(bool active) = 0;

    // Ends the process at once. Replaced in tests, where it only records the status.
    virtual void endProcess(int status) = 0;
};
