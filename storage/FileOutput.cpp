#include "storage/FileOutput.h"

#include "common/PlatformError.h"
#include "storage/Folder.h"
#include "storage/RegularFile.h"

#include <QFileInfo>
#include <QSaveFile>

FileOutput::FileOutput(const QString &path, InPlace inPlace) : m_path(path)
{
    refuseIfNotRegular(path);
    auto file = std::make_unique<QSaveFile>(path);
    file->setDirectWriteFallback(inPlace == InPlace::WhenFolderRefuses);
    m_file = std::move(file);
    // Unbuffered: QSaveFile's commit does not see a failure of the writes that a buffer holds back
    // until it closes, and would put an incomplete file in the target's place.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail();
}

FileOutput::~FileOutput() = default;

void FileOutput::write(QByteArrayView bytes)
{
    // A write that the system cuts short, on a disk that fills up, fails without a reason; the
    // write of the rest then fails with the system's own ("No space left on device").
    while (!bytes.isEmpty()) {
        const qint64 written = m_file->write(bytes.data(), bytes.size());
        if (written <= 0)
            fail();
        bytes = bytes.sliced(written);
    }
}

void FileOutput::commit()
{
    if (!m_file->commit())
        fail();
    // The new file has taken the target's name, which goes on the disk as well.
    syncName(QFileInfo(m_path).canonicalFilePath());
}

void FileOutput::fail() const
{
    throw PlatformError(m_file->errorString());
}
