#pragma once

#include "util/Expected.h"
#include "util/HostPath.h"

#include <functional>
#include <optional>

namespace veltrane {

class FileChanges;
class UserInterface;

// Replaces one of the game's lists (the route list, a route's scenario list) so that its
// name holds a complete list at every moment: the new list is made whole under a passing
// name beside it, the old one is kept under a second name as its backup (a hard link, or a
// copy), and only then does the new one take the list's name. An older backup that gives
// way does so only once the new list is in place.
class ListReplacement {
public:
    struct Outcome {
        enum class Kind {
            Replaced,
            NotMade,     // the new list failed; the list is as it was; error says why
            NotBackedUp, // no backup could be made; the list is as it was; error says why
            NotReplaced, // the new list could not take the name; the list is as it was
            BackupLeft,  // replaced, but the backup kept a passing name: error, keptAs
        };
        Kind kind = Kind::Replaced;
        std::optional<FileError> error;
        HostPath keptAs;
    };

    enum class Backup {
        ReplacesOlder, // an existing backup of that name gives way
        FreshName,     // the name is free; it is never written over
        None,          // no backup is made
    };

    ListReplacement(UserInterface& ui, FileChanges& files, HostPath list);

    // make writes the new list at the passing name it is given, complete or failed.
    Outcome replace(const std::function<Expected<void>(const HostPath&)>& make,
                    const HostPath& backup, Backup kind);

private:
    void removeQuietly(const HostPath& path);

    UserInterface& m_ui;
    FileChanges& m_files;
    HostPath m_list;
};

} // namespace veltrane
