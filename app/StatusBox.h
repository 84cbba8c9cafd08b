#pragma once

#include <QPlainTextEdit>
#include <QTimer>

#include <functional>

// The status box: it shows only what the tool writes into it. It is read-only, and says so to
// assistive technology, which still hears of every change; selecting, copying, scrolling and the
// caret work as usual. Every key press that would put a character into it goes through the
// key-press procedure, which drops it.
class StatusBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    using KeyPressProcedure = std::function<void(qint16 &keyAscii)>;

    explicit StatusBox(QWidget *parent = nullptr);

    void setKeyPressProcedure(KeyPressProcedure procedure) { m_keyPress = std::move(procedure); }

    // The box's text as the tool wrote it.
    QString text() const;
    void setText(const QString &text);
    bool textStartsWith(const QString &prefix) const;
    // Appends text without line ends, such as the progress dots, at the end, at a cost that does
    // not grow with the text already there.
    void appendText(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showPending();
    // How many of the first characters of rest fit on one screen line after line.
    qsizetype fittingCount(const QString &line, QStringView rest) const;
    bool fitsOnOneLine(const QString &line) const;
    // True where the text holds a line end before this block, false where the box wrapped it.
    bool endsLine(int block) const { return m_firstWrapped < 0 || block < m_firstWrapped; }

    KeyPressProcedure m_keyPress;
    // Appended text that the box does not show yet, and the pause until it does.
    QString m_pending;
    QTimer m_showPause;
    // The first block that the box started itself to wrap a long line; -1 when none.
    int m_firstWrapped = -1;
};
