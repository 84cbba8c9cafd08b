#include "common/ProcessStart.h"

#include <QByteArray>
#include <QFile>

#include <ctime>
#include <unistd.h>

namespace {

using namespace std::chrono;

// The process's start in clock ticks since boot: the 22nd field of /proc/self/stat, counted
// after the command name, which may itself hold spaces and parentheses.
long long startTicksSinceBoot()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.sliced(line.lastIndexOf(')') + 1).simplified().split(' ');
    constexpr int kStartTimeAfterName = 22 - 3;
    bool ok = false;
    const long long ticks = fields.value(kStartTimeAfterName).toLongLong(&ok);
    return ok ? ticks : -1;
}

} // namespace

steady_clock::time_point processStart()
{
    const steady_clock::time_point now = steady_clock::now();
    timespec boot{};
    const long long ticks = startTicksSinceBoot();
    const long tickRate = ::sysconf(_SC_CLK_TCK);
    if (ticks < 0 || tickRate <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &boot) != 0)
        return now;
    // The start is known to a tick; the end of that tick is taken, so that a time counted from
    // here is never short.
    const nanoseconds started{(ticks + 1) * 1'000'000'000LL / tickRate};
    const nanoseconds sinceBoot = seconds(boot.tv_sec) + nanoseconds(boot.tv_nsec);
    return sinceBoot > started ? now - (sinceBoot - started) : now;
}
