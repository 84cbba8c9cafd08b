// The program as the user meets it, started with pseudo-terminals as its ports, as observed.cpp
// tells of it.

#include "bench/Bench.h"
#include "serial/PortTable.h"
#include "tools/InstrumentFrame.h"
#include "tools/PseudoTerminalLink.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <limits>
#include <memory>
#include <stdexcept>
#include <sys/prctl.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Device = std::unique_ptr<PseudoTerminalLink>;

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// The instrument's line: 19,200 baud, ten bits a byte.
constexpr qint64 kLineBytesPerSecond = 1920;

[[noreturn]] void fail(const QString &reason)
{
    throw std::runtime_error(reason.toStdString());
}

// A field of /proc/PID/status such as "VmHWM:" (in kB) or "voluntary_ctxt_switches:".
qint64 statusField(const QString &path, const QByteArray &key)
{
    QFile status(path);
    if (!status.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read ") + path);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).simplified().split(' ').value(0).toLongLong();
    }
    fail(QStringLiteral("no %1 in %2").arg(key, path));
}

// A program that the bench starts. It ends with the object, or with the bench however that ends.
class Child : public QProcess
{
public:
    Child(const QString &program, const QStringList &arguments, bool readOutput)
    {
        setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        setStandardErrorFile(nullDevice());
        if (!readOutput)
            setStandardOutputFile(nullDevice());
        start(program, arguments);
        if (!waitForStarted())
            fail(errorString());
    }
    ~Child() override
    {
        kill();
        waitForFinished();
    }

    // The words of the next line that it writes, which must tell of the event.
    QList<QByteArray> awaitLine(const QByteArray &event)
    {
        while (!canReadLine()) {
            if (!waitForReadyRead(30'000))
                fail(QStringLiteral("the program ended or did not tell ") + event);
        }
        const QList<QByteArray> words = readLine().simplified().split(' ');
        if (words.value(0) != event)
            fail(QStringLiteral("the program told %1, not %2").arg(words.value(0), event));
        return words;
    }

    // User and system time, all threads.
    double cpuSeconds() const
    {
        clockid_t clock{};
        timespec used{};
        if (::clock_getcpuclockid(pid_t(processId()), &clock) != 0 ||
            ::clock_gettime(clock, &used) != 0)
            fail(QStringLiteral("cannot read the program's CPU time"));
        return double(used.tv_sec) + double(used.tv_nsec) * 1e-9;
    }

    double peakMiB() const
    {
        const QString status = QStringLiteral("/proc/%1/status").arg(processId());
        return double(statusField(status, "VmHWM:")) / 1024;
    }

    // Its threads' voluntary context switches: each is a sleep, and so a wake-up.
    qint64 wakeUps() const
    {
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(processId()));
        qint64 count = 0;
        for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            count += statusField(tasks.filePath(task + "/status"), "voluntary_ctxt_switches:");
        return count;
    }
};

// The program started in a folder of stand-in devices for its first ports, where it also keeps
// its settings and its uploads not saved yet; given a file name, it saves each upload under it
// there. Ready once shown.
struct Observed
{
    explicit Observed(qint16 ports = 1, const QString &saveAs = {})
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("BRACKENFELD_DEVICE_DIR", QFile::encodeName(folder.path()));
        // The uploads it keeps until saved go with the folder.
        qputenv("XDG_DATA_HOME", QFile::encodeName(folder.filePath(QStringLiteral("data"))));
        for (qint16 port = kFirstPort; port < kFirstPort + ports; ++port)
            devices.push_back(std::make_unique<PseudoTerminalLink>(devicePathForPort(port)));
        const QString copy = folder.filePath(QStringLiteral("brackenfeld"));
        if (!QFile::copy(QStringLiteral(BRACKENFELD_OBSERVED), copy))
            fail(QStringLiteral("cannot copy the program to ") + copy);
        startedAt = monotonicSeconds();
        program = std::make_unique<Child>(
            copy, saveAs.isEmpty() ? QStringList() : QStringList{folder.filePath(saveAs)}, true);
        const QList<QByteArray> shown = program->awaitLine("shown");
        shownAt = shown.value(1).toDouble() * 1e-9;
        if (shown.value(2).toInt() != ports)
            fail(QStringLiteral("the window lists %1 ports").arg(shown.value(2)));
    }

    // When the status box first painted "*** UPLOAD COMPLETE ***".
    double awaitComplete() const
    {
        return program->awaitLine("complete").value(1).toDouble() * 1e-9;
    }

    QTemporaryDir folder;
    std::vector<Device> devices;
    double startedAt = 0;
    double shownAt = 0;
    std::unique_ptr<Child> program;
};

// Writes the bytes as fast as the reader takes them.
void send(PseudoTerminalLink &device, QByteArrayView bytes)
{
    if (!device.send(bytes))
        fail(device.errorString());
}

void awaitDelivered(PseudoTerminalLink &device)
{
    while (!device.delivered())
        std::this_thread::sleep_for(50us);
}

// cat reading a stand-in device of its own beside the program's.
struct Cat
{
    explicit Cat(const Observed &beside)
        : device(std::make_unique<PseudoTerminalLink>(beside.folder.filePath("cat")))
    {
        send(*device, "\n");
        awaitDelivered(*device);
    }

    Device device;
    Child program{QStringLiteral("cat"), {device->devicePath()}, false};
};

