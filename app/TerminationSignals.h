#pragma once

#include <QObject>

class QSocketNotifier;

// The requests to end that come from outside the program: SIGTERM, SIGHUP and SIGINT (kill, a
// closed terminal, Ctrl+C, a logout), or on Windows Ctrl+C and Ctrl+Break in the console it runs
// in, arrive as requested() on the instance's thread instead of ending the process at once. The
// newest instance is the one they reach.
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
    // The pipe that carries a signal out of its handler: read end, write end.
    int m_pipe[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
};
