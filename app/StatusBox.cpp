#include "app/StatusBox.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>

namespace {

// Twice a second still shows the dots growing. Each update lays the line out and paints the box,
// which costs as much as several passes of the receive loop.
constexpr int kShowPauseMs = 500;

} // namespace

StatusBox::StatusBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    // The caret and a selection by the keyboard, besides the mouse's that read-only keeps.
    setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    // The tool's own changes would pile up in the undo history, every dot of the progress line.
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);

    m_showPause.setSingleShot(true);
    m_showPause.setInterval(kShowPauseMs);
    connect(&m_showPause, &QTimer::timeout, this, &StatusBox::showPending);
}

QString StatusBox::text() const
{
    QString text;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.blockNumber() > 0 && endsLine(block.blockNumber()))
            text += QLatin1Char('\n');
        text += block.text();
    }
    return text + m_pending;
}

void StatusBox::setText(const QString &text)
{
    m_pending.clear();
    m_showPause.stop();
    m_firstWrapped = -1;
    setPlainText(text);
}

bool StatusBox::textStartsWith(const QString &prefix) const
{
    // Reads only as far as the prefix: the progress line can grow long.
    QStringView rest(prefix);
    for (QTextBlock block = document()->begin(); block.isValid() && !rest.isEmpty();
         block = block.next()) {
        if (block.blockNumber() > 0 && endsLine(block.blockNumber())) {
            if (rest.front() != QLatin1Char('\n'))
                return false;
            rest = rest.sliced(1);
        }
        const QStringView line = QStringView(block.text()).left(rest.size());
        if (!rest.startsWith(line))
            return false;
        rest = rest.sliced(line.size());
    }
    return rest.isEmpty() || QStringView(m_pending).startsWith(rest);
}

// Putting text into the box and painting it cost more than taking in a read from the port, so
// while dots come in the box takes them at most this often; its text always counts them all.
void StatusBox::appendText(const QString &text)
{
    m_pending += text;
    // The first dot after a pause shows at once; those that follow it shortly, when it ends.
    if (!m_showPause.isActive()) {
        showPending();
        m_showPause.start();
    }
}

// Editing a block lays all of it out again, so a progress line kept as one block would cost more
// with every dot. The box wraps it itself instead, one block to a screen line, and only the last,
// short block is ever laid out again.
void StatusBox::showPending()
{
    QStringView rest(m_pending);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    while (!rest.isEmpty()) {
        const QString line = cursor.block().text();
        qsizetype fitting = fittingCount(line, rest);
        if (fitting == 0 && !line.isEmpty()) {
            if (m_firstWrapped < 0)
                m_firstWrapped = cursor.blockNumber() + 1;
            cursor.insertBlock();
            continue;
        }
        // A character wider than the box gets a line of its own.
        fitting = std::max<qsizetype>(fitting, 1);
        cursor.insertText(rest.left(fitting).toString());
        rest = rest.sliced(fitting);
    }
    m_pending.clear();
    // The view follows the newest dots, so that what it shows moves while characters come in,
    // however long the upload: a full box would otherwise stand still for minutes.
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

// Measuring is the costly part, so the count is found by doubling and then halving: a few
// measurements a screen line, however many characters wait.
qsizetype StatusBox::fittingCount(const QString &line, QStringView rest) const
{
    qsizetype fits = 0;
    qsizetype tooMany = 1;
    while (tooMany <= rest.size() && fitsOnOneLine(line + rest.left(tooMany).toString())) {
        fits = tooMany;
        tooMany *= 2;
    }
    tooMany = std::min(tooMany, rest.size() + 1);
    while (tooMany - fits > 1) {
        const qsizetype middle = (fits + tooMany) / 2;
        if (fitsOnOneLine(line + rest.left(middle).toString()))
            fits = middle;
        else
            tooMany = middle;
    }
    return fits;
}

bool StatusBox::fitsOnOneLine(const QString &line) const
{
    const qreal width = viewport()->width() - 2 * document()->documentMargin() - cursorWidth();
    return fontMetrics().horizontalAdvance(line) <= width;
}

void StatusBox::keyPressEvent(QKeyEvent *event)
{
    // Ctrl+C and Ctrl+A come with a character on some platforms; they copy and select, and the
    // procedure, which drops every character, never sees them.
    const bool keepsText =
        event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll);
    if (!keepsText && !event->text().isEmpty()) {
        qint16 keyAscii = qint16(event->text().at(0).unicode());
        if (m_keyPress)
            m_keyPress(keyAscii);
        if (keyAscii == 0)
            return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
