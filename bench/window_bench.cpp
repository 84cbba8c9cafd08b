// The figures that need the real window, the real serial port and pseudo-terminals: start-up
// time with 16 ports, a whole upload through a pseudo-terminal against cat, and peak memory while
// receiving. bench/run starts it and reads the key=value lines it prints.
//
//   brackenfeld_window_bench ports N
//       Links pseudo-terminals as COM 1..N in BRACKENFELD_DEVICE_DIR and holds them until killed.
//   brackenfeld_window_bench startup
//       Starts the window as the program does and prints the seconds from this process's start
//       to the window being shown, and how many ports it listed.
//   brackenfeld_window_bench upload MEMORY_BYTES TIMING_BYTES ROUNDS
//       One upload of MEMORY_BYTES with the memory high-water mark before and after, then ROUNDS
//       uploads of TIMING_BYTES, each followed by cat draining the same bytes.

#include "app/MainWindow.h"
#include "bench/SampleUpload.h"
#include "common/PlatformError.h"
#include "serial/PortTable.h"
#include "tools/PseudoTerminalLink.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kDeadlineMs = 60'000;
const QString kUploadComplete = QStringLiteral("*** UPLOAD COMPLETE ***");

[[noreturn]] void fail(const std::string &why)
{
    std::fprintf(stderr, "brackenfeld_window_bench: %s\n", why.c_str());
    std::fflush(nullptr);
    // The window's own process end: no destructor runs, so nothing waits on the children.
    std::_Exit(1);
}

// Ends the process the way the tool does, once the results are out.
[[noreturn]] void finish()
{
    std::fflush(nullptr);
    std::_Exit(0);
}

qint64 nanosecondsNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// The memory high-water mark of this process (VmHWM), in KiB.
long highWaterKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    fail("no VmHWM in /proc/self/status");
}

// Seconds since the kernel started this process: its start time in /proc/self/stat (clock ticks
// since boot, taken at the fork, before the program and Qt were loaded) against the boot clock.
double secondsSinceProcessStart()
{
    std::ifstream statFile("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), {});
    // The command name in parentheses may hold spaces; the fields are counted after it.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    // Field 22 of the whole line is the 20th after the name.
    for (int i = 3; i <= 22; ++i)
        fields >> field;
    const double started = std::stod(field) / double(sysconf(_SC_CLK_TCK));
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9 - started;
}

void writeAll(int fd, const void *data, size_t size)
{
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail(std::string("write: ") + std::strerror(errno));
        bytes += written;
        size -= size_t(written);
    }
}

bool readAll(int fd, void *data, size_t size)
{
    char *bytes = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t got = ::read(fd, bytes, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        size -= size_t(got);
    }
    return true;
}

// The simulator's stand-in serial device, linked as folder/name.
std::unique_ptr<PseudoTerminalLink> standIn(const QString &folder, const QString &name)
{
    try {
        return std::make_unique<PseudoTerminalLink>(QDir(folder).filePath(name));
    } catch (const PlatformError &error) {
        fail(error.message().toStdString());
    }
}

// ---- ports -------------------------------------------------------------------------------------

int holdPorts(int count)
{
    const QString folder = qEnvironmentVariable("BRACKENFELD_DEVICE_DIR");
    if (folder.isEmpty() || count < 1 || count > 16)
        fail("ports: set BRACKENFELD_DEVICE_DIR and give a count from 1 to 16");
    std::vector<std::unique_ptr<PseudoTerminalLink>> ports;
    for (qint16 port = 1; port <= count; ++port)
        ports.push_back(standIn(folder, QFileInfo(devicePathForPort(port)).fileName()));
    // Gone with the script that started it, however that ends.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
}

// ---- startup -----------------------------------------------------------------------------------

