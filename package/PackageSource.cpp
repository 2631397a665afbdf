#include "PackageSource.h"

#include "PackageFolder.h"
#include "util/FileError.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace fs = std::filesystem;

namespace veltrane {

namespace {

const QString kPrivatePrefix = u".veltrane-package-"_s;
// What PackageArchive itself makes; found straight in a parent only when left by an older run.
const QString kUnpackPrefix = u".veltrane-unpack-"_s;
const QString kLockName = u"lock"_s;

} // namespace

PackageSource::PackageSource(const QString& given)
    : m_given(HostPath::fromHost(QDir::cleanPath(QFileInfo(given).absoluteFilePath())))
{
    if (PackageArchive::isArchiveName(m_given.fileName()) && !QFileInfo(m_given.toString()).isDir())
        m_archive = std::make_unique<PackageArchive>(m_given);
}

PackageSource::~PackageSource()
{
    closePrivateFolder();
}

void PackageSource::removeLeftovers(const HostPath& parent)
{
    const QStringList names =
        QDir(parent.toString())
            .entryList({kPrivatePrefix + u'*', kUnpackPrefix + u'*'},
                       QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const HostPath folder = parent.child(name);
        if (name.startsWith(kPrivatePrefix)) {
            // A live program holds its lock; one that died left a lock that is stale.
            QLockFile lock(folder.child(kLockName).toString());
            lock.setStaleLockTime(0);
            if (!lock.tryLock(0))
                continue;
            lock.unlock();
        }
        std::error_code error;
        fs::remove_all(folder.fs(), error);
    }
}

void PackageSource::open(const HostPath& unpackParent)
{
    open(unpackParent, PackageArchive::Observer());
}

void PackageSource::open(const HostPath& unpackParent, const PackageArchive::Observer& observer)
{
    if (!m_archive)
        return;
    // A pipe or a device of an archive's name would be waited on for ever.
    if (!QFileInfo(m_given.toString()).isFile())
        throw FileError(FileError::Kind::Other,
                        u"It is not a file that can be read ("_s + m_given.display() + u')');
    removeLeftovers(unpackParent);
    closePrivateFolder();
    for (;;) {
        m_private = unpackParent.child(
            kPrivatePrefix + QString::number(QRandomGenerator::global()->generate64(), 36));
        std::error_code error;
        if (fs::create_directory(m_private.fs(), error))
            break;
        if (error)
            throw FileError::fromSystem(error, m_private.display());
    }
    m_lock = std::make_unique<QLockFile>(m_private.child(kLockName).toString());
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        closePrivateFolder();
        throw FileError(FileError::Kind::Other,
                        u"The folder "_s + unpackParent.display() + u" cannot be written to"_s);
    }
    try {
        m_archive->unpack(m_private, observer);
    } catch (...) {
        closePrivateFolder();
        throw;
    }
}

void PackageSource::closePrivateFolder()
{
    if (m_archive)
        m_archive->remove();
    m_lock.reset();
    if (!m_private.isEmpty()) {
        std::error_code error;
        fs::remove_all(m_private.fs(), error);
        m_private = HostPath();
    }
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
