#include "bench/Bench.h"
#include "serial/PortTable.h"
#include "tools/InstrumentFrame.h"
#include "tools/PseudoTerminalLink.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <fstream>
#include <limits>
#include <memory>
#include <sched.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Device = std::unique_ptr<PseudoTerminalLink>;

double secondsSince(Clock::time_point began)
{
    return std::chrono::duration<double>(Clock::now() - began).count();
}

// The bench writes the devices' side of the pseudo-terminals, standing in for the instrument and
// the system's serial driver, which take no core from the program that reads. So the bench keeps
// to one core and the processes it starts, the program and cat alike, to the others. Left to the
// system, one reader may share a core with the writer while the other has one to itself, and
// their ratio then measures that rather than the readers.
class Cores
{
public:
    Cores()
    {
        cpu_set_t allowed;
        if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0 || CPU_COUNT(&allowed) < 2)
            return;
        CPU_ZERO(&m_writer);
        m_readers = allowed;
        for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu) {
            if (CPU_ISSET(cpu, &allowed)) {
                CPU_SET(cpu, &m_writer);
                CPU_CLR(cpu, &m_readers);
                break;
            }
        }
        m_apart = ::sched_setaffinity(0, sizeof m_writer, &m_writer) == 0;
    }

    // For a child process, between its fork and its exec.
    void placeReader() const
    {
        if (m_apart)
            ::sched_setaffinity(0, sizeof m_readers, &m_readers);
    }

private:
    cpu_set_t m_writer;
    cpu_set_t m_readers;
    bool m_apart = false;
};

const Cores &cores()
{
    static const Cores kept;
    return kept;
}

// A process that the bench starts. It ends with the object, or with the bench however that ends.
class Child : public QProcess
{
public:
    Child(const QString &program, const QStringList &arguments, bool readOutput)
    {
        setChildProcessModifier([&placement = cores()] {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            placement.placeReader();
        });
        setStandardErrorFile(nullDevice());
        if (!readOutput)
            setStandardOutputFile(nullDevice());
        start(program, arguments);
        if (!waitForStarted())
            throw std::runtime_error(errorString().toStdString());
    }
    ~Child() override
    {
        kill();
        waitForFinished();
    }

    // The next line that it writes; throws if none comes within 30 s.
    QByteArray awaitLine()
    {
        const QDeadlineTimer deadline(30'000);
        while (!canReadLine()) {
            if (!waitForReadyRead(int(deadline.remainingTime())))
                throw std::runtime_error("the program ended or fell silent");
        }
        return readLine().trimmed();
    }

    // Writes a line to its standard input.
    void request(const QByteArray &line)
    {
        write(line + '\n');
        if (!waitForBytesWritten())
            throw std::runtime_error("the program took no request");
    }

    // The user and system time that it has used so far.
    double cpuSeconds() const
    {
        clockid_t clock{};
        timespec used{};
        if (::clock_getcpuclockid(pid_t(processId()), &clock) != 0 ||
            ::clock_gettime(clock, &used) != 0)
            throw std::runtime_error("cannot read the program's CPU time");
        return double(used.tv_sec) + double(used.tv_nsec) * 1e-9;
    }

    // The peak of its resident memory so far, in MiB: VmHWM rather than ru_maxrss, which Linux
    // starts in a child from the size of the process that forked it, here the bench and its
    // sample frames.
    double peakMiB() const
    {
        std::ifstream status("/proc/" + std::to_string(processId()) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmHWM:", 0) == 0)
                return std::stod(line.substr(6)) / 1024;
        }
        throw std::runtime_error("cannot read the program's peak memory");
    }
};

// The CPU time that a child uses from the meter's start on.
class CpuMeter
{
public:
    explicit CpuMeter(const Child &child) : m_child(child), m_start(child.cpuSeconds()) {}
    double seconds() const { return m_child.cpuSeconds() - m_start; }

private:
    const Child &m_child;
    double m_start;
};

// A folder for the simulator's stand-in devices, where the programs started from now on look for
// their ports, and for a copy of the program as the bench observes it (observed.cpp), which reads
// its settings file from beside itself.
class Folder : public QTemporaryDir
{
public:
    Folder() : m_program(filePath(QStringLiteral("brackenfeld")))
    {
        qputenv("BRACKENFELD_DEVICE_DIR", QFile::encodeName(path()));
        if (!QFile::copy(QStringLiteral(BRACKENFELD_OBSERVED), m_program))
            throw std::runtime_error("cannot copy the program into " + path().toStdString());
    }

    Device device(const QString &path) const { return std::make_unique<PseudoTerminalLink>(path); }

