#include "tools/Interruption.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace Interruption {

namespace {

volatile std::sig_atomic_t g_requested = 0;
// The handler writes to this pipe, so a poll that waits for something else wakes up too: a flag
// alone would be missed by a poll that started just before the signal.
int g_pipe[2] = {-1, -1};

void onSignal(int)
{
    g_requested = 1;
    const char wake = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_pipe[1], &wake, 1);
}

} // namespace

void install()
{
    // Without the pipe, waits still end at their deadlines and see the flag then.
    if (::pipe(g_pipe) == 0) {
        for (const int end : g_pipe) {
            ::fcntl(end, F_SETFD, FD_CLOEXEC);
            ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        }
    }
    struct sigaction action
    {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

bool requested()
{
    return g_requested != 0;
}

Wait waitFor(int fd, short events, QDeadlineTimer deadline)
{
    // The wake byte is never read back, so every later wait returns at once as well.
    pollfd fds[] = {{g_pipe[0], POLLIN, 0}, {fd, events, 0}};
    for (;;) {
        if (requested())
            return Wait::Interrupted;
        // Rounded up: a wait ends at its deadline, never before.
        const qint64 left = deadline.remainingTimeNSecs();
        const int timeout = left < 0 ? -1 : int((left + 999'999) / 1'000'000);
        const int ready = ::poll(fds, fd >= 0 ? 2 : 1, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (requested())
            return Wait::Interrupted;
        // On a poll error the fd counts as ready: its own read or write then says what is wrong.
        return ready == 0 ? Wait::TimedOut : Wait::Ready;
    }
}

bool sleepUntil(QDeadlineTimer deadline)
{
    return waitFor(-1, 0, deadline) != Wait::Interrupted;
}

} // namespace Interruption