int startup(int &argc, char **argv)
{
    // As app/main.cpp does, up to the receive loop; the process end is only recorded.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brackenfeld"));
    MainWindow window(
        [](int status) { fail("the window ended with status " + std::to_string(status)); });
    // A message box at start-up (no port that opens) would wait for an answer for ever.
    QTimer deadline;
    QObject::connect(&deadline, &QTimer::timeout, [] { fail("no window within the deadline"); });
    deadline.start(kDeadlineMs);
    window.load();
    window.show();
    window.activateWindow();
    // Shown: exposed, and the expose handled, which paints the window.
    while (!(window.windowHandle() && window.windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = secondsSinceProcessStart();
    std::printf("startup_seconds=%.4f\nports_listed=%d\n", seconds, window.comPortCount());
    finish();
}

// ---- upload ------------------------------------------------------------------------------------

struct WriteOrder
{
    char target = 0; // 'T': the tool's port, 'C': cat's
    qint64 bytes = 0;
};

// The instrument's side, in a process of its own so that neither its copy of the upload nor its
// work counts against the tool. Writes each frame asked for as fast as the pseudo-terminal takes
// it.
[[noreturn]] void runWriter(int orders, int replies, InstrumentLine &toolSide,
                            InstrumentLine &catSide, const std::vector<qint64> &sizes)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::map<qint64, QByteArray> frames;
    for (const qint64 size : sizes) {
        frames[size] = sampleUploadFrame(size);
        const qint64 made = frames[size].size();
        writeAll(replies, &made, sizeof made);
    }

    WriteOrder order;
    while (readAll(orders, &order, sizeof order)) {
        const QByteArray &frame = frames.at(order.bytes);
        // The monotonic clock is the same in every process.
        const qint64 firstWrite = nanosecondsNow();
        InstrumentLine &line = order.target == 'T' ? toolSide : catSide;
        if (!line.send(frame))
            fail(line.errorString().toStdString());
        writeAll(replies, &firstWrite, sizeof firstWrite);
    }
    std::_Exit(0);
}

pid_t startCat(const QString &device)
{
    const QByteArray path = QFile::encodeName(device);
    const pid_t pid = ::fork();
    if (pid < 0)
        fail("fork");
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::execlp("cat", "cat", path.constData(), static_cast<char *>(nullptr));
        std::_Exit(127);
    }
    // cat is ready once it holds the device open.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    const QString fds = QStringLiteral("/proc/%1/fd/").arg(pid);
    while (Clock::now() < deadline) {
        for (int fd = 0; fd < 16; ++fd) {
            if (QFileInfo(fds + QString::number(fd)).symLinkTarget() == device)
                return pid;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    fail("cat did not open " + device.toStdString());
}

std::string joined(const std::vector<double> &values)
{
    std::string text;
    for (const double value : values) {
        if (!text.empty())
            text += ',';
        text += std::to_string(value);
    }
    return text;
}

class UploadBench
{
public:
    UploadBench(MainWindow &window, InstrumentLine &catSide, int orders, int replies,
                qint64 memoryBytes, qint64 timingBytes, int rounds)
        : m_window(window), m_catSide(catSide), m_orders(orders), m_replies(replies),
          m_memoryBytes(memoryBytes), m_timingBytes(timingBytes), m_rounds(rounds)
    {
        auto *box = window.findChild<QPlainTextEdit *>(QStringLiteral("UploadTextBox"));
        if (!box)
            fail("no status box");
        // Reads only the first characters, as the receive loop itself does: the progress line
        // grows by a dot on every poll.
        QObject::connect(box, &QPlainTextEdit::textChanged, box, [this] {
            if (m_sent && m_window.uploadTextStartsWith(kUploadComplete)) {
                m_completed = nanosecondsNow();
                m_sent = false;
                // The rest runs once the window has finished handling the upload.
                QTimer::singleShot(0, [this] { roundDone(); });
            }
        });
    }

    // The window is up: memory first, while the process has received nothing yet.
    void start()
    {
        if (!readAll(m_replies, &m_memoryFrameBytes, sizeof m_memoryFrameBytes) ||
            !readAll(m_replies, &m_timingFrameBytes, sizeof m_timingFrameBytes))
            fail("the writer did not start");
        m_idleKiB = highWaterKiB();
        send('T', m_memoryBytes);
    }

private:
    void send(char target, qint64 bytes)
    {
        const WriteOrder order{target, bytes};
        m_sent = target == 'T';
        writeAll(m_orders, &order, sizeof order);
    }

    // When the writer began the frame it has just finished writing.
    qint64 firstWrite()
    {
        qint64 at = 0;
        if (!readAll(m_replies, &at, sizeof at))
            fail("the writer ended");
        return at;
    }

    void roundDone()
    {
        const double seconds = double(m_completed - firstWrite()) * 1e-9;
        if (m_peakKiB == 0) {
            m_peakKiB = highWaterKiB();
        } else {
            m_tool.push_back(seconds);
            m_cat.push_back(catRound());
        }
        if (int(m_tool.size()) == m_rounds)
            report();
        send('T', m_timingBytes);
    }

    // cat drains the same bytes through its own pseudo-terminal, while the tool's port is quiet.
    double catRound()
    {
        send('C', m_timingBytes);
        const qint64 began = firstWrite();
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (!m_catSide.delivered()) {
            if (Clock::now() > deadline)
                fail("cat did not drain its pseudo-terminal");
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
        return double(nanosecondsNow() - began) * 1e-9;
    }

    [[noreturn]] void report()
    {
        std::printf("memory_upload_bytes=%lld\nidle_hwm_kib=%ld\npeak_hwm_kib=%ld\n",
                    static_cast<long long>(m_memoryFrameBytes), m_idleKiB, m_peakKiB);
        std::printf("timing_upload_bytes=%lld\ntool_seconds=%s\ncat_seconds=%s\n",
                    static_cast<long long>(m_timingFrameBytes), joined(m_tool).c_str(),
                    joined(m_cat).c_str());
        finish();
    }

    MainWindow &m_window;
    InstrumentLine &m_catSide;
    int m_orders;
    int m_replies;
    qint64 m_memoryBytes;
    qint64 m_timingBytes;
    int m_rounds;
    qint64 m_memoryFrameBytes = 0;
    qint64 m_timingFrameBytes = 0;
    bool m_sent = false;
    qint64 m_completed = 0;
    long m_idleKiB = 0;
    long m_peakKiB = 0;
    std::vector<double> m_tool;
    std::vector<double> m_cat;
};

int upload(int &argc, char **argv, qint64 memoryBytes, qint64 timingBytes, int rounds)
{
    const QString folder = qEnvironmentVariable("BRACKENFELD_DEVICE_DIR");
    if (folder.isEmpty() || memoryBytes < 64 || timingBytes < 64 || rounds < 1)
        fail("upload: set BRACKENFELD_DEVICE_DIR and give two sizes and a round count");
    const auto toolSide = standIn(folder, QFileInfo(devicePathForPort(1)).fileName());
    const auto catSide = standIn(folder, QStringLiteral("cat-side"));

    int orders[2];
    int replies[2];
    if (::pipe2(orders, O_CLOEXEC) != 0 || ::pipe2(replies, O_CLOEXEC) != 0)
        fail("pipe");
    // Both children start before Qt does, so that they copy no threads.
    const pid_t writer = ::fork();
    if (writer < 0)
        fail("fork");
    if (writer == 0) {
        // The writer reaches the masters through the descriptors it inherited.
        runWriter(orders[0], replies[1], *toolSide, *catSide, {memoryBytes, timingBytes});
    }
    startCat(catSide->devicePath());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brackenfeld"));
    MainWindow window(
        [](int status) { fail("the window ended with status " + std::to_string(status)); });
    UploadBench bench(window, *catSide, orders[1], replies[0], memoryBytes, timingBytes, rounds);
    QTimer deadline;
    QObject::connect(&deadline, &QTimer::timeout, [] { fail("no result within the deadline"); });
    deadline.start(kDeadlineMs);

    window.load();
    window.show();
    window.activateWindow();
    if (window.comPortCount() != 1)
        fail("the window did not list the pseudo-terminal as COM 1");
    QTimer::singleShot(0, [&bench] { bench.start(); });
    window.runActivated();
    fail("the receive loop ended");
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "ports" && argc == 3)
        return holdPorts(std::atoi(argv[2]));
    if (mode == "startup" && argc == 2)
        return startup(argc, argv);
    if (mode == "upload" && argc == 5)
        return upload(argc, argv, std::atoll(argv[2]), std::atoll(argv[3]), std::atoi(argv[4]));
    std::fprintf(stderr, "usage: %s ports N | startup | upload MEMORY_BYTES TIMING_BYTES ROUNDS\n",
                 argv[0]);
    return 2;
}
