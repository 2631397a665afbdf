#include "PackageArchive.h"

#include "PackageFolder.h"
#include "util/PathGuard.h"
#include "util/WindowsPath.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <QRandomGenerator>
#include <QSet>
#include <archive.h>
#include <archive_entry.h>
#include <filesystem>
#include <vector>

#ifndef Q_OS_WIN
#include <clocale>
#endif

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Reason = ArchiveRefusal::Reason;

constexpr int kMaxLinksOnTheWay = 40; // as Linux follows in one lookup
constexpr size_t kReadBlock = size_t(64) * 1024;

// libarchive turns zip names into the thread's locale. In C.UTF-8 both kinds come out as
// UTF-8: flagged names as they are, the others from the code page set as "hdrcharset". The
// process's own locale may be "C", where every name beyond ASCII would be lost.
class Utf8Names {
public:
#ifdef Q_OS_WIN
    Utf8Names() = default;
#else
    Utf8Names() : m_locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr)))
    {
        if (m_locale)
            m_previous = uselocale(m_locale);
    }
    ~Utf8Names()
    {
        if (!m_locale)
            return;
        uselocale(m_previous);
        freelocale(m_locale);
    }
#endif
    Utf8Names(const Utf8Names&) = delete;
    Utf8Names& operator=(const Utf8Names&) = delete;

#ifndef Q_OS_WIN
private:
    locale_t m_locale;
    locale_t m_previous = nullptr;
#endif
};

// A name as a message shows it: control characters would break the line or vanish.
QString shown(const QString& name)
{
    QString text = name;
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

QString entryNumber(qint64 number)
{
    return u"entry %1"_s.arg(number);
}

// What makes a name unfit to be unpacked; empty when it is fit. The name is "/" separated.
QString nameProblem(const QString& name)
{
    if (name.isEmpty())
        return u"has no name"_s;
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control)
            return u"holds a control character"_s;
    }
    if (name.startsWith(u'/'))
        return u"is an absolute path"_s;
    if (WindowsPath::startsWithDrive(name))
        return u"names a drive"_s;
    if (name.contains(u':'))
        return u"holds a colon, which Windows reads as a drive or a hidden stream"_s;
    for (const QStringView part : QStringView(name).split(u'/')) {
        if (part == u"..")
            return u"climbs out of its folder with \"..\""_s;
        // Windows drops trailing dots and blanks: "..." and ". " are "." there.
        qsizetype meaningful = part.size();
        while (meaningful > 0 && (part[meaningful - 1] == u'.' || part[meaningful - 1] == u' '))
            --meaningful;
        if (meaningful == 0)
            return u"has an empty or \".\" part"_s;
    }
    return {};
}

enum class Kind : quint8 { Folder, File, Link };

struct Entry {
    QString name; // relative, "/" separated, no trailing separator
    Kind kind = Kind::File;
    qint64 size = -1; // as declared; -1 when the header does not say
};

// Why the file itself cannot be opened, a matter of the file system rather than of the
// archive; none when it is there to be read.
std::error_code openError(const HostPath& path, int code)
{
    std::error_code error;
    const fs::file_status status = fs::status(path.fs(), error);
    if (fs::is_directory(status))
        return std::make_error_code(std::errc::is_a_directory);
    if (!fs::exists(status))
        return error ? error : std::make_error_code(std::errc::no_such_file_or_directory);
    if (code == EACCES || code == EPERM)
        return {code, std::generic_category()};
    return {};
}

bool startsAsZip(const HostPath& path)
{
    QFile file(path.toString());
    return file.open(QIODevice::ReadOnly) && file.read(4) == QByteArrayView("PK\x03\x04");
}

