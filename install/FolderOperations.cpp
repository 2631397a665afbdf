#include "FolderOperations.h"

#include "platform/AttributeClearer.h"
#include "util/FileError.h"
#include "util/FileOps.h"
#include "util/HostPath.h"
#include "util/UserInterface.h"

#include <QHash>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

[[noreturn]] void fail(const std::error_code& error, const fs::path& path)
{
    throw FileError::fromSystem(error, HostPath::fromFs(path));
}

bool isWithin(const fs::path& path, const fs::path& root)
{
    auto rootIt = root.begin();
    auto pathIt = path.begin();
    for (; rootIt != root.end(); ++rootIt, ++pathIt) {
        if (pathIt == path.end() || *pathIt != *rootIt)
            return false;
    }
    return true;
}

// The names in one target folder, found without regard to letter case. Kept for the folder
// being filled only, so memory follows the widest folder, not the tree.
class TargetFolder {
public:
    explicit TargetFolder(fs::path path) : m_path(std::move(path))
    {
        std::error_code error;
        for (fs::directory_iterator it(m_path, error), end; !error && it != end;
             it.increment(error))
            remember(HostPath::fromFs(it->path().filename()));
    }

    fs::path entryFor(const QString& name)
    {
        const auto found = m_names.constFind(name.toCaseFolded());
        if (found != m_names.constEnd())
            return m_path / HostPath::toFs(*found);
        remember(name);
        return m_path / HostPath::toFs(name);
    }

private:
    void remember(const QString& name)
    {
        // An exact name wins over one that differs in case only.
        const QString key = name.toCaseFolded();
        if (!m_names.contains(key) || name == key)
            m_names.insert(key, name);
    }

    fs::path m_path;
    QHash<QString, QString> m_names;
};

class TreeCopy {
public:
    TreeCopy(UserInterface& ui, fs::path root, bool overWrite)
        : m_ui(ui), m_root(std::move(root)), m_overWrite(overWrite)
    {
    }

    qint64 count(const fs::path& folder, std::vector<fs::path>& chain)
    {
        qint64 files = 0;
        forEachEntry(folder, chain, [&](const fs::path& source, bool isFolder) {
            if (isFolder) {
                chain.push_back(source);
                files += count(source, chain);
                chain.pop_back();
            } else {
                ++files;
            }
        });
        return files;
    }

    void copy(const fs::path& folder, const fs::path& target, std::vector<fs::path>& chain)
    {
        TargetFolder names(target);
        forEachEntry(folder, chain, [&](const fs::path& source, bool isFolder) {
            const fs::path destination = names.entryFor(HostPath::fromFs(source.filename()));
            if (isFolder) {
                std::error_code error;
                if (!fs::is_directory(destination, error))
                    FileOps::makeFolder(destination);
                chain.push_back(source);
                copy(source, destination, chain);
                chain.pop_back();
                return;
            }
            copyFile(source, destination);
            ++m_done;
            m_ui.showProgress(m_done, m_total);
            m_ui.processEvents();
        });
    }

    qint64 m_total = 0;

private:
    // Visits the entries of a folder, following symbolic links only where they stay inside
    // the tree being copied and do not lead back into a folder being visited.
    template <typename Visit>
    void forEachEntry(const fs::path& folder, const std::vector<fs::path>& chain, Visit visit)
    {
        std::error_code error;
        fs::directory_iterator it(folder, error);
        if (error)
            fail(error, folder);
        for (fs::directory_iterator end; it != end; it.increment(error)) {
            if (error)
                fail(error, folder);
            const fs::path source = it->path();
            fs::file_status status = it->symlink_status(error);
            if (error)
                fail(error, source);
            if (fs::is_symlink(status)) {
                const fs::path real = fs::weakly_canonical(source, error);
                if (error || !isWithin(real, m_root))
                    continue;
                status = fs::status(real, error);
                if (error)
                    continue;
                if (fs::is_directory(status)) {
                    bool loops = isWithin(folder, real);
                    for (const fs::path& open : chain)
                        loops = loops || fs::equivalent(open, real, error);
                    if (loops)
                        continue;
                }
            }
            if (fs::is_directory(status))
                visit(source, true);
            else if (fs::is_regular_file(status))
                visit(source, false);
        }
    }

    void copyFile(const fs::path& source, const fs::path& destination)
    {
        std::error_code error;
        if (!m_overWrite && fs::exists(destination, error))
            fail(std::make_error_code(std::errc::file_exists), destination);
        if (fs::is_directory(destination, error))
            fail(std::make_error_code(std::errc::is_a_directory), destination);
        // Both paths are host paths already, their names matched while walking: mapping
        // them again for every file cost more than the copy of a small file.
        FileOps::copyFile(source, destination);
    }

    UserInterface& m_ui;
    fs::path m_root;
    bool m_overWrite;
    qint64 m_done = 0;
};

// Hides the progress display however the copy ends.
struct ProgressGuard {
    UserInterface& ui;
    ~ProgressGuard() { ui.showProgress(0, 0); }
};

} // namespace

void FolderOperations::CopyDir(const QString& Source, const QString& Dest, bool OverWrite)
{
    std::error_code error;
    const fs::path source = fs::canonical(HostPath::toFs(HostPath::toHost(Source)), error);
    if (error || !fs::is_directory(source, error))
        throw FileError(FileError::Kind::Other,
                        u"Path not found ("_s + HostPath::display(Source) + u')');
    const fs::path target = HostPath::toFs(HostPath::toHost(Dest));
    if (!fs::is_directory(target, error))
        FileOps::makeFolder(target);

    TreeCopy tree(m_ui, source, OverWrite);
    std::vector<fs::path> chain{source};
    tree.m_total = tree.count(source, chain);
    ProgressGuard guard{m_ui};
    m_ui.showProgress(0, tree.m_total);
    tree.copy(source, target, chain);
}

void FolderOperations::DelAll(const QString& DirtoDelete)
{
    try {
        FileOps::removeTree(DirtoDelete);
    } catch (const FileError&) {
        // Read-only contents are deleted too; make them writable and try once more.
        try {
            AttributeClearer::makeWritable(HostPath::toHost(DirtoDelete));
            FileOps::removeTree(DirtoDelete);
        } catch (const FileError&) {
        }
    }
}

} // namespace veltrane
