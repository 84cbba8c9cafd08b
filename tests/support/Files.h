#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

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

// A path as the system writes it, and as the tool shows and keeps it: C:\Data on Windows.
inline QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
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

// Points the system's temporary folder at `path` while it lives: TMPDIR on Unix, TMP and TEMP on
// Windows.
class TemporaryFolderAt
{
public:
    explicit TemporaryFolderAt(const QString &path)
    {
        for (const char *name : kVariables) {
            m_before << (qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name))
                                                         : std::nullopt);
            qputenv(name, QFile::encodeName(path));
        }
    }
    ~TemporaryFolderAt()
    {
        for (qsizetype i = 0; i < m_before.size(); ++i) {
            if (m_before[i])
                qputenv(kVariables[i], *m_before[i]);
            else
                qunsetenv(kVariables[i]);
        }
    }
    TemporaryFolderAt(const TemporaryFolderAt &) = delete;
    TemporaryFolderAt &operator=(const TemporaryFolderAt &) = delete;

private:
#ifdef Q_OS_WIN
    static constexpr const char *kVariables[] = {"TMP", "TEMP"};
#else
    static constexpr const char *kVariables[] = {"TMPDIR"};
#endif
    QList<std::optional<QByteArray>> m_before;
};
