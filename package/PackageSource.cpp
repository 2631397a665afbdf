#include "PackageSource.h"

#include "PackageArchive.h"
#include "PackageFolder.h"

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
    if (m_archive)
        m_archive->unpack(unpackParent);
}

const HostPath& PackageSource::folder() const
{
    return m_archive ? m_archive->packageRoot() : m_given;
}

std::optional<PackageKind> PackageSource::kind() const
{
    return PackageFolder::identify(folder());
}

QString PackageSource::name() const
{
    return m_given.fileName();
}

} // namespace veltrane