// The archive opened for one pass over its entries.
class Reader {
public:
    Reader(const HostPath& path, QString archiveName)
        : m_archive(archive_read_new()), m_archiveName(std::move(archiveName))
    {
        if (!m_archive)
            throw FileError(FileError::Kind::Other, u"Out of memory"_s);
        // Only with the directory at its end: read entry by entry from the start instead, a
        // damaged archive can show other entries when their data is read than when it is
        // skipped, and the check would not vouch for the unpacking.
        archive_read_support_format_zip_seekable(m_archive);
#ifndef Q_OS_WIN
        archive_read_set_options(m_archive, "hdrcharset=CP437");
        const int opened = archive_read_open_filename(m_archive, path.fs().c_str(), kReadBlock);
#else
        const int opened = archive_read_open_filename_w(m_archive, path.fs().c_str(), kReadBlock);
#endif
        if (opened == ARCHIVE_OK)
            return;
        const int code = archive_errno(m_archive);
        const QString reason = errorText();
        archive_read_free(m_archive);
        if (const std::error_code error = openError(path, code))
            throw FileError::fromSystem(error, path.display());
        if (startsAsZip(path))
            throw ArchiveRefusal(Reason::Damaged, {},
                                 m_archiveName +
                                     u" is damaged: the directory of its entries at its end is "
                                     u"missing or broken, as when a download was cut short ("_s +
                                     reason + u")."_s);
        throw ArchiveRefusal(Reason::NotAZipArchive, {},
                             m_archiveName + u" cannot be read as a zip archive: "_s + reason);
    }
    ~Reader()
    {
        archive_read_free(m_archive);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // The next entry's header; nullptr after the last one. number counts from 1.
    archive_entry* next(qint64 number, const QString& previous)
    {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(m_archive, &entry);
        if (status == ARCHIVE_EOF)
            return nullptr;
        if (status != ARCHIVE_OK) {
            // The entry's name may be the one before, or missing: say where it is instead.
            const QString after =
                previous.isEmpty() ? QString() : u" (after \""_s + shown(previous) + u"\")"_s;
            throw ArchiveRefusal(Reason::Damaged, entryNumber(number),
                                 m_archiveName + u" is damaged at "_s + entryNumber(number) +
                                     after + u": "_s + errorText());
        }
        return entry;
    }

    // Hands the current entry's data to sink in blocks as it is decompressed.
    template <typename Sink> void readData(const QString& name, Sink sink)
    {
        for (;;) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int status = archive_read_data_block(m_archive, &block, &size, &offset);
            if (status == ARCHIVE_EOF)
                return;
            // A wrong checksum is only a warning to libarchive; here the entry is damaged.
            if (status != ARCHIVE_OK)
                throw ArchiveRefusal(Reason::Damaged, name,
                                     u"The entry \""_s + shown(name) + u"\" of "_s + m_archiveName +
                                         u" is damaged: "_s + errorText());
            sink(block, size, offset);
        }
    }

private:
    QString errorText() const
    {
        const char* text = archive_error_string(m_archive);
        return text ? QString::fromUtf8(text) : u"unknown error"_s;
    }

    archive* m_archive;
    QString m_archiveName;
};

// The entries as the unpacked folder will hold them, built up header by header, so that each
// entry is judged with all before it, and every link at the end with all entries known.
class EntryCheck {
public:
    EntryCheck(QString archiveName, const PackageArchive::Limits& limits)
        : m_archiveName(std::move(archiveName)), m_limits(limits)
    {
    }

