#pragma once

#include "util/FileError.h"
#include "util/HostPath.h"

#include <QString>
#include <chrono>
#include <functional>

namespace veltrane {

// Why a package archive is not unpacked. The description says what is wrong and names the
// entry; entry() gives the entry alone.
class ArchiveRefusal : public FileError {
public:
    enum class Reason {
        NotAnArchive,   // not a zip, 7z, rar, tar or tar.gz archive
        Damaged,        // a header or an entry's data does not read back whole
        Encrypted,      // an entry, or the directory of the entries, needs a password
        UnsafeName,     // absolute, "..", a drive letter, a control character, an empty part
        LinkLeadsOut,   // a link that leads out of the unpacked folder, or round in a loop
        UnusualEntry,   // a hard link, or neither a file, a folder nor a link
        NameClash,      // a name given twice, or an entry inside a file or link
        TooLarge,       // more bytes unpacked than the limit
        TooManyEntries, // more entries than the limit
        Cancelled,      // the caller asked to stop: nothing is wrong with the archive
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

// A package that comes as an archive: zip, 7z, rar (4 and 5), tar, or tar compressed with gzip.
// The content decides which, never the name. Nothing is written before the whole archive has
// been checked: every entry's name, kind and size, where every link leads, and for gzip the
// checksum of the whole stream. Only then are the entries unpacked, one stream at a time, into
// a private folder that is made inside a folder the caller names, so that it lies on the file
// system the files are later moved to. The folder and everything in it go when the object
// goes, also after a failure.
//
// Names: zip names flagged as UTF-8, 7z and rar 5 names are Unicode; other zip and rar names
// are read in the DOS code page 437 that Windows' zip folders and WinRAR used. Tar names are
// bytes: read as UTF-8, or as Windows-1252 where they are not UTF-8, a reading that keeps every
// name apart. "\" separates names as "/" does, and a leading "./" names the top itself.
//
// An object may be used in any one thread at a time; it holds no QObject.
class PackageArchive {
public:
    struct Limits {
        qint64 unpackedBytes = qint64(64) << 30;
        qint64 entries = 1'000'000;
    };

    // How far unpack() has come. While the archive is checked, the bytes are those of the
    // archive read so far, of its size (twice its size for gzip, which is read twice), and
    // entriesTotal is 0, unknown yet. While it is unpacked, the bytes written of all that the
    // headers declare, and the entries made of all.
    struct Progress {
        enum class Stage : quint8 { Checking, Unpacking };
        Stage stage = Stage::Checking;
        qint64 bytesDone = 0;
        qint64 bytesTotal = 0;
        qint64 entriesDone = 0;
        qint64 entriesTotal = 0;
    };

    // Told how unpack() goes, on the thread that runs it: as each stage starts, then at most
    // once an interval while it goes on, and when all is unpacked. report returns false to
    // cancel: unpack() then removes what it wrote and throws ArchiveRefusal with the reason
    // Cancelled.
    struct Observer {
        std::function<bool(const Progress&)> report;
        std::chrono::milliseconds interval{50};
    };

    explicit PackageArchive(HostPath archive);
    PackageArchive(HostPath archive, Limits limits);
    ~PackageArchive();
    PackageArchive(const PackageArchive&) = delete;
    PackageArchive& operator=(const PackageArchive&) = delete;

    // Whether the name is one of an archive: ".zip", ".7z", ".rar", ".tar", ".tar.gz" or
    // ".tgz", in any letter case.
    static bool isArchiveName(const QString& name);

    // Reads every header, and a gzip stream whole, and throws ArchiveRefusal for the first
    // entry that may not be unpacked; writes nothing.
    void check() const;

    // Checks, then unpacks into a new private folder ".veltrane-unpack-…" inside parent. What
    // cannot be known before the data is read (a damaged entry, more bytes than declared) is
    // refused on the way, and the folder then goes at once. Throws ArchiveRefusal, or
    // FileError where the folder cannot be written. The observer is told how it goes and may
    // cancel it.
    void unpack(const HostPath& parent);
    void unpack(const HostPath& parent, const Observer& observer);

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
