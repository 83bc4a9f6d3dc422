// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A small file system of its own (tmpfs) mounted on a temporary folder and
// filled to the last block: every write there fails with "No space left on
// device", as on a full disk. Mounting needs root (CI runs as root); where
// it cannot be done, mounted() is false and why() says so, for a QSKIP.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

class SmallDisk
{
public:
    // `kib` of room; with `fill`, a file takes every block of it.
    explicit SmallDisk(int kib = 256, bool fill = true)
    {
        if (!m_dir.isValid()) {
            m_why = QStringLiteral("no temporary folder");
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0755";
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    options.constData())
            != 0) {
            m_why = QStringLiteral("a small tmpfs cannot be mounted here (%1); the full-disk rows need root")
                        .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        m_mounted = true;
        QDir().mkpath(path(QStringLiteral("full")));
        if (fill)
            fillUp();
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    QString why() const { return m_why; }
    // A name on the small disk ("full" is a folder made before it filled).
    QString path(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }

    // Takes every free block with one file.
    void fillUp()
    {
        const int fd = ::open(QFile::encodeName(path(QStringLiteral(".ballast"))).constData(),
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        const QByteArray block(4096, 'x');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        // The last bytes that fit in part of a block.
        while (::write(fd, "x", 1) > 0) {
        }
        ::close(fd);
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_why;
};
