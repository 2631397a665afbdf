#pragma once

#include "util/FileError.h"
#include "util/HostPath.h"

#include <functional>
#include <optional>

namespace veltrane {

class UserInterface;

// Replaces one of the game's lists (the route list, a route's scenario list) so that the
// game is never left without it: the list is moved aside, the new one is made in its place
// and checked, and when that fails the earlier list is put back.
class ListReplacement {
public:
    struct Outcome {
        enum class Kind {
            Replaced,
            NotMovedAside, // the list was left as it was; error says why
            NotMade,       // the new list failed; putBack tells whether the old one is back
        };
        Kind kind = Kind::Replaced;
        std::optional<FileError> error;
        bool putBack = false;
    };

    ListReplacement(UserInterface& ui, HostPath list, HostPath aside);

    // make writes the new list at the list's path and says whether it is complete.
    Outcome replace(const std::function<bool()>& make);

private:
    UserInterface& m_ui;
    HostPath m_list;
    HostPath m_aside;
};

} // namespace veltrane
