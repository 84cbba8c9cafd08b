#pragma once

#include <QPlainTextEdit>

#include <functional>

// The status box: it shows only what the tool writes into it. Every key press that would put a
// character into it goes through the key-press procedure, which drops it; paste, cut, delete
// and undo are refused too. Selecting, copying, scrolling and the caret work as usual.
class StatusBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    using KeyPressProcedure = std::function<void(qint16 &keyAscii)>;

    explicit StatusBox(QWidget *parent = nullptr);

    void setKeyPressProcedure(KeyPressProcedure procedure) { m_keyPress = std::move(procedure); }

    bool textStartsWith(const QString &prefix) const;
    // Appends at the end without rebuilding the text that is already there.
    void appendText(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    KeyPressProcedure m_keyPress;
};
