#include "SmallDisk.h"

#include <QFile>
#include <QStorageInfo>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#endif

namespace veltrane::test {

SmallDisk::SmallDisk(qint64 bytes)
{
#ifdef Q_OS_LINUX
    const QByteArray options = "size=" + QByteArray::number(bytes);
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                options.constData()) != 0) {
        m_reason = QStringLiteral("a small disk cannot be mounted here: ") +
                   QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_mounted = true;
#else
    Q_UNUSED(bytes);
    m_reason = QStringLiteral("small disks are mounted on Linux only");
#endif
}

SmallDisk::~SmallDisk()
{
#ifdef Q_OS_LINUX
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
#endif
}

void SmallDisk::fillUpTo(qint64 left) const
{
    QFile filler(m_dir.path() + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly))
        return;
    const QByteArray chunk(4096, 'f');
    while (QStorageInfo(m_dir.path()).bytesAvailable() > left + chunk.size()) {
        if (filler.write(chunk) != chunk.size() || !filler.flush())
            break;
    }
}

} // namespace veltrane::test
