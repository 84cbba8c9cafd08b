#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLockFile>
#include <QString>

#include <memory>
#include <vector>

// An upload kept on disk until it is saved, cleared or given up, so that neither a crash nor a
// power cut loses it. The program that keeps it holds a lock on it while it runs.
class KeptUpload
{
public:
    KeptUpload(QString path, std::unique_ptr<QLockFile> lock);
    KeptUpload(KeptUpload &&) noexcept;
    KeptUpload &operator=(KeptUpload &&) noexcept;
    ~KeptUpload();

    // When it was received, from its name; for a file not named so, when it was last written.
    QDateTime received() const;
    // The upload as decoded; throws PlatformError naming the reason when it cannot be read.
    QByteArray upload() const;
    // Removes it for good: it is saved, cleared, or the user gave it up.
    void forget();

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

// The folder of uploads not saved yet, "unsaved" in the user's own application data
// (~/.local/share/Brackenfeld/unsaved on Linux, %LOCALAPPDATA%\Brackenfeld\unsaved on Windows).
// Each upload is a file holding what a save of it as .xls writes, named after the moment it
// arrived; the folder and its files are the user's alone.
class UnsavedUploads
{
public:
    static QString defaultFolder();

    explicit UnsavedUploads(QString folder) : m_folder(std::move(folder)) {}

    QString folder() const { return m_folder; }

    // Writes the upload to the disk, whole and synced with its name, and holds it. Throws
    // PlatformError naming the system's reason when the folder cannot take it.
    KeptUpload keep(const QByteArray &upload) const;

    // What programs that have ended left, oldest first, each held by this program now; their
    // locks and temporary files without an upload go. Another program that is still running
    // holds its own, and they are not among them.
    std::vector<KeptUpload> leftBehind() const;

private:
    QString m_folder;
};
