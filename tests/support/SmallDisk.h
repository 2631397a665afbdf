#pragma once

#include <QString>
#include <QTemporaryDir>

namespace veltrane::test {

// A file system of a few pages, mounted while it lives, to run out of space on (a tmpfs; it
// needs root). Where it cannot be mounted, unavailableReason() says why.
class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    QString path() const { return m_dir.path(); }
    QString unavailableReason() const { return m_reason; }
    // Fills the disk until only about `left` bytes are free.
    void fillUpTo(qint64 left) const;

private:
    QTemporaryDir m_dir;
    QString m_reason;
    bool m_mounted = false;
};

} // namespace veltrane::test
