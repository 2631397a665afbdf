#include "AttributeClearer.h"

#include "ProcessRunner.h"

#include <filesystem>

using namespace Qt::StringLiterals;

namespace fs = std::filesystem;

namespace veltrane {

namespace {

#ifndef Q_OS_WIN
// At most this many entries are named; the rest are counted.
constexpr qsizetype kNamedProblems = 100;

void addOwnerWrite(const fs::path& path, QStringList& problems, qsizetype& count)
{
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    // Links are left alone: their targets may lie outside the game folder.
    if (!error && !fs::is_symlink(status)) {
        fs::permissions(path,
                        fs::perms::owner_write | fs::perms::owner_read |
                            (fs::is_directory(status) ? fs::perms::owner_exec : fs::perms::none),
                        fs::perm_options::add, error);
    }
    if (!error)
        return;
    if (++count <= kNamedProblems)
        problems.append(HostPath::fromFs(path).display() + u": "_s +
                        QString::fromLocal8Bit(error.message()));
}
#endif

} // namespace

QStringList AttributeClearer::makeWritable(const HostPath& folder, const RunOptions& options,
                                           UserInterface& ui)
{
#ifdef Q_OS_WIN
    const QStringList arguments{u"-h"_s, u"-r"_s, u"-s"_s, folder.display() + u"\\*.*"_s,
                                u"/s"_s, u"/d"_s};
    const ProcessResult result =
        ProcessRunner::run(HostPath::fromHost(u"attrib.exe"_s), arguments, folder, options, ui);
    if (result.succeeded())
        return {};
    return {u"ATTRIB: "_s + result.failure()};
#else
    QStringList problems;
    qsizetype count = 0;
    const fs::path& root = folder.fs();
    addOwnerWrite(root, problems, count);
    std::error_code error;
    // Folders become writable before the walk goes into them.
    auto it = fs::recursive_directory_iterator(root, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error))
        addOwnerWrite(it->path(), problems, count);
    if (error)
        problems.append(folder.display() + u": "_s + QString::fromLocal8Bit(error.message()));
    if (count > kNamedProblems)
        problems.append(u"and "_s + QString::number(count - kNamedProblems) + u" more"_s);
    ProcessRunner::waitStep(options, ui);
    return problems;
#endif
}

} // namespace veltrane