    Entry admit(archive_entry* header, qint64 number)
    {
        if (number > m_limits.entries)
            throw ArchiveRefusal(Reason::TooManyEntries, {},
                                 m_archiveName + u" holds more than "_s +
                                     QString::number(m_limits.entries) + u" entries."_s);
        const char* path = archive_entry_pathname(header);
        const QString given = path ? QString::fromUtf8(path) : QString();
        const QString called = given.isEmpty() ? entryNumber(number) : given;
        if (archive_entry_is_encrypted(header))
            throw refusal(Reason::Encrypted, called,
                          u"is encrypted; unpack the archive with its password and install "
                          u"from the folder"_s);

        Entry entry;
        switch (archive_entry_filetype(header)) {
        case AE_IFDIR:
            entry.kind = Kind::Folder;
            break;
        case AE_IFREG:
            entry.kind = Kind::File;
            break;
        case AE_IFLNK:
            entry.kind = Kind::Link;
            break;
        default:
            throw refusal(Reason::UnusualEntry, called,
                          u"is neither a file, a folder nor a link"_s);
        }
        if (archive_entry_hardlink(header))
            throw refusal(Reason::UnusualEntry, called, u"is a hard link"_s);

        entry.name = given;
        entry.name.replace(u'\\', u'/');
        if (entry.kind == Kind::Folder && entry.name.endsWith(u'/'))
            entry.name.chop(1);
        if (const QString problem = nameProblem(entry.name); !problem.isEmpty())
            throw refusal(Reason::UnsafeName, called, problem);
        place(entry, called);

        if (entry.kind == Kind::File && archive_entry_size_is_set(header)) {
            entry.size = archive_entry_size(header);
            if (entry.size < 0 || entry.size > m_limits.unpackedBytes - m_bytes)
                throw tooLarge(called);
            m_bytes += entry.size;
        }
        if (entry.kind == Kind::Link) {
            const char* target = archive_entry_symlink(header);
            QString text = target ? QString::fromUtf8(target) : QString();
            if (text.isEmpty())
                throw refusal(Reason::Damaged, called, u"is a link that leads nowhere"_s);
            m_targets.insert(entry.name, text.replace(u'\\', u'/'));
            m_linkNames.push_back(entry.name);
        }
        return entry;
    }

    // Every link, followed through the others as the file system will follow it, must end
    // inside the folder.
    void checkLinks() const
    {
        for (const QString& name : m_linkNames) {
            QStringList place = name.split(u'/');
            place.removeLast();
            int followed = 0;
            if (!staysInside(place, m_targets.value(name), followed))
                throw refusal(Reason::LinkLeadsOut, name,
                              followed > kMaxLinksOnTheWay
                                  ? u"is a link that leads round in a loop"_s
                                  : u"is a link that leads out of the unpacked folder (to \""_s +
                                        shown(m_targets.value(name)) + u"\")"_s);
        }
    }

    const std::vector<QString>& linkNames() const { return m_linkNames; }
    QString linkTarget(const QString& name) const { return m_targets.value(name); }

    ArchiveRefusal tooLarge(const QString& called) const
    {
        return ArchiveRefusal(Reason::TooLarge, called,
                              m_archiveName + u" unpacks to more than "_s +
                                  QLocale::c().formattedDataSize(m_limits.unpackedBytes, 0) +
                                  u" (at the entry \""_s + shown(called) + u"\")."_s);
    }

    ArchiveRefusal refusal(Reason reason, const QString& called, const QString& problem) const
    {
        return ArchiveRefusal(reason, called,
                              u"The entry \""_s + shown(called) + u"\" of "_s + m_archiveName +
                                  u' ' + problem + u'.');
    }

private:
    // Every folder on the way must be a folder, and a name is given once; a folder may be
    // named again.
    void place(const Entry& entry, const QString& called)
    {
        QStringList folders;
        for (qsizetype slash = entry.name.lastIndexOf(u'/'); slash > 0;
             slash = entry.name.lastIndexOf(u'/', slash - 1)) {
            const QString folder = entry.name.left(slash);
            const auto known = m_kinds.constFind(folder);
            if (known != m_kinds.constEnd()) {
                if (*known != Kind::Folder)
                    throw refusal(Reason::NameClash, called,
                                  u"lies inside \""_s + shown(folder) +
                                      u"\", which is a file or a link of the archive"_s);
                break; // the folders above it are known already
            }
            folders.append(folder);
        }
        for (const QString& folder : std::as_const(folders))
            m_kinds.insert(folder, Kind::Folder);
        const auto known = m_kinds.constFind(entry.name);
        if (known != m_kinds.constEnd()) {
            if (*known == Kind::Folder && entry.kind == Kind::Folder)
                return;
            throw refusal(Reason::NameClash, called,
                          *known == entry.kind
                              ? u"is given twice"_s
                              : u"is given both as a folder and as a file or link"_s);
        }
        m_kinds.insert(entry.name, entry.kind);
    }

