#include "KeptCopies.h"

#include "InstallHistory.h"
#include "Inventory.h"
#include "JournalFormat.h"

#include <QStorageInfo>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace fs = std::filesystem;

namespace veltrane {

namespace {

constexpr qint64 kMostBytes = qint64(2) << 30;
// Where copies go while they are removed: no longer the journal's kept copies.
const QString kDroppedFolder = u"aside-dropped"_s;

qint64 ownBytes(const fs::path& path)
{
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1)
        return 0;
    return qint64(info.st_blocks) * 512;
#else
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(path, error)) ||
        fs::hard_link_count(path, error) != 1)
        return 0;
    const auto size = fs::file_size(path, error);
    return error ? 0 : qint64(size);
#endif
}

bool drop(Inventory& inventory, const HostPath& game, const InstallRecord& install)
{
    const HostPath journal = InstallHistory(game).journals().child(install.journal);
    const HostPath dropped = journal.child(kDroppedFolder);
    std::error_code error;
    fs::remove_all(dropped.fs(), error);
    // Renamed first: a folder half removed must never pass for the copies of an undo.
    fs::rename(journal.child(JournalFormat::kAsideFolder).fs(), dropped.fs(), error);
    if (error)
        return false;
    static_cast<void>(inventory.markNotUndoable(install.id));
    fs::remove_all(dropped.fs(), error);
    return true;
}

} // namespace

qint64 KeptCopies::budget(const HostPath& game)
{
    bool ok = false;
    const qint64 set = qEnvironmentVariable(kBudgetVariable).toLongLong(&ok);
    if (ok && set >= 0)
        return set;
    const QStorageInfo storage(game.toString());
    const qint64 free = storage.isValid() ? storage.bytesAvailable() : -1;
    return free < 0 ? kMostBytes : qMin(kMostBytes, free / 10);
}

qint64 KeptCopies::sizeOf(const HostPath& journal)
{
    const fs::path aside = journal.child(JournalFormat::kAsideFolder).fs();
    std::error_code error;
    qint64 total = 0;
    for (fs::recursive_directory_iterator it(aside, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_directory(error))
            total += ownBytes(it->path());
    }
    return total;
}

QList<InstallRecord> KeptCopies::fit(Inventory& inventory, const HostPath& game, int keep)
{
    const qint64 limit = budget(game);
    const QList<InstallRecord> installs = inventory.installs();
    qint64 total = 0;
    for (const InstallRecord& install : installs)
        total += install.undoable ? install.keptBytes : 0;
    QList<InstallRecord> dropped;
    for (auto it = installs.crbegin(); it != installs.crend() && total > limit; ++it) {
        if (it->undoable && it->id != keep && drop(inventory, game, *it)) {
            total -= it->keptBytes;
            dropped.append(*it);
        }
    }
    return dropped;
}

} // namespace veltrane
