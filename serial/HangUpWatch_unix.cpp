#include "serial/HangUpWatch.h"

#include <QSerialPort>
#include <QSocketNotifier>

// A hung-up terminal reports an error condition on its descriptor, which an exception notifier
// sees and the arrival of characters does not: watching costs nothing while they come.
std::unique_ptr<QObject> watchForHangUp(QSerialPort &port, std::function<void()> onHangUp)
{
    auto notifier = std::make_unique<QSocketNotifier>(port.handle(), QSocketNotifier::Exception);
    QSocketNotifier *const watch = notifier.get();
    // The condition lasts: one report is enough, and it comes after the notifier's own signal,
    // so the port may be closed and the watch deleted by then.
    QObject::connect(watch, &QSocketNotifier::activated, watch, [watch, onHangUp] {
        watch->setEnabled(false);
        QMetaObject::invokeMethod(watch, onHangUp, Qt::QueuedConnection);
    });
    return notifier;
}
