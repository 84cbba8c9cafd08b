#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>

// A file opened for writing, emptied, whose every write is checked: a failure throws
// PlatformError naming the reason.
class FileOutput
{
public:
    explicit FileOutput(const QString &path);

    void write(QByteArrayView bytes);
    // Writes out what is buffered and closes the file; only then is the content known to be there.
    void close();

private:
    [[noreturn]] void fail();

    QFile m_file;
};