    // Starts the program and waits until its window is shown with as many ports as expected.
    std::unique_ptr<Child> startProgram(int ports) const
    {
        auto program = std::make_unique<Child>(m_program, QStringList(), true);
        if (program->awaitLine() != "shown " + QByteArray::number(ports))
            throw std::runtime_error("the window did not list the stand-in ports");
        return program;
    }

private:
    QString m_program;
};

void awaitDelivered(PseudoTerminalLink &device)
{
    while (!device.delivered())
        std::this_thread::sleep_for(std::chrono::microseconds(20));
}

void awaitComplete(Child &program)
{
    if (program.awaitLine() != "complete")
        throw std::runtime_error("the upload did not complete");
}

void send(PseudoTerminalLink &device, QByteArrayView bytes)
{
    if (!device.send(bytes))
        throw std::runtime_error(device.errorString().toStdString());
}

// Seconds from the first byte written until the reader has taken them all.
double secondsToDeliver(PseudoTerminalLink &device, const QByteArray &bytes)
{
    const Clock::time_point began = Clock::now();
    send(device, bytes);
    awaitDelivered(device);
    return secondsSince(began);
}

// Seconds from the first byte of the frame written until the status box shows it complete.
double secondsToComplete(Child &program, PseudoTerminalLink &device, const QByteArray &frame)
{
    const Clock::time_point began = Clock::now();
    send(device, frame);
    awaitComplete(program);
    return secondsSince(began);
}

// The instrument's line: 19,200 baud, ten bits a byte.
constexpr qsizetype kLineBytesPerSecond = 1920;

// Sends the bytes to every device at once, paced as a USB serial adapter hands them on: each
// millisecond one write of what the rate has made due, about 2 bytes at the instrument's rate.
// The deadlines are absolute, so a late wake-up is made up at once and the rate holds.
void sendPaced(const std::vector<PseudoTerminalLink *> &devices, QByteArrayView bytes,
               qsizetype bytesPerSecond)
{
    constexpr long kSecondNanoseconds = 1'000'000'000;
    constexpr long kTickNanoseconds = kSecondNanoseconds / 1000;
    timespec tick{};
    ::clock_gettime(CLOCK_MONOTONIC, &tick);
    qsizetype sent = 0;
    for (qsizetype ticks = 1; sent < bytes.size(); ++ticks) {
        tick.tv_nsec += kTickNanoseconds;
        if (tick.tv_nsec >= kSecondNanoseconds) {
            tick.tv_nsec -= kSecondNanoseconds;
            ++tick.tv_sec;
        }
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &tick, nullptr);
        const qsizetype due = std::min(bytes.size(), ticks * bytesPerSecond / 1000);
        for (PseudoTerminalLink *device : devices)
            send(*device, bytes.sliced(sent, due - sent));
        sent = due;
    }
}

// The program and cat, each reading a stand-in device of its own.
struct ProgramBesideCat
{
    ProgramBesideCat()
    {
        secondsToDeliver(*catSide, "\n"); // taken once cat has opened its side
        program = folder.startProgram(1);
    }

    Folder folder;
    Device toolSide = folder.device(devicePathForPort(1));
    Device catSide = folder.device(folder.filePath(QStringLiteral("cat-side")));
    Child cat{QStringLiteral("cat"), {catSide->devicePath()}, false};
    std::unique_ptr<Child> program;
};

// Has the program save its upload through the Save button and the file dialog.
void saveUpload(Child &program, const QString &fileName)
{
    program.request("save " + QFile::encodeName(fileName));
    if (program.awaitLine() != "saved")
        throw std::runtime_error("the program did not save the upload");
}

// Throws unless the file holds what Save writes for the frame's rows.
void checkSaved(const QString &fileName, const QByteArray &frame)
{
    // The start mark before the rows; five checksum digits and the end mark after them.
    const QByteArrayView payload = QByteArrayView(frame).sliced(1, frame.size() - 7);
    QFile saved(fileName);
    if (!saved.open(QIODevice::ReadOnly) || saved.readAll() != savedFile(payload))
        throw std::runtime_error("the saved file does not hold the upload");
}

constexpr double kInfinity = std::numeric_limits<double>::infinity();

} // namespace

// The program with its port open and nothing arriving: its CPU time over 10 s once its window is
// shown and a second has passed, against what one core could have given.
Measured idleCpu(benchmark::State &state)
{
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        Folder folder;
        const Device device = folder.device(devicePathForPort(1));
        const auto program = folder.startProgram(1);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const CpuMeter meter(*program);
        const Clock::time_point began = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        cpu = meter.seconds();
        wall = secondsSince(began);
    }
    return {cpu, wall, cpu / wall};
}

