#pragma once

#include "util/FileError.h"
#include "util/HostPath.h"

#include <QString>

namespace veltrane {

// Why a package archive is not unpacked. The description says what is wrong and names the
// entry; entry() gives the entry alone.
class ArchiveRefusal : public FileError {
public:
    enum class Reason {
        NotAZipArchive,
        Damaged,        // a header or an entry's data does not read back whole
        Encrypted,      // an entry needs a password
        UnsafeName,     // absolute, "..", a drive letter, a control character, an empty part
        LinkLeadsOut,   // a link that leads out of the unpacked folder, or round in a loop
        UnusualEntry,   // neither a file, a folder nor a link
        NameClash,      // a name given twice, or an entry inside a file or link
        TooLarge,       // more bytes unpacked than the limit
        TooManyEntries, // more entries than the limit
    };

    ArchiveRefusal(Reason reason, QString entry, const QString& description);

    Reason reason() const { return m_reason; }
    // The entry's name as the archive gives it, "entry N" (from 1) where the name cannot be
    // read, or empty where the archive as a whole is refused.
    const QString& entry() const { return m_entry; }

private:
    Reason m_reason;
    QString m_entry;
};

// A package that comes as a zip archive. Nothing is written before the whole archive has been
// checked: every entry's name, kind and size, and where every link leads. Only then are the
// entries unpacked, one stream at a time, into a private folder that is made inside a folder
// the caller names, so that it lies on the file system the files are later moved to. The
// folder and everything in it go when the object goes, also after a failure.
//
// Zip names flagged as UTF-8 are read as UTF-8, all others in the DOS code page 437 that
// Windows' own zip folders used; "\" separates names as "/" does.
class PackageArchive {
public:
    struct Limits {
        qint64 unpackedBytes = qint64(64) << 30;
        qint64 entries = 1'000'000;
    };

    explicit PackageArchive(HostPath archive);
    PackageArchive(HostPath archive, Limits limits);
    ~PackageArchive();
    PackageArchive(const PackageArchive&) = delete;
    PackageArchive& operator=(const PackageArchive&) = delete;

    // Whether the name is one of a zip archive (".zip", any letter case).
    static bool isArchiveName(const QString& name);

    // Reads every header and throws ArchiveRefusal for the first entry that may not be
    // unpacked; writes nothing.
    void check() const;

    // Checks, then unpacks into a new private folder ".veltrane-unpack-…" inside parent. What
    // cannot be known before the data is read (a damaged entry, more bytes than declared) is
    // refused on the way, and the folder then goes at once. Throws ArchiveRefusal, or
    // FileError where the folder cannot be written.
    void unpack(const HostPath& parent);

    // The unpacked folder; empty before unpack() succeeded.
    const HostPath& folder() const { return m_folder; }
    // What a package folder is: the unpacked folder, or the one folder inside it that holds
    // the package's markers or its "Rail Simulator" folder when they are one level down.
    const HostPath& packageRoot() const { return m_root; }

    // Removes the unpacked folder now; the destructor does it otherwise.
    void remove();

private:
    HostPath m_archive;
    Limits m_limits;
    HostPath m_folder;
    HostPath m_root;
};

} // namespace veltrane
