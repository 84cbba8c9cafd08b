#include "app/StatusBox.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QTextBlock>

StatusBox::StatusBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setUndoRedoEnabled(false);
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

bool StatusBox::textStartsWith(const QString &prefix) const
{
    // Reads only the first characters: the progress line can grow long.
    const QTextDocument *doc = document();
    if (doc->characterCount() - 1 < prefix.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (doc->characterAt(int(i)) != prefix[i])
            return false;
    }
    return true;
}

void StatusBox::appendText(const QString &text)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
}

void StatusBox::keyPressEvent(QKeyEvent *event)
{
    const bool keepsText =
        event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll);
    const bool edits = !event->text().isEmpty() || event->matches(QKeySequence::Paste) ||
                       event->matches(QKeySequence::Cut) || event->key() == Qt::Key_Delete ||
                       event->key() == Qt::Key_Backspace;
    if (keepsText || !edits) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    qint16 keyAscii = event->text().isEmpty() ? 0 : qint16(event->text().at(0).unicode());
    if (m_keyPress)
        m_keyPress(keyAscii);
    if (keyAscii != 0)
        QPlainTextEdit::keyPressEvent(event);
}

bool StatusBox::canInsertFromMimeData(const QMimeData *) const
{
    return false;
}

void StatusBox::insertFromMimeData(const QMimeData *) {}

void StatusBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu(event->pos());
    for (QAction *action : menu->actions()) {
        const QString name = action->objectName();
        if (name != QLatin1String("edit-copy") && name != QLatin1String("select-all"))
            action->setEnabled(false);
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