// A 2 MiB frame written as fast as a pseudo-terminal takes it, until the status box shows the
// upload complete, against cat draining the same bytes from a pseudo-terminal of its own.
Measured uploadTime(benchmark::State &state)
{
    const QByteArray &frame = sampleUploadFrame(2 * kMiB);
    ProgramBesideCat run;
    double tool = kInfinity, reference = kInfinity;
    for (auto _ : state) {
        tool = std::min(tool, secondsToComplete(*run.program, *run.toolSide, frame));
        reference = std::min(reference, secondsToDeliver(*run.catSide, frame));
    }
    return {tool * 1e3, reference * 1e3, tool / reference};
}

// About 10 s of sample rows at the instrument's rate, to the program's device and cat's in the
// same ticks: the CPU time of each over the stream, the program's until its status box shows the
// upload complete.
Measured lineRateCpu(benchmark::State &state)
{
    const QByteArray &frame = sampleUploadFrame(20'000);
    ProgramBesideCat run;
    double tool = kInfinity, reference = kInfinity;
    for (auto _ : state) {
        const CpuMeter toolCpu(*run.program), catCpu(run.cat);
        sendPaced({run.toolSide.get(), run.catSide.get()}, frame, kLineBytesPerSecond);
        awaitComplete(*run.program);
        tool = std::min(tool, toolCpu.seconds());
        reference = std::min(reference, catCpu.seconds());
    }
    return {tool, reference, tool / reference};
}

// A frame written as fast as a pseudo-terminal takes it: the program's CPU time per byte from the
// first byte until the status box shows the upload complete, against cat's for draining the same
// bytes from a pseudo-terminal of its own.
Measured bulkCpu(benchmark::State &state, qsizetype frameMiB)
{
    const QByteArray &frame = sampleUploadFrame(frameMiB * kMiB);
    ProgramBesideCat run;
    double tool = kInfinity, reference = kInfinity;
    for (auto _ : state) {
        const CpuMeter toolCpu(*run.program);
        secondsToComplete(*run.program, *run.toolSide, frame);
        tool = std::min(tool, toolCpu.seconds());
        const CpuMeter catCpu(run.cat);
        secondsToDeliver(*run.catSide, frame);
        reference = std::min(reference, catCpu.seconds());
    }
    const double nanosecondsPerByte = 1e9 / double(frame.size());
    return {tool * nanosecondsPerByte, reference * nanosecondsPerByte, tool / reference};
}

// A 64 MiB frame written as fast as a pseudo-terminal takes it: the time from the device drained,
// its last byte read by the program, until the status box shows the upload complete.
Measured drainedToComplete(benchmark::State &state, double goalSeconds)
{
    const QByteArray &frame = sampleUploadFrame(64 * kMiB);
    Folder folder;
    const Device device = folder.device(devicePathForPort(1));
    const auto program = folder.startProgram(1);
    double fastest = kInfinity;
    for (auto _ : state) {
        send(*device, frame);
        awaitDelivered(*device);
        const Clock::time_point drained = Clock::now();
        awaitComplete(*program);
        fastest = std::min(fastest, secondsSince(drained));
    }
    return {fastest, goalSeconds, fastest / goalSeconds};
}

// With 16 stand-in devices as every port there is, the time from the program's start until its
// window is shown, against the pause that port discovery makes before it probes, by design. The
// median rather than the best: the user waits for a typical start, not the luckiest.
Measured startupTime(benchmark::State &state)
{
    std::vector<double> times;
    for (auto _ : state) {
        // Devices of its own each time: a port left open at a process's end stays claimed by it.
        Folder folder;
        std::vector<Device> devices;
        for (qint16 port = kFirstPort; port <= kLastPort; ++port)
            devices.push_back(folder.device(devicePathForPort(port)));
        const Clock::time_point began = Clock::now();
        folder.startProgram(16);
        times.push_back(secondsSince(began));
    }
    const auto middle = times.begin() + std::ptrdiff_t(times.size() / 2);
    std::nth_element(times.begin(), middle, times.end());
    return {*middle, 1.0, *middle};
}

// The memory high-water mark once the window is shown, again once a 16 MiB upload is decoded
// (the counter "upload peak") and once the program has saved it as text; the rise over the
// upload's size.
Measured uploadSaveMemory(benchmark::State &state)
{
    const QByteArray &frame = sampleUploadFrame(16 * kMiB);
    double idle = 0, uploaded = 0, saved = 0;
    for (auto _ : state) {
        Folder folder;
        const Device device = folder.device(devicePathForPort(1));
        const auto program = folder.startProgram(1);
        idle = program->peakMiB();
        secondsToComplete(*program, *device, frame);
        uploaded = program->peakMiB();
        const QString fileName = folder.filePath(QStringLiteral("upload.xls"));
        saveUpload(*program, fileName);
        saved = program->peakMiB();
        checkSaved(fileName, frame);
    }
    state.counters["upload peak"] = uploaded;
    return {saved, idle, (saved - idle) / (double(frame.size()) / kMiB)};
}
