#include "TreeMerge.h"

#include "journal/FileChanges.h"
#include "util/PathGuard.h"

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace veltrane {

TreeMerge::TreeMerge(UserInterface& ui, FileChanges& files, bool overwrite, WorkReport* report,
                     QString step)
    : m_ui(ui), m_files(files), m_report(report), m_step(std::move(step)), m_overwrite(overwrite)
{
}

TreeMerge::~TreeMerge()
{
    // However the merge ends.
    if (m_showsProgress) {
        m_ui.showProgress(0, 0);
        m_ui.showBytes(0, 0);
    }
}

fs::path TreeMerge::checkedSource(const HostPath& source)
{
    std::error_code error;
    fs::path from = fs::canonical(source.fs(), error);
    if (error || !fs::is_directory(from, error))
        throw FileError(FileError::Kind::Other, u"Path not found ("_s + source.display() + u')');
    const auto parent = PathGuard::whereItLeads(source.parent());
    if (!parent || !PathGuard::isWithin(from, *parent) || PathGuard::isWithin(*parent, from))
        throw FileError(FileError::Kind::Other,
                        u"The folder is a link that leads out of its own folder ("_s +
                            source.display() + u')');
    return from;
}

void TreeMerge::fail(const std::error_code& error, const HostPath& path)
{
    throw FileError::fromSystem(error, path.display());
}

bool TreeMerge::enterFolder(const HostPath& destination)
{
    std::error_code error;
    return fs::is_directory(fs::symlink_status(destination.fs(), error)) ||
           attempt(destination, [&] { m_files.makeFolder(destination); });
}

void TreeMerge::startProgress(qint64 files, qint64 bytes)
{
    m_total = files;
    m_bytesTotal = bytes;
    m_showsProgress = true;
    m_ui.showProgress(0, m_total);
    m_ui.showBytes(0, m_bytesTotal);
}

void TreeMerge::refuseExisting(const HostPath& destination) const
{
    std::error_code error;
    // A link there counts too, even one that leads nowhere.
    if (!m_overwrite && fs::exists(fs::symlink_status(destination.fs(), error)))
        fail(std::make_error_code(std::errc::file_exists), destination);
}

} // namespace veltrane
