#include "ListReplacement.h"

#include "util/FileOps.h"
#include "util/UserInterface.h"

#include <QFileInfo>

namespace veltrane {

ListReplacement::ListReplacement(UserInterface& ui, HostPath list, HostPath aside)
    : m_ui(ui), m_list(std::move(list)), m_aside(std::move(aside))
{
}

ListReplacement::Outcome ListReplacement::replace(const std::function<bool()>& make)
{
    Outcome outcome;
    try {
        FileOps::renameFile(m_list, m_aside);
    } catch (const FileError& error) {
        outcome.kind = Outcome::Kind::NotMovedAside;
        outcome.error = error;
        return outcome;
    }
    m_ui.processEvents();

    if (make())
        return outcome;

    outcome.kind = Outcome::Kind::NotMade;
    try {
        if (QFileInfo::exists(m_list.toString()))
            FileOps::removeFile(m_list);
        FileOps::renameFile(m_aside, m_list);
        outcome.putBack = true;
    } catch (const FileError& error) {
        outcome.error = error;
    }
    return outcome;
}

} // namespace veltrane