    // Walks target from place, the folder's names below the unpacked folder, following the
    // links of the archive; false when the walk climbs above the unpacked folder or follows
    // too many links. Names that are not in the archive are walked through as written, as
    // PathGuard judges a path.
    bool staysInside(QStringList& place, const QString& target, int& followed) const
    {
        if (target.startsWith(u'/') || WindowsPath::startsWithDrive(target))
            return false;
        for (const QString& part : target.split(u'/')) {
            if (part.isEmpty() || part == u".")
                continue;
            if (part == u"..") {
                if (place.isEmpty())
                    return false;
                place.removeLast();
                continue;
            }
            place.append(part);
            const auto link = m_targets.constFind(place.join(u'/'));
            if (link == m_targets.constEnd())
                continue;
            if (++followed > kMaxLinksOnTheWay)
                return false;
            place.removeLast();
            if (!staysInside(place, *link, followed))
                return false;
        }
        return true;
    }

    QString m_archiveName;
    PackageArchive::Limits m_limits;
    QHash<QString, Kind> m_kinds;
    QHash<QString, QString> m_targets;
    std::vector<QString> m_linkNames;
    qint64 m_bytes = 0;
};

[[noreturn]] void fail(const std::error_code& error, const HostPath& path)
{
    throw FileError::fromSystem(error, path.display());
}

// A new folder of our own inside parent, which no one else can have taken.
HostPath makePrivateFolder(const HostPath& parent)
{
    for (;;) {
        HostPath folder = parent.child(
            u".veltrane-unpack-"_s + QString::number(QRandomGenerator::global()->generate64(), 36));
        std::error_code error;
        if (fs::create_directory(folder.fs(), error)) {
            fs::permissions(folder.fs(), fs::perms::owner_all, error);
            if (error) {
                std::error_code ignored;
                fs::remove(folder.fs(), ignored);
                fail(error, folder);
            }
            return folder;
        }
        if (error)
            fail(error, folder);
    }
}

// Writes the entries into the folder. The folder is ours and every name has been checked,
// so this does not go through FileOps, which guards the game's files.
class Unpacker {
public:
    Unpacker(HostPath folder, EntryCheck& check, qint64 byteLimit)
        : m_folder(std::move(folder)), m_check(check), m_byteLimit(byteLimit)
    {
    }

    void write(const Entry& entry, Reader& reader)
    {
        if (entry.kind == Kind::Folder) {
            makeFolders(entry.name);
            return;
        }
        makeFolders(parentOf(entry.name));
        if (entry.kind == Kind::File)
            writeFile(entry, reader);
    }

    // Links last: nothing is written after them, so no write can pass through one.
    void makeLinks()
    {
        for (const QString& name : m_check.linkNames()) {
            makeFolders(parentOf(name));
            const HostPath path = m_folder.child(name);
            std::error_code error;
            fs::create_symlink(HostPath::fromHost(m_check.linkTarget(name)).fs(), path.fs(), error);
            if (error)
                fail(error, path);
        }
    }

private:
    static QString parentOf(const QString& name)
    {
        const qsizetype slash = name.lastIndexOf(u'/');
        return slash < 0 ? QString() : name.left(slash);
    }

    void makeFolders(const QString& name)
    {
        if (name.isEmpty() || m_made.contains(name))
            return;
        makeFolders(parentOf(name));
        const HostPath path = m_folder.child(name);
        std::error_code error;
        fs::create_directory(path.fs(), error);
        if (error)
            fail(error, path);
        m_made.insert(name);
    }

