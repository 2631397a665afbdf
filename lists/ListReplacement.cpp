#include "ListReplacement.h"

#include "journal/FileChanges.h"
#include "util/UserInterface.h"

using namespace Qt::StringLiterals;

namespace veltrane {

ListReplacement::ListReplacement(UserInterface& ui, FileChanges& files, HostPath list)
    : m_ui(ui), m_files(files), m_list(std::move(list))
{
}

void ListReplacement::removeQuietly(const HostPath& path)
{
    try {
        m_files.removeFile(path);
    } catch (const FileError&) {
        // A passing name left behind holds nothing the game reads.
    }
}

ListReplacement::Outcome
ListReplacement::replace(const std::function<Expected<void>(const HostPath&)>& make,
                         const HostPath& backup, Backup kind)
{
    using Kind = Outcome::Kind;
    Outcome outcome;
    const HostPath part = FileChanges::passingName(m_list);
    if (const Expected<void> made = make(part); !made) {
        removeQuietly(part);
        outcome.kind = Kind::NotMade;
        outcome.error = made.failure();
        return outcome;
    }
    m_ui.processEvents();

    // With a backup to replace, the old list's second name is a passing one until the end.
    const HostPath kept = kind == Backup::ReplacesOlder ? FileChanges::passingName(backup) : backup;
    if (kind != Backup::None) {
        try {
            m_files.linkOrCopy(m_list, kept);
        } catch (const FileError& error) {
            removeQuietly(part);
            outcome.kind = Kind::NotBackedUp;
            outcome.error = error;
            return outcome;
        }
        m_ui.processEvents();
    }

    try {
        m_files.renameFile(part, m_list);
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
            m_files.renameFile(kept, backup);
        } catch (const FileError& error) {
            outcome.kind = Kind::BackupLeft;
            outcome.error = error;
            outcome.keptAs = kept;
        }
        m_ui.processEvents();
    }
    m_files.log(u"list"_s,
                m_list.display() + u" replaced"_s +
                    (kind == Backup::None
                         ? u", no backup kept"_s
                         : u"; backup "_s + (outcome.keptAs.isEmpty() ? backup.display()
                                                                      : outcome.keptAs.display())));
    return outcome;
}

} // namespace veltrane
