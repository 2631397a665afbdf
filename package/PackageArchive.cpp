#include "PackageArchive.h"

#include "PackageFolder.h"
#include "util/PathGuard.h"
#include "util/Windows1252.h"
#include "util/WindowsPath.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>
#include <QStringDecoder>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <filesystem>
#include <vector>
#include <zlib.h>

#ifndef Q_OS_WIN
#include <clocale>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Reason = ArchiveRefusal::Reason;
using Progress = PackageArchive::Progress;
using Clock = std::chrono::steady_clock;

constexpr int kMaxLinksOnTheWay = 40; // as Linux follows in one lookup
constexpr size_t kReadBlock = size_t(64) * 1024;
// The error number libarchive gives a file in none of the formats it reads; its headers keep
// the name private.
#ifdef EFTYPE
constexpr int kUnknownFormat = EFTYPE;
#else
constexpr int kUnknownFormat = EILSEQ;
#endif

// libarchive turns zip, 7z and rar names into the thread's locale. In C.UTF-8 they come out as
// UTF-8: Unicode names as they are, the others from the code page set as "hdrcharset". The
// process's own locale may be "C", where every name beyond ASCII would be lost. Tar names are
// handed on as they are stored.
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

// A name or link target as libarchive gives it: UTF-8, or a tar name's bytes in the packer's
// code page. Bytes that are not UTF-8 are read as Windows-1252, where every byte is one
// character of its own, so no two names become one; its five unassigned bytes become
// control characters, which no name may hold.
QString decodedName(const char* bytes)
{
    if (!bytes)
        return {};
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8(QByteArrayView(bytes));
    return utf8.hasError() ? Windows1252::decode(QByteArrayView(bytes)) : text;
}

// The name with "/" separators. "tar -C folder ." names its entries "./…", and the folder
// itself "./": leading "." parts are the unpacked folder itself.
QString relativeName(QString name)
{
    name.replace(u'\\', u'/');
    while (name.startsWith(u"./"))
        name.remove(0, 2);
    if (name == u".")
        name.clear();
    return name;
}

