#pragma once

#include "PackageArchive.h"
#include "util/HostPath.h"

#include <QString>
#include <memory>

namespace veltrane {

// The package an install works on, as the user gave it: a package folder, used as it is, or
// an archive, unpacked into a private folder that goes when this object goes. The files
// of an unpacked archive are ours to take apart: the install moves them into the game
// instead of copying them.
class PackageSource {
public:
    // given: a host path of a folder or of an archive (PackageArchive::isArchiveName()).
    explicit PackageSource(const QString& given);
    ~PackageSource();
    PackageSource(const PackageSource&) = delete;
    PackageSource& operator=(const PackageSource&) = delete;

    bool isArchive() const { return m_archive != nullptr; }
    // Unpacks an archive into a new private folder inside unpackParent, best on the game's own
    // file system; a folder needs nothing. Throws FileError (ArchiveRefusal for an archive that
    // may not be unpacked), having written nothing that stays. The observer is told how the
    // unpacking goes, and may cancel it (ArchiveRefusal::Reason::Cancelled).
    void open(const HostPath& unpackParent);
    void open(const HostPath& unpackParent, const PackageArchive::Observer& observer);

    // The package folder in the program's path form; for an archive, once it is open.
    QString folder() const;
    // As the user knows the package: the folder's name or the archive's.
    QString name() const;
    // Whether its files may be moved into the game: an unpacked archive's.
    bool movable() const { return isArchive(); }

private:
    HostPath m_given;
    std::unique_ptr<PackageArchive> m_archive;
};

} // namespace veltrane
