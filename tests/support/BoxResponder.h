#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

// Answers the modal message boxes of a real window as a user would, and records each one.
class BoxResponder : public QObject
{
public:
    struct Box
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    QList<Box> boxes;
    // The buttons to press, in order; Esc when empty.
    QList<QMessageBox::StandardButton> presses;

    BoxResponder()
    {
        connect(&m_timer, &QTimer::timeout, this, &BoxResponder::answer);
        m_timer.start(5);
    }

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box == m_answered)
            return;
        m_answered = box;
        boxes << Box{box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        if (presses.isEmpty()) {
            // Esc presses the box's own escape button: OK, Cancel or No.
            QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
            return;
        }
        QMetaObject::invokeMethod(box->button(presses.takeFirst()), &QAbstractButton::click,
                                  Qt::QueuedConnection);
    }

    QTimer m_timer;
    QPointer<QMessageBox> m_answered;
};
