#pragma once

// Linux only: a tmpfs of its own, which only root may mount.

#include <QFile>
#include <QString>

#include <sys/mount.h>

// A disk of 64 KiB mounted on the folder while it lives, full from the start: a file fills it.
// Where the system lets no tmpfs be mounted here, it is not active.
class SmallFullDisk
{
public:
    explicit SmallFullDisk(const QString &folder) : m_folder(QFile::encodeName(folder))
    {
        m_active = ::mount("tmpfs", m_folder.constData(), "tmpfs", 0, "size=64k,mode=0700") == 0;
        QFile filler(folder + QStringLiteral("/filler"));
        if (m_active && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            filler.write(QByteArray(128 * 1024, 'x'));
    }
    ~SmallFullDisk()
    {
        if (m_active)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    SmallFullDisk(const SmallFullDisk &) = delete;
    SmallFullDisk &operator=(const SmallFullDisk &) = delete;

    bool active() const { return m_active; }

private:
    QByteArray m_folder;
    bool m_active = false;
};
