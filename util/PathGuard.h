#pragma once

#include "HostPath.h"

#include <QString>
#include <filesystem>
#include <optional>

namespace veltrane {

// Paths that come from a package's files must stay inside the folder they belong to. A path
// is judged by where it really leads: symbolic links on the way are followed, also ones
// that point nowhere yet (a write through them would create their target), names are
// compared without regard to letter case, and whole names only ("C:\Games" does not admit
// "C:\GamesX").
namespace PathGuard {

// A relative path, "\" or "/" separated, that cannot leave the folder it is joined to: no
// drive or colon, no leading separator, no empty, "." or ".." component (a trailing run of
// dots or blanks counts as nothing, as on Windows), no control character.
bool isContainedRelative(const QString& relative);

enum class LastName {
    Follow, // the operation goes through a symbolic link at the end (writing, reading)
    Keep    // it acts on the link itself (deleting, renaming)
};

// The path with every symbolic link on the way replaced by where it leads; names that do
// not exist are kept. Nothing when the way cannot be followed (a loop, no access).
std::optional<std::filesystem::path> whereItLeads(const HostPath& path,
                                                  LastName last = LastName::Follow);

// Whether the real path target is root or lies below it; both as whereItLeads() gives them.
bool isWithin(const std::filesystem::path& target, const std::filesystem::path& root);

// Whether path leads to folder or somewhere below it.
bool leadsInto(const HostPath& path, const HostPath& folder, LastName last = LastName::Follow);

} // namespace PathGuard

} // namespace veltrane
