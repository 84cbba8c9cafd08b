#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The handler's end of the pipe that carries a signal out of the handler.
volatile sig_atomic_t g_writeEnd = -1;

void onSignal(int)
{
    // A write is all a handler may safely do; the interrupted code keeps its errno.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &byte, 1);
    errno = savedErrno;
}

void handleSignalsWith(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    // Without a pipe the signals keep their default handling and end the process as before.
    if (::pipe(m_pipe) != 0)
        return;
    for (const int end : m_pipe) {
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        // Signals that come close together make one request.
        char bytes[64];
        while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
        }
        emit requested();
    });
    g_writeEnd = m_pipe[1];
    handleSignalsWith(onSignal);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    // A newer instance keeps the handlers for itself.
    if (g_writeEnd == m_pipe[1]) {
        handleSignalsWith(SIG_DFL);
        g_writeEnd = -1;
    }
    delete m_notifier;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}