double median(std::vector<double> values)
{
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Writes the bytes to every device in the same ticks, each tick what the line's rate has made
// due. The deadlines are absolute, so a late wake-up is made up at once and the rate holds.
void sendPaced(const std::vector<PseudoTerminalLink *> &devices, QByteArrayView bytes,
               qint64 writesPerSecond)
{
    const auto began = std::chrono::steady_clock::now();
    qsizetype sent = 0;
    for (qint64 tick = 1; sent < bytes.size(); ++tick) {
        std::this_thread::sleep_until(began +
                                      std::chrono::nanoseconds(1s) * tick / writesPerSecond);
        const qsizetype due = std::min(bytes.size(), tick * kLineBytesPerSecond / writesPerSecond);
        for (PseudoTerminalLink *device : devices)
            send(*device, bytes.sliced(sent, due - sent));
        sent = due;
    }
}

// The program with its port open and nothing arriving, for 10 s from a second after its window
// was shown: its CPU time or its wake-ups, against the seconds.
void Idle(benchmark::State &state, bool countWakeUps)
{
    measureRow(state, [&] {
        double used = 0, seconds = 0;
        for (auto _ : state) {
            const Observed observed;
            std::this_thread::sleep_for(1s);
            const Child &program = *observed.program;
            const double cpu = program.cpuSeconds(), began = monotonicSeconds();
            const qint64 wakeUps = program.wakeUps();
            std::this_thread::sleep_for(10s);
            used = countWakeUps ? double(program.wakeUps() - wakeUps) : program.cpuSeconds() - cpu;
            seconds = monotonicSeconds() - began;
        }
        judge(state, used, seconds, countWakeUps ? 5 : 0.01);
    });
}

// About 10 s of sample rows at the line's rate, to the program's device and cat's in the same
// ticks: the CPU time of each, the program's until its status box shows the upload complete.
void LineRate(benchmark::State &state, qint64 writesPerSecond)
{
    measureRow(state, [&] {
        const QByteArray frame = instrumentFrame(samplePayload(20'000), false);
        const Observed observed;
        const Cat cat(observed);
        double tool = kInfinity, reference = kInfinity;
        for (auto _ : state) {
            const double toolFrom = observed.program->cpuSeconds();
            const double catFrom = cat.program.cpuSeconds();
            sendPaced({observed.devices[0].get(), cat.device.get()}, frame, writesPerSecond);
            observed.awaitComplete();
            awaitDelivered(*cat.device);
            tool = std::min(tool, observed.program->cpuSeconds() - toolFrom);
            reference = std::min(reference, cat.program.cpuSeconds() - catFrom);
        }
        judge(state, tool, reference, 2);
    });
}

// A 1 MiB upload at full speed: the milliseconds from its last byte, the end mark, written until
// the status box paints "*** UPLOAD COMPLETE ***", against 20 ms.
void EndMarkToComplete(benchmark::State &state)
{
    measureRow(state, [&] {
        const QByteArray frame = instrumentFrame(samplePayload(kMiB), false);
        const Observed observed;
        std::vector<double> times;
        for (auto _ : state) {
            send(*observed.devices[0], QByteArrayView(frame).chopped(1));
            send(*observed.devices[0], QByteArrayView(frame).last(1));
            const double written = monotonicSeconds();
            times.push_back((observed.awaitComplete() - written) * 1e3);
        }
        judge(state, median(times), 20, 1);
    });
}

// A 16 MiB upload at full speed: the program's CPU time per byte until the upload is complete,
// against cat's for taking the same bytes from its own device.
void Bulk(benchmark::State &state)
{
    measureRow(state, [&] {
        const QByteArray frame = instrumentFrame(samplePayload(16 * kMiB), false);
        const Observed observed;
        const Cat cat(observed);
        double tool = kInfinity, reference = kInfinity;
        for (auto _ : state) {
            const double toolFrom = observed.program->cpuSeconds();
            send(*observed.devices[0], frame);
            observed.awaitComplete();
            tool = std::min(tool, observed.program->cpuSeconds() - toolFrom);
            const double catFrom = cat.program.cpuSeconds();
            send(*cat.device, frame);
            awaitDelivered(*cat.device);
            reference = std::min(reference, cat.program.cpuSeconds() - catFrom);
        }
        const double nanosecondsPerByte = 1e9 / double(frame.size());
        judge(state, tool * nanosecondsPerByte, reference * nanosecondsPerByte, 3);
    });
}

// The rise of the program's memory high-water mark from its window shown through a 16 MiB
// upload and its save as .xlsx with the Save button and the file dialog, in MiB, against the
// upload's size.
void PeakMemory(benchmark::State &state)
{
    measureRow(state, [&] {
        const QByteArray payload = samplePayload(16 * kMiB);
        double rise = 0;
        for (auto _ : state) {
            const Observed observed(1, QStringLiteral("upload.xlsx"));
            const double idle = observed.program->peakMiB();
            send(*observed.devices[0], instrumentFrame(payload, false));
            observed.awaitComplete();
            if (observed.program->awaitLine("saved").value(2) != "1")
                fail(QStringLiteral("the upload was not saved"));
            rise = observed.program->peakMiB() - idle;
        }
        judge(state, rise, double(payload.size()) / kMiB, 1.5);
    });
}

// With a pseudo-terminal as each of the 16 ports, the median time from the program's start to
// its window shown, against the pause of a second that port discovery makes by design.
void StartUp(benchmark::State &state)
{
    measureRow(state, [&] {
        std::vector<double> times;
        for (auto _ : state) {
            const Observed observed(16);
            times.push_back(observed.shownAt - observed.startedAt);
        }
        judge(state, median(times), 1, 1.05);
    });
}

} // namespace

BENCHMARK_CAPTURE(Idle, cpu, false)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Idle, wake_ups, true)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LineRate, 16_bytes_every_8_3_ms, 120)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LineRate, a_write_every_ms, 1000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(EndMarkToComplete)->Iterations(7)->Unit(benchmark::kMillisecond);
BENCHMARK(Bulk)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(PeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(StartUp)->Iterations(7)->Unit(benchmark::kMillisecond);
