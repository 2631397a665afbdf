#pragma once

#include "PackageArchive.h"
#include "util/HostPath.h"
#include "util/PackageKind.h"

#include <QString>
#include <memory>
#include <optional>

class QLockFile;

namespace veltrane {

// The package an install works on, as the user gave it: a package folder, used as it is, or
// an archive, unpacked into a private folder that goes when this object goes. The files
// of an unpacked archive are ours to take apart: the install moves them into the game
// instead of copying them.
class PackageSource {
public:
    // given: a host path of a folder or of an archive.
    explicit PackageSource(const QString& given);
    ~PackageSource();
    PackageSource(const PackageSource&) = delete;
    PackageSource& operator=(const PackageSource&) = delete;

    bool isArchive() const { return m_archive != nullptr; }
    // Unpacks an archive into a new private folder inside unpackParent, best on the game's own
    // file system, after removing what killed programs left there; a folder needs nothing.
    // Throws FileError (ArchiveRefusal for an archive that may not be unpacked), having
    // written nothing that stays. The observer is told how the unpacking goes, and may cancel
    // it (ArchiveRefusal::Reason::Cancelled).
    void open(const HostPath& unpackParent);
    void open(const HostPath& unpackParent, const PackageArchive::Observer& observer);

    // The package folder; for an archive, once it is open.
    const HostPath& folder() const;
    // What the folder holds: nothing when no package lies there.
    std::optional<PackageKind> kind() const;
    // As the user knows the package: the folder's name or the archive's.
    QString name() const;
    // Whether its files may be moved into the game: an unpacked archive's.
    bool movable() const { return isArchive(); }

    // Removes the private folders in parent that programs no longer running left behind (a
    // program killed while it unpacked or installed); those of live programs stay.
    static void removeLeftovers(const HostPath& parent);

private:
    void closePrivateFolder();

    HostPath m_given;
    std::unique_ptr<PackageArchive> m_archive;
    // Where the archive is unpacked, with the lock that tells others this program lives.
    HostPath m_private;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace veltrane
