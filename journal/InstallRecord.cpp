#include "InstallRecord.h"

using namespace Qt::StringLiterals;

namespace veltrane {

QString InstallRecord::stateName(State state)
{
    switch (state) {
    case State::Installed:
        return u"installed"_s;
    case State::TakenBack:
        return u"taken back"_s;
    case State::CutShort:
        break;
    }
    return u"cut short"_s;
}

QString InstallRecord::stateText() const
{
    if (state != State::TakenBack && !undoable)
        return stateName(state) + u", not undoable"_s;
    return stateName(state);
}

QString InstallRecord::changeName(Change change)
{
    switch (change) {
    case Change::Added:
        return u"added"_s;
    case Change::Replaced:
        return u"replaced"_s;
    case Change::Removed:
        break;
    }
    return u"removed"_s;
}

} // namespace veltrane