    void writeFile(const Entry& entry, Reader& reader)
    {
        const HostPath path = m_folder.child(entry.name);
        QFile file(path.toString());
        // A new file only: a name taken already, by a link least of all, is never written
        // through.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            throw writeError(file, path);
        reader.readData(entry.name, [&](const void* block, size_t size, la_int64_t offset) {
            const qint64 bytes = qint64(size);
            if (bytes > m_byteLimit - m_written)
                throw m_check.tooLarge(entry.name);
            if (entry.size >= 0 && offset + bytes > entry.size)
                throw m_check.refusal(Reason::Damaged, entry.name,
                                      u"holds more data than its header says"_s);
            m_written += bytes;
            if (offset != file.pos() && !file.seek(offset))
                throw writeError(file, path);
            if (file.write(static_cast<const char*>(block), bytes) != bytes)
                throw writeError(file, path);
        });
    }

    static FileError writeError(const QFile& file, const HostPath& path)
    {
        return FileError(file.error() == QFileDevice::PermissionsError
                             ? FileError::Kind::PermissionDenied
                             : FileError::Kind::Other,
                         file.errorString() + u" ("_s + path.display() + u')');
    }

    HostPath m_folder;
    EntryCheck& m_check;
    qint64 m_byteLimit;
    qint64 m_written = 0;
    QSet<QString> m_made;
};

HostPath packageRootIn(const HostPath& folder)
{
    if (PackageFolder::identify(folder))
        return folder;
    // Archives often hold the package folder itself; other things beside it (a read-me, a
    // "__MACOSX" folder) do not make that one less clear.
    HostPath found;
    std::error_code error;
    for (fs::directory_iterator it(folder.fs(), error), end; !error && it != end;
         it.increment(error)) {
        const HostPath candidate = HostPath::fromFs(it->path());
        if (!fs::is_directory(it->symlink_status(error)) || !PackageFolder::identify(candidate))
            continue;
        if (!found.isEmpty())
            return folder;
        found = candidate;
    }
    return found.isEmpty() ? folder : found;
}

} // namespace

ArchiveRefusal::ArchiveRefusal(Reason reason, QString entry, const QString& description)
    : FileError(Kind::Other, description), m_reason(reason), m_entry(std::move(entry))
{
}

PackageArchive::PackageArchive(HostPath archive) : PackageArchive(std::move(archive), Limits()) {}

PackageArchive::PackageArchive(HostPath archive, Limits limits)
    : m_archive(std::move(archive)), m_limits(limits)
{
}

PackageArchive::~PackageArchive()
{
    remove();
}

bool PackageArchive::isArchiveName(const QString& name)
{
    return name.endsWith(u".zip"_s, Qt::CaseInsensitive);
}

void PackageArchive::check() const
{
    const Utf8Names names;
    Reader reader(m_archive, m_archive.display());
    EntryCheck check(m_archive.display(), m_limits);
    QString previous;
    for (qint64 number = 1;; ++number) {
        archive_entry* header = reader.next(number, previous);
        if (!header)
            break;
        previous = check.admit(header, number).name;
    }
    check.checkLinks();
}

void PackageArchive::unpack(const HostPath& parent)
{
    remove();
    check();
    m_folder = makePrivateFolder(parent);
    try {
        // The checks again, entry by entry as it is written: the file may have changed
        // since.
        const Utf8Names names;
        Reader reader(m_archive, m_archive.display());
        EntryCheck check(m_archive.display(), m_limits);
        Unpacker unpacker(m_folder, check, m_limits.unpackedBytes);
        QString previous;
        for (qint64 number = 1;; ++number) {
            archive_entry* header = reader.next(number, previous);
            if (!header)
                break;
            const Entry entry = check.admit(header, number);
            unpacker.write(entry, reader);
            previous = entry.name;
        }
        check.checkLinks();
        unpacker.makeLinks();
        m_root = packageRootIn(m_folder);
    } catch (...) {
        remove();
        throw;
    }
}

void PackageArchive::remove()
{
    if (m_folder.isEmpty())
        return;
    // Links inside are removed, never followed.
    std::error_code error;
    fs::remove_all(m_folder.fs(), error);
    m_folder = HostPath();
    m_root = HostPath();
}

} // namespace veltrane
