#include "PackageSource.h"

#include <QDir>
#include <QFileInfo>

namespace veltrane {

PackageSource::PackageSource(const QString& given)
    : m_given(HostPath::fromHost(QDir::cleanPath(QFileInfo(given).absoluteFilePath())))
{
    if (PackageArchive::isArchiveName(m_given.fileName()) && !QFileInfo(m_given.toString()).isDir())
        m_archive = std::make_unique<PackageArchive>(m_given);
}

PackageSource::~PackageSource() = default;

void PackageSource::open(const HostPath& unpackParent)
{
    open(unpackParent, PackageArchive::Observer());
}

void PackageSource::open(const HostPath& unpackParent, const PackageArchive::Observer& observer)
{
    if (m_archive)
        m_archive->unpack(unpackParent, observer);
}

QString PackageSource::folder() const
{
    const HostPath& folder = m_archive ? m_archive->packageRoot() : m_given;
    return QDir::toNativeSeparators(folder.toString());
}

QString PackageSource::name() const
{
    return m_given.fileName();
}

} // namespace veltrane
