#pragma once

#include <QObject>

class QSocketNotifier;

// The requests to end that come from outside the window: SIGTERM, SIGHUP and SIGINT (kill, a
// closed terminal, Ctrl+C, a logout) arrive as requested() on the window's thread instead of
// ending the process at once. One instance at a time: it owns the process's handlers.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

signals:
    void requested();

private:
    QSocketNotifier *m_notifier = nullptr;
};