QString notAnArchive(const QString& archiveName)
{
    return archiveName + u" is not a zip, 7z, rar, tar or tar.gz archive"_s;
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
    bool sparse = false;
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

// Hands the observer the progress, no more often than it asks; without an observer it does
// nothing.
class ProgressMeter {
public:
    ProgressMeter(const PackageArchive::Observer& observer, QString archiveName)
        : m_observer(observer), m_archiveName(std::move(archiveName))
    {
    }

    bool active() const { return bool(m_observer.report); }

    // A new stage, told at once.
    void start(const Progress& progress)
    {
        m_progress = progress;
        if (active())
            report();
    }
    void advance(qint64 bytesDone, qint64 entriesDone)
    {
        if (!active())
            return;
        // A zip is read from its end first: its place in the file is no measure of progress.
        m_progress.bytesDone = std::max(m_progress.bytesDone, bytesDone);
        m_progress.bytesTotal = std::max(m_progress.bytesTotal, bytesDone);
        m_progress.entriesDone = entriesDone;
        if (Clock::now() - m_last >= m_observer.interval)
            report();
    }
    void advanceBytes(qint64 bytesDone)
    {
        if (active())
            advance(bytesDone, m_progress.entriesDone);
    }
    void finish()
    {
        if (active())
            report();
    }

private:
    void report()
    {
        m_last = Clock::now();
        if (!m_observer.report(m_progress))
            throw ArchiveRefusal(Reason::Cancelled, {},
                                 u"The unpacking of "_s + m_archiveName + u" was cancelled."_s);
    }

    const PackageArchive::Observer& m_observer;
    QString m_archiveName;
    Progress m_progress;
    Clock::time_point m_last;
};

// The archive opened for one pass over its entries. Only the formats of packages are read, so
// that libarchive's readers of other formats never see a downloaded file.
class Reader {
public:
    Reader(const HostPath& path, QString archiveName)
        : m_archive(archive_read_new()), m_archiveName(std::move(archiveName))
    {
        if (!m_archive)
            throw FileError(FileError::Kind::Other, u"Out of memory"_s);
        // Zip only with the directory at its end: read entry by entry from the start instead,
        // a damaged archive can show other entries when their data is read than when it is
        // skipped, and the check would not vouch for the unpacking.
        archive_read_support_format_zip_seekable(m_archive);
        archive_read_support_format_7zip(m_archive);
        archive_read_support_format_rar(m_archive);
        archive_read_support_format_rar5(m_archive);
        archive_read_support_format_tar(m_archive);
        archive_read_support_filter_gzip(m_archive);
#ifndef Q_OS_WIN
        // Rar 4 names without the Unicode flag are in the DOS code page, as zip names are.
        archive_read_set_options(m_archive, "zip:hdrcharset=CP437,rar:hdrcharset=CP437");
        // Opened without waiting and read only as a plain file: a pipe or a device put in the
        // archive's place would be waited on for ever.
        m_file = ::open(path.fs().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        if (m_file >= 0 && (::fstat(m_file, &info) != 0 || !S_ISREG(info.st_mode))) {
            ::close(m_file);
            archive_read_free(m_archive);
            throw FileError(FileError::Kind::Other,
                            u"It is not a file that can be read ("_s + path.display() + u')');
        }
        if (m_file >= 0)
            ::fcntl(m_file, F_SETFL, ::fcntl(m_file, F_GETFL) & ~O_NONBLOCK);
        const int opened =
            m_file >= 0 ? archive_read_open_fd(m_archive, m_file, kReadBlock)
                        : archive_read_open_filename(m_archive, path.fs().c_str(), kReadBlock);
#else
        const int opened = archive_read_open_filename_w(m_archive, path.fs().c_str(), kReadBlock);
#endif
        if (opened == ARCHIVE_OK)
            return;
        const int code = archive_errno(m_archive);
        const QString reason = errorText();
        archive_read_free(m_archive);
        closeFile();
        if (const std::error_code error = openError(path, code))
            throw FileError::fromSystem(error, path.display());
        if (startsAsZip(path))
            throw ArchiveRefusal(Reason::Damaged, {},
                                 m_archiveName +
                                     u" is damaged: the directory of its entries at its end is "
                                     u"missing or broken, as when a download was cut short ("_s +
                                     reason + u")."_s);
        if (code == kUnknownFormat)
            throw ArchiveRefusal(Reason::NotAnArchive, {}, notAnArchive(m_archiveName) + u'.');
        // The format was known, but what follows it does not read: a gzip stream cut short.
        throw ArchiveRefusal(Reason::Damaged, {},
                             m_archiveName + u" is damaged: "_s + reason + u'.');
    }
    ~Reader()
    {
        archive_read_free(m_archive);
        closeFile();
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Whether the archive is compressed with gzip, whose checksums libarchive does not read.
    bool gzipped() const
    {
        return archive_filter_count(m_archive) > 1 &&
               archive_filter_code(m_archive, 0) == ARCHIVE_FILTER_GZIP;
    }
    // Bytes of the file read so far.
    qint64 position() const
    {
        return archive_filter_bytes(m_archive, -1);
    }

    // The next entry's header; nullptr after the last one. number counts from 1.
    archive_entry* next(qint64 number, const QString& previous)
    {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(m_archive, &entry);
        if (status == ARCHIVE_EOF)
            return nullptr;
        if (status != ARCHIVE_OK) {
            if (archive_read_has_encrypted_entries(m_archive) == 1)
                throw ArchiveRefusal(Reason::Encrypted, {},
                                     m_archiveName +
                                         u" is encrypted, its names too; unpack it with its "
                                         u"password and install from the folder."_s);
            // The entry's name may be the one before, or missing: say where it is instead.
            const QString after =
                previous.isEmpty() ? QString() : u" (after \""_s + shown(previous) + u"\")"_s;
            throw ArchiveRefusal(Reason::Damaged, entryNumber(number),
                                 m_archiveName + u" is damaged at "_s + entryNumber(number) +
                                     after + u": "_s + errorText());
        }
        if (number == 1)
            checkCompression();
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
                throw dataRefusal(name);
            sink(block, size, offset);
        }
    }

    // Passes over the current entry's data. Done here rather than by the next header, so
    // that data that does not read names its entry.
    void skipData(const QString& name)
    {
        if (archive_read_data_skip(m_archive) != ARCHIVE_OK)
            throw dataRefusal(name);
    }

private:
    QString errorText() const
    {
        const char* text = archive_error_string(m_archive);
        return text ? QString::fromUtf8(text) : u"unknown error"_s;
    }

    ArchiveRefusal dataRefusal(const QString& name) const
    {
        const bool encrypted = archive_read_has_encrypted_entries(m_archive) == 1;
        return ArchiveRefusal(encrypted ? Reason::Encrypted : Reason::Damaged, name,
                              u"The entry \""_s + shown(name) + u"\" of "_s + m_archiveName +
                                  (encrypted ? u" is encrypted: "_s : u" is damaged: "_s) +
                                  errorText());
    }

    // gzip is read around a tar archive only, and once.
    void checkCompression() const
    {
        const int filters = archive_filter_count(m_archive); // the file itself is one
        if (filters == 1 ||
            (gzipped() && filters == 2 &&
             (archive_format(m_archive) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR))
            return;
        const char* format = archive_format_name(m_archive);
        throw ArchiveRefusal(Reason::NotAnArchive, {},
                             notAnArchive(m_archiveName) + u": it holds \""_s +
                                 QString::fromUtf8(format ? format : "an archive") +
                                 u"\" compressed with "_s +
                                 QString::fromUtf8(archive_filter_name(m_archive, 0)) +
                                 (filters > 2 ? u" more than once."_s : u"."_s));
    }

    void closeFile()
    {
#ifndef Q_OS_WIN
        if (m_file >= 0)
            ::close(m_file);
        m_file = -1;
#endif
    }

    archive* m_archive;
    int m_file = -1;
    QString m_archiveName;
};

// libarchive does not compare the checksum and length that end each gzip member, so a
// damaged tar.gz could unpack wrong bytes without a word: zlib reads the file once more and
// compares them. Members may follow each other, as appended gzip files do; what follows the
// last one is not read, by libarchive either.
void checkGzip(const HostPath& path, const QString& archiveName, ProgressMeter& meter,
               qint64 bytesBefore)
{
    QFile file(path.toString());
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(FileError::Kind::Other,
                        file.errorString() + u" ("_s + path.display() + u')');
    z_stream stream{};
    if (inflateInit2(&stream, MAX_WBITS + 16) != Z_OK)
        throw FileError(FileError::Kind::Other, u"Out of memory"_s);
    const auto end = qScopeGuard([&] { inflateEnd(&stream); });
    QByteArray in(qsizetype(kReadBlock), Qt::Uninitialized);
    QByteArray out(qsizetype(kReadBlock), Qt::Uninitialized);
    int status = Z_OK;
    for (;;) {
        if (stream.avail_in == 0) {
            const qint64 read = file.read(in.data(), in.size());
            if (read < 0)
                throw FileError(FileError::Kind::Other,
                                file.errorString() + u" ("_s + path.display() + u')');
            if (read == 0)
                break;
            stream.next_in = reinterpret_cast<Bytef*>(in.data());
            stream.avail_in = uInt(read);
            meter.advanceBytes(bytesBefore + file.pos());
        }
        if (status == Z_STREAM_END) {
            if (*stream.next_in != 0x1f)
                return;
            inflateReset(&stream);
        }
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = uInt(out.size());
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            throw ArchiveRefusal(Reason::Damaged, {},
                                 archiveName +
                                     u" is damaged: its gzip data does not read back "
                                     u"whole ("_s +
                                     QString::fromUtf8(stream.msg ? stream.msg : "no message") +
                                     u")."_s);
    }
    if (status != Z_STREAM_END)
        throw ArchiveRefusal(Reason::Damaged, {},
                             archiveName + u" is damaged: its gzip stream is cut short, as when "
                                           u"a download was."_s);
}

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
        const QString given = decodedName(archive_entry_pathname(header));
        const QString called = given.isEmpty() ? entryNumber(number) : given;
        if (archive_entry_is_encrypted(header))
            throw refusal(Reason::Encrypted, called,
                          u"is encrypted; unpack the archive with its password and install "
                          u"from the folder"_s);
        // Tar gives a hard link no kind of its own: it is a second name of an entry before.
        if (const char* target = archive_entry_hardlink(header))
            throw refusal(Reason::UnusualEntry, called,
                          u"is a hard link (to \""_s + shown(decodedName(target)) +
                              u"\"), which a package does not need"_s);

        Entry entry;
        entry.kind = kindOf(header, called);
        entry.name = relativeName(given);
        if (entry.kind == Kind::Folder && entry.name.isEmpty() && !given.isEmpty())
            return entry; // the unpacked folder itself
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
            entry.sparse = archive_entry_sparse_count(header) > 0;
        }
        if (entry.kind == Kind::Link) {
            QString text = decodedName(archive_entry_symlink(header));
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
    // The bytes the files' headers declare, all together.
    qint64 declaredBytes() const { return m_bytes; }
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
    Kind kindOf(archive_entry* header, const QString& called) const
    {
        switch (archive_entry_filetype(header)) {
        case AE_IFDIR:
            return Kind::Folder;
        case AE_IFREG:
            return Kind::File;
        case AE_IFLNK:
            return Kind::Link;
        default:
            throw refusal(Reason::UnusualEntry, called,
                          u"is neither a file, a folder nor a link"_s);
        }
    }

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
    Unpacker(HostPath folder, EntryCheck& check, qint64 byteLimit, ProgressMeter& meter)
        : m_folder(std::move(folder)), m_check(check), m_byteLimit(byteLimit), m_meter(meter)
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

    qint64 written() const { return m_written; }

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
            m_meter.advanceBytes(m_written);
        });
        if (entry.size > file.size()) {
            // Tar lists where a sparse file holds data; a hole at its end comes as nothing.
            if (!entry.sparse)
                throw m_check.refusal(Reason::Damaged, entry.name,
                                      u"holds less data than its header says"_s);
            if (!file.resize(entry.size))
                throw writeError(file, path);
        }
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
    ProgressMeter& m_meter;
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

struct Totals {
    qint64 bytes = 0;
    qint64 entries = 0;
};

// Reads every header and throws ArchiveRefusal for the first entry that may not be unpacked;
// writes nothing.
Totals checkArchive(const HostPath& path, const PackageArchive::Limits& limits,
                    ProgressMeter& meter)
{
    const Utf8Names names;
    const QString archiveName = path.display();
    Reader reader(path, archiveName);
    const bool gzipped = reader.gzipped();
    qint64 size = 0;
    if (meter.active()) {
        std::error_code error;
        size = qint64(fs::file_size(path.fs(), error));
        meter.start({Progress::Stage::Checking, 0, error ? 0 : size * (gzipped ? 2 : 1), 0, 0});
    }
    EntryCheck check(archiveName, limits);
    QString previous;
    qint64 number = 1;
    for (;; ++number) {
        archive_entry* header = reader.next(number, previous);
        if (!header)
            break;
        previous = check.admit(header, number).name;
        reader.skipData(previous.isEmpty() ? entryNumber(number) : previous);
        if (meter.active())
            meter.advance(reader.position(), number);
    }
    check.checkLinks();
    if (gzipped)
        checkGzip(path, archiveName, meter, size);
    return {check.declaredBytes(), number - 1};
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
    for (const QStringView suffix : {u".zip", u".7z", u".rar", u".tar", u".tar.gz", u".tgz"}) {
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void PackageArchive::check() const
{
    const Observer none;
    ProgressMeter meter(none, m_archive.display());
    checkArchive(m_archive, m_limits, meter);
}

void PackageArchive::unpack(const HostPath& parent)
{
    unpack(parent, Observer());
}

void PackageArchive::unpack(const HostPath& parent, const Observer& observer)
{
    remove();
    ProgressMeter meter(observer, m_archive.display());
    const Totals totals = checkArchive(m_archive, m_limits, meter);
    m_folder = makePrivateFolder(parent);
    try {
        // The checks again, entry by entry as it is written: the file may have changed
        // since.
        const Utf8Names names;
        Reader reader(m_archive, m_archive.display());
        EntryCheck check(m_archive.display(), m_limits);
        meter.start({Progress::Stage::Unpacking, 0, totals.bytes, 0, totals.entries});
        Unpacker unpacker(m_folder, check, m_limits.unpackedBytes, meter);
        QString previous;
        for (qint64 number = 1;; ++number) {
            archive_entry* header = reader.next(number, previous);
            if (!header)
                break;
            const Entry entry = check.admit(header, number);
            unpacker.write(entry, reader);
            previous = entry.name;
            meter.advance(unpacker.written(), number);
        }
        check.checkLinks();
        unpacker.makeLinks();
        m_root = packageRootIn(m_folder);
        meter.finish();
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
