#include "AttributeClearer.h"

#include "util/HostPath.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace veltrane {

namespace {

bool addOwnerWrite(const fs::path& path)
{
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    // Links are left alone: their targets may lie outside the game folder.
    if (error || fs::is_symlink(status))
        return !error;
    fs::permissions(path,
                    fs::perms::owner_write | fs::perms::owner_read |
                        (fs::is_directory(status) ? fs::perms::owner_exec : fs::perms::none),
                    fs::perm_options::add, error);
    return !error;
}

} // namespace

bool AttributeClearer::makeWritable(const QString& hostFolder)
{
    const fs::path root = HostPath::toFs(hostFolder);
    bool complete = addOwnerWrite(root);
    std::error_code error;
    // Folders become writable before the walk goes into them.
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        complete = addOwnerWrite(it->path()) && complete;
    }
    return complete && !error;
}

} // namespace veltrane
