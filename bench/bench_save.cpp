#include "bench/Bench.h"
#include "storage/UploadFile.h"
#include "upload/UploadFrame.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <limits>
#include <malloc.h>
#include <stdexcept>

namespace {

// What Save writes after a 16 MiB upload of the simulator's sample rows.
const QByteArray &sampleUpload()
{
    static const QByteArray text = DecodeUploadFrame(sampleUploadFrame(16 * kMiB),
                                                     QByteArray(1, '\x02'), QByteArray(1, '\x04'))
                                       .text;
    return text;
}

// Wall-clock seconds of one save: the user waits for the disk as well.
double secondsToSave(const QString &fileName)
{
    const auto began = std::chrono::steady_clock::now();
    writeUploadFile(fileName, sampleUpload());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

// A size that /proc/self/status gives in kB, such as "VmHWM:".
double statusMiB(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        throw std::runtime_error("/proc/self/status cannot be read");
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    throw std::runtime_error(std::string("no ") + key + " in /proc/self/status");
}

// Sets the high-water mark of the process's memory (VmHWM) back to what it holds now.
void resetMemoryPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1 || !clearRefs.flush())
        throw std::runtime_error("/proc/self/clear_refs cannot be written");
}

QString fileIn(const QTemporaryDir &folder, const char *name)
{
    if (!folder.isValid())
        throw std::runtime_error("no temporary folder");
    return QDir(folder.path()).filePath(QString::fromLatin1(name));
}

} // namespace

Measured workbookSaveTime(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString workbook = fileIn(folder, "upload.xlsx");
    const QString text = fileIn(folder, "upload.xls");
    double workbookSeconds = std::numeric_limits<double>::infinity();
    double textSeconds = workbookSeconds;
    for (auto _ : state) {
        workbookSeconds = std::min(workbookSeconds, secondsToSave(workbook));
        textSeconds = std::min(textSeconds, secondsToSave(text));
    }
    return {workbookSeconds, textSeconds, workbookSeconds / textSeconds};
}

Measured workbookSaveMemory(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString workbook = fileIn(folder, "upload.xlsx");
    const double uploadMiB = double(sampleUpload().size()) / kMiB;
    double rise = std::numeric_limits<double>::infinity();
    for (auto _ : state) {
        // The heap keeps what earlier rows freed; given back, the pages the save takes show.
        malloc_trim(0);
        const double before = statusMiB("VmRSS:");
        resetMemoryPeak();
        secondsToSave(workbook);
        rise = std::min(rise, statusMiB("VmHWM:") - before);
    }
    return {rise, uploadMiB, rise / uploadMiB};
}
