#include "InstallTransaction.h"

namespace veltrane {

InstallTransaction::InstallTransaction(InstallLog& log, const std::vector<HostPath>& writableRoots,
                                       const std::vector<HostPath>& guarded)
    : m_log(log), m_boundary(writableRoots, guarded), m_files(*this)
{
}

InstallTransaction::~InstallTransaction() = default;

void InstallTransaction::keepJournal(const HostPath& gameRoot, const HostPath& folder,
                                     const ChangeJournal::Header& header)
{
    m_journal = std::make_unique<ChangeJournal>(gameRoot, folder, header);
}

void InstallTransaction::closeJournal()
{
    m_journal.reset();
}

} // namespace veltrane
