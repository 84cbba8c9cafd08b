#include "storage/FileOutput.h"

#include "common/PlatformError.h"

FileOutput::FileOutput(const QString &path) : m_file(path)
{
    if (!m_file.open(QIODevice::WriteOnly))
        fail();
}

void FileOutput::write(QByteArrayView bytes)
{
    if (m_file.write(bytes.data(), bytes.size()) != bytes.size())
        fail();
}

void FileOutput::close()
{
    if (!m_file.flush())
        fail();
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        fail();
}

void FileOutput::fail()
{
    throw PlatformError(m_file.errorString());
}
