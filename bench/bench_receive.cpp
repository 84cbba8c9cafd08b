#include "app/MainWindow.h"
#include "bench/Bench.h"
#include "serial/SerialPortService.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

// A port that serves one upload in reads of a fixed size (at most 32767), one read per poll. Each
// read is a view into the upload, so 16M one-byte reads cost no memory of their own.
class SlicedSerialPort : public SerialPortService
{
public:
    SlicedSerialPort(const QByteArray &characters, qsizetype readBytes)
        : m_characters(characters), m_readBytes(readBytes)
    {}

    bool allRead() const { return m_next == m_characters.size(); }

    void pauseBeforeProbing() override {}
    void setCommPort(qint16) override {}
    qint16 CommPort() const override { return 1; }
    bool PortOpen() const override { return true; }
    void setPortOpen(bool) override {}
    qint16 InBufferCount() override { return qint16(nextReadSize()); }
    QByteArray Input() override
    {
        const qsizetype size = nextReadSize();
        m_next += size;
        return QByteArray::fromRawData(m_characters.constData() + m_next - size, size);
    }
    bool takeDeviceLoss() override { return false; }
    QString describePort(qint16) const override { return {}; }

private:
    qsizetype nextReadSize() const { return std::min(m_readBytes, m_characters.size() - m_next); }

    const QByteArray &m_characters;
    qsizetype m_readBytes;
    qsizetype m_next = 0;
};

// The real window with the status text kept as the text last set: the loop only appends progress
// dots and asks whether the text starts with a word it set. The status box's own cost per dot
// would otherwise outweigh the loop's.
class LeanWindow : public MainWindow
{
public:
    LeanWindow() : MainWindow([](int) {}) {}

    bool uploadTextStartsWith(const QString &prefix) const override
    {
        return m_text.startsWith(prefix);
    }
    void setUploadText(const QString &text) override { m_text = text; }
    void appendUploadText(const QString &) override {}
    void pause(int) override {}

private:
    QString m_text;
};

// CPU seconds of one whole upload through Main::pollPort, from the first poll that finds
// characters to the decoded text.
double receiveSeconds(LeanWindow &window, const QByteArray &frame, qsizetype readBytes)
{
    SlicedSerialPort port(frame, readBytes);
    QtFileDialogService dialog(&window, Main::kApplicationTitle);
    Main main(window, port, dialog);
    main.FrameStart = QByteArray(1, '\x02');
    main.FrameEnd = QByteArray(1, '\x04');
    const double seconds = cpuSeconds([&] {
        while (!port.allRead())
            main.pollPort();
    });
    if (main.UploadData.isEmpty())
        throw std::runtime_error("the upload was not decoded");
    return seconds;
}

} // namespace

// A 16 MiB upload against the same bytes as 1 MiB uploads, in CPU time per byte. A poll whose
// work grew with what had already been received would put the ratio near 16, not near 1.
Measured receiveCost(benchmark::State &state, qsizetype readBytes)
{
    const QByteArray &large = sampleUploadFrame(16 * kMiB);
    const QByteArray &small = sampleUploadFrame(kMiB);
    LeanWindow window;
    double perByte = std::numeric_limits<double>::infinity();
    double smallPerByte = perByte;
    for (auto _ : state) {
        perByte =
            std::min(perByte, receiveSeconds(window, large, readBytes) / double(large.size()));
        double seconds = 0;
        for (int i = 0; i < 16; ++i)
            seconds += receiveSeconds(window, small, readBytes);
        smallPerByte = std::min(smallPerByte, seconds / double(16 * small.size()));
    }
    return {perByte * 1e9, smallPerByte * 1e9, perByte / smallPerByte};
}
