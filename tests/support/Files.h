#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <csignal>
#include <sys/resource.h>

// A file's bytes, or "(missing)" where there is no file to read, so that a comparison shows which.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("(missing)");
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// Every name in the folder, hidden ones and temporaries included.
inline QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// Points the user's configuration folder (XDG_CONFIG_HOME) at `path` while it lives. The
// program keeps its settings there when its own folder cannot be written.
class UserConfigFolder
{
public:
    explicit UserConfigFolder(const QString &path) : m_before(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path));
    }
    ~UserConfigFolder() { qputenv("XDG_CONFIG_HOME", m_before); }
    UserConfigFolder(const UserConfigFolder &) = delete;
    UserConfigFolder &operator=(const UserConfigFolder &) = delete;

private:
    QByteArray m_before;
};

// Holds the process to files of at most `bytes` while it lives, as a full disk would, root
// included. The signal that would end the process at the limit is ignored, so the write just
// fails.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_before);
        m_signalBefore = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_before.rlim_max};
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_signalBefore);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_before{};
    void (*m_signalBefore)(int) = nullptr;
    bool m_active = false;
};
