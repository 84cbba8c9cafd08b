#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
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
        // The button that Enter presses.
        QMessageBox::StandardButton defaultButton;
    };

    // What a press may be besides a button: Esc, and the close box of the box's frame. A box
    // that either leaves open takes the next press.
    static constexpr QMessageBox::StandardButton kEscape = QMessageBox::Escape;
    static constexpr QMessageBox::StandardButton kCloseBox = QMessageBox::NoButton;

    QList<Box> boxes;
    // The presses, in order. With none queued, Esc: it answers an OK or a Retry/Cancel box, but
    // a Yes/No box takes only Yes or No, so a test that meets one queues its answer.
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
        if (!box || box == m_clicked)
            return;
        if (box != m_seen) {
            m_seen = box;
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
            for (QAbstractButton *button : box->buttons()) {
                if (auto *push = qobject_cast<QPushButton *>(button); push && push->isDefault())
                    defaultButton = box->standardButton(push);
            }
            boxes << Box{box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                         defaultButton};
        }
        const bool question = box->standardButtons() == (QMessageBox::Yes | QMessageBox::No);
        if (presses.isEmpty() && question) {
            // Fails the test rather than leave it waiting for ever.
            QTest::qFail("a Yes/No box came with no answer queued", __FILE__, __LINE__);
            box->done(QMessageBox::No);
            return;
        }
        const QMessageBox::StandardButton press = presses.isEmpty() ? kEscape : presses.takeFirst();
        if (press == kEscape) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(box, &escape);
        } else if (press == kCloseBox) {
            box->close();
        } else {
            m_clicked = box;
            QMetaObject::invokeMethod(box->button(press), &QAbstractButton::click,
                                      Qt::QueuedConnection);
        }
    }

    QTimer m_timer;
    QPointer<QMessageBox> m_seen;
    // The box whose button is being clicked; it closes when the click arrives.
    QPointer<QMessageBox> m_clicked;
};
