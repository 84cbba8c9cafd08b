#pragma once

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>

// A modal question that only Yes or No answers. Esc and the close box leave it open: there is no
// third answer to give them, and taking them for No would lose what the question offers to keep.
// Y and N press the buttons, as in every message box.
class YesNoBox : public QMessageBox
{
public:
    YesNoBox(Icon icon, const QString &title, const QString &text, QWidget *parent)
        : QMessageBox(icon, title, text, Yes | No, parent)
    {}

    // Shows the box and waits for the answer: true for Yes.
    bool ask() { return exec() == Yes; }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Cancel))
            return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};
