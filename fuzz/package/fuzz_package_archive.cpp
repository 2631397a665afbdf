// Feeds arbitrary bytes to the package archive's checks and unpacking, as the file a user
// chose, whatever its format. Whatever the bytes, the outcome is a refusal or a tree inside the
// private folder: nothing is written beside it, every name in it is one a package may hold, every
// link in it leads inside it or nowhere, and the folder goes with the archive.
#include "fuzz/FuzzRequire.h"
#include "package/PackageArchive.h"
#include "util/PathGuard.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

constexpr qint64 kByteLimit = 1 << 20;
constexpr qint64 kEntryLimit = 256;

// Removed at exit, so that the corpus replay in every test run leaves no tree behind.
std::unique_ptr<QTemporaryDir> scratch;

qsizetype entriesIn(const QString& folder)
{
    return QDir(folder)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .size();
}

void checkTree(const PackageArchive& archive)
{
    const HostPath& folder = archive.folder();
    REQUIRE(!folder.isEmpty());
    const HostPath& root = archive.packageRoot();
    REQUIRE(root == folder || root.parent() == folder);
    qint64 bytes = 0;
    qint64 named = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder.fs(), error), end; it != end;
         it.increment(error)) {
        REQUIRE(!error);
        const HostPath entry = HostPath::fromFs(it->path());
        const QString relative =
            HostPath::fromFs(it->path().lexically_relative(folder.fs())).toString();
        REQUIRE(PathGuard::isContainedRelative(relative));
        const fs::file_status status = it->symlink_status(error);
        if (fs::is_symlink(status)) {
            // Inside, or nowhere at all: a name too long for the file system cannot be
            // followed, and what cannot be followed is never copied.
            const auto real = PathGuard::whereItLeads(entry);
            REQUIRE(!real || PathGuard::isWithin(*real, *PathGuard::whereItLeads(folder)));
            ++named;
        } else if (fs::is_regular_file(status)) {
            bytes += qint64(fs::file_size(it->path(), error));
            ++named;
        } else {
            REQUIRE(fs::is_directory(status));
        }
    }
    REQUIRE(bytes <= kByteLimit);
    REQUIRE(named <= kEntryLimit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!scratch) {
        scratch = std::make_unique<QTemporaryDir>();
        REQUIRE(scratch->isValid());
        REQUIRE(QDir(scratch->path()).mkdir(u"unpack"_s));
    }
    const QString zip = scratch->path() + u"/package.zip"_s;
    const QString parent = scratch->path() + u"/unpack"_s;
    {
        QFile file(zip);
        REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        REQUIRE(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    }

    {
        PackageArchive archive(HostPath::fromHost(zip), {kByteLimit, kEntryLimit});
        std::optional<ArchiveRefusal::Reason> checked;
        try {
            archive.check();
        } catch (const ArchiveRefusal& refusal) {
            checked = refusal.reason();
            REQUIRE(!refusal.description().isEmpty());
        }
        try {
            archive.unpack(HostPath::fromHost(parent));
            REQUIRE(!checked);
            checkTree(archive);
            REQUIRE(entriesIn(parent) == 1);
        } catch (const ArchiveRefusal& refusal) {
            // The same check runs first; what it cannot see is in the data.
            REQUIRE(checked ? refusal.reason() == *checked
                            : refusal.reason() == ArchiveRefusal::Reason::Damaged ||
                                  refusal.reason() == ArchiveRefusal::Reason::Encrypted ||
                                  refusal.reason() == ArchiveRefusal::Reason::TooLarge);
            REQUIRE(archive.folder().isEmpty());
        } catch (const FileError&) {
            // The file system refused a checked name, one too long for it: nothing stays.
            REQUIRE(!checked);
            REQUIRE(archive.folder().isEmpty());
        }
        REQUIRE(entriesIn(scratch->path()) == 2);
    }
    REQUIRE(entriesIn(parent) == 0);
    return 0;
}
