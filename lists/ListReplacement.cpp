#include "ListReplacement.h"

#include "journal/FileOps.h"
#include "util/InstallLog.h"
#include "util/UserInterface.h"

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

void removeQuietly(const HostPath& path)
{
    try {
        FileOps::removeFile(path);
    } catch (const FileError&) {
        // A passing name left behind holds nothing the game reads.
    }
}

} // namespace

ListReplacement::ListReplacement(UserInterface& ui, HostPath list)
    : m_ui(ui), m_list(std::move(list))
{
}

ListReplacement::Outcome ListReplacement::replace(const std::function<bool(const HostPath&)>& make,
                                                  const HostPath& backup, Backup kind)
{
    using Kind = Outcome::Kind;
    Outcome outcome;
    const HostPath part = FileOps::passingName(m_list);
    if (!make(part)) {
        removeQuietly(part);
        outcome.kind = Kind::NotMade;
        return outcome;
    }
    m_ui.processEvents();

    // With a backup to replace, the old list's second name is a passing one until the end.
    const HostPath kept = kind == Backup::ReplacesOlder ? FileOps::passingName(backup) : backup;
    if (kind != Backup::None) {
        try {
            FileOps::linkOrCopy(m_list, kept);
        } catch (const FileError& error) {
            removeQuietly(part);
            outcome.kind = Kind::NotBackedUp;
            outcome.error = error;
            return outcome;
        }
        m_ui.processEvents();
    }

    try {
        FileOps::renameFile(part, m_list);
    } catch (const FileError& error) {
        removeQuietly(part);
        if (kind != Backup::None)
            removeQuietly(kept);
        outcome.kind = Kind::NotReplaced;
        outcome.error = error;
        return outcome;
    }
    m_ui.processEvents();

    if (kind == Backup::ReplacesOlder) {
        try {
            FileOps::renameFile(kept, backup);
        } catch (const FileError& error) {
            outcome.kind = Kind::BackupLeft;
            outcome.error = error;
            outcome.keptAs = kept;
        }
        m_ui.processEvents();
    }
    InstallLog::note(u"list"_s, m_list.display() + u" replaced"_s +
                                    (kind == Backup::None
                                         ? u", no backup kept"_s
                                         : u"; backup "_s + (outcome.keptAs.isEmpty()
                                                                 ? backup.display()
                                                                 : outcome.keptAs.display())));
    return outcome;
}

} // namespace veltrane
