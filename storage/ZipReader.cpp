#include "storage/ZipReader.h"

#include "common/PlatformError.h"

#include <QDir>
#include <QFile>

#include <unzip.h>

ZipReader::ZipReader(const QString &path) : m_path(path)
{
    m_zip = unzOpen64(QFile::encodeName(path).constData());
    if (!m_zip)
        fail("is not a zip file");
}

ZipReader::~ZipReader()
{
    closeEntry();
    unzClose(m_zip);
}

bool ZipReader::nextEntry()
{
    closeEntry();
    const int moved = m_started ? unzGoToNextFile(m_zip) : unzGoToFirstFile(m_zip);
    m_started = true;
    if (moved == UNZ_END_OF_LIST_OF_FILE)
        return false;
    unz_file_info64 info{};
    char name[512];
    if (moved != UNZ_OK ||
        unzGetCurrentFileInfo64(m_zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
            UNZ_OK ||
        unzOpenCurrentFile(m_zip) != UNZ_OK)
        fail("has a damaged entry list");
    m_entryOpen = true;
    // A longer name is cut to the buffer, without its terminating NUL.
    m_entryName = QString::fromUtf8(name, qMin<qsizetype>(info.size_filename, sizeof name));
    return true;
}

qsizetype ZipReader::read(char *data, qsizetype size)
{
    if (!m_entryOpen)
        return 0;
    const int got = unzReadCurrentFile(m_zip, data, static_cast<unsigned>(size));
    if (got < 0)
        fail("has a damaged entry");
    if (got == 0) {
        m_entryOpen = false;
        if (unzCloseCurrentFile(m_zip) != UNZ_OK)
            fail("has an entry whose checksum is wrong");
    }
    return got;
}

void ZipReader::closeEntry()
{
    if (m_entryOpen)
        unzCloseCurrentFile(m_zip);
    m_entryOpen = false;
}

void ZipReader::fail(const char *what) const
{
    throw PlatformError(
        QStringLiteral("%1 %2.").arg(QDir::toNativeSeparators(m_path), QString::fromLatin1(what)));
}
