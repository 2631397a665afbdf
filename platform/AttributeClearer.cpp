#include "AttributeClearer.h"

#include "ProcessRunner.h"

#include <filesystem>

using namespace Qt::StringLiterals;

namespace fs = std::filesystem;

namespace veltrane {

namespace {

#ifndef Q_OS_WIN
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
#endif

} // namespace

bool AttributeClearer::makeWritable(const HostPath& folder, const RunOptions& options,
                                    UserInterface& ui)
{
#ifdef Q_OS_WIN
    const QStringList arguments{u"-h"_s, u"-r"_s, u"-s"_s, folder.display() + u"\\*.*"_s,
                                u"/s"_s, u"/d"_s};
    return ProcessRunner::run(HostPath::fromHost(u"attrib.exe"_s), arguments, folder, options, ui)
        .succeeded();
#else
    const fs::path& root = folder.fs();
    bool complete = addOwnerWrite(root);
    std::error_code error;
    // Folders become writable before the walk goes into them.
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        complete = addOwnerWrite(it->path()) && complete;
    }
    ProcessRunner::waitStep(options, ui);
    return complete && !error;
#endif
}

} // namespace veltrane
