#pragma once

#include <QString>

// The entries of a zip file, read one after another with minizip. Throws PlatformError when the
// file is not a zip it can read or an entry is damaged; each entry's CRC is checked at its end.
class ZipReader
{
public:
    explicit ZipReader(const QString &path);
    ~ZipReader();
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    // Opens the first entry on the first call and the next one on each further call; false
    // after the last.
    bool nextEntry();
    QString entryName() const { return m_entryName; }
    // Up to `size` bytes of the open entry; 0 at its end.
    qsizetype read(char *data, qsizetype size);

private:
    [[noreturn]] void fail(const char *what) const;
    void closeEntry();

    QString m_path;
    void *m_zip = nullptr;
    bool m_started = false;
    bool m_entryOpen = false;
    QString m_entryName;
};
