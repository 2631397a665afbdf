#include "RouteInstaller.h"

#include "ListReplacement.h"
#include "RouteListSplice.h"
#include "stock/EngineContext.h"
#include "util/AppState.h"
#include "util/FileOps.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {
using Result = InstallStep::Result;
using Icon = UserInterface::Icon;
} // namespace

RouteInstaller::RouteInstaller(EngineContext& context)
    : m_context(context), m_stop(context.ui, u"route"_s, u"Nothing has been changed."_s)
{
}

QList<InstallStep> RouteInstaller::steps()
{
    return {
        {u"find the route list"_s, [this] { return findList(); }},
        // The marker is read and checked whole before the user is asked, so that a damaged
        // package never gets as far as the route list.
        {u"read the route marker"_s, [this] { return readMarker(); }},
        {u"confirm"_s, [this] { return confirm(); }},
        {u"edit the route list"_s, [this] { return editList(); }},
        {u"delete the old backup"_s, [this] { return removeOldBackup(); }},
        // One step, so that the install never ends between moving the list aside and
        // writing its replacement.
        {u"replace the route list"_s, [this] { return replaceList(); }},
    };
}

Result RouteInstaller::findList()
{
    // GamePath is the path box's text from the start of the install on.
    const QString gamePath = m_context.state.GamePath;
    m_markerPath = HostPath::fromProgramPath(m_context.programFolder + u"\\Veltrane.xxx"_s);
    m_listPath = HostPath::fromProgramPath(gamePath + u"\\Content\\Routes.xml"_s);
    m_backupPath = HostPath::fromProgramPath(gamePath + u"\\Content\\Routes.xml.bak"_s);
    if (fileExists(m_listPath))
        return Result::Next;
    m_context.ui.showMessage(u"The file "_s + m_listPath.display() +
                                 u"\r\ncould not be found, please check your Content folder"_s,
                             Icon::Critical);
    return Result::EndInstall;
}

Result RouteInstaller::readMarker()
{
    const std::optional<QString> marker = m_stop.read(m_markerPath);
    if (!marker)
        return Result::EndInstall;
    m_marker = *marker;
    const auto identifier = RouteListSplice::routeIdentifier(m_marker);
    if (!identifier.ok())
        return m_stop.stop(m_markerPath, identifier.problem);
    m_identifier = identifier.text;
    return Result::Next;
}

Result RouteInstaller::confirm()
{
    const auto name = RouteListSplice::routeName(m_marker);
    if (!name.ok())
        return m_stop.stop(m_markerPath, name.problem);
    const bool yes =
        m_context.ui.askYesNo(u"You are about to install Route - "_s + name.text +
                              u"\r\nInto your Rail Simulator Routes folder - Please Confirm."_s);
    return yes ? Result::Next : Result::EndInstall;
}

Result RouteInstaller::editList()
{
    const std::optional<QString> list = m_stop.read(m_listPath);
    if (!list)
        return Result::EndInstall;
    const auto edited = RouteListSplice::splice(*list, m_marker, m_identifier);
    if (!edited.ok())
        return m_stop.stop(m_listPath, edited.problem);
    m_newList = edited.text;
    return Result::Next;
}

Result RouteInstaller::removeOldBackup()
{
    if (fileExists(m_backupPath)) {
        FileOps::removeFile(m_backupPath);
        m_context.ui.processEvents();
    }
    return Result::Next;
}

Result RouteInstaller::replaceList()
{
    UserInterface& ui = m_context.ui;
    ListReplacement replacement(ui, m_listPath, m_backupPath);
    const auto outcome =
        replacement.replace([&] { return writeTextFile(ui, m_listPath, m_newList); });
    using Kind = ListReplacement::Outcome::Kind;
    switch (outcome.kind) {
    case Kind::Replaced:
        return Result::Next;
    case Kind::NotMovedAside:
        ui.showMessage(u"The route list "_s + m_listPath.display() +
                           u" could not be renamed to Routes.xml.bak:\r\n"_s +
                           outcome.error->description() +
                           u"\r\nIt has been left as it was and the route has not been added "
                           u"to it."_s,
                       Icon::Exclamation);
        // Permission denied goes on to the read-only offer; the list stays as it is.
        if (outcome.error->permissionDenied())
            throw *outcome.error;
        return Result::EndInstall;
    case Kind::NotMade:
        break;
    }
    // The game must never be left without its route list.
    if (outcome.putBack) {
        ui.showMessage(u"The new route list could not be written, so the earlier list has "
                       u"been put back as "_s +
                           m_listPath.display() + u'.',
                       Icon::Exclamation);
    } else {
        ui.showMessage(u"The new route list could not be written, and the earlier list could "
                       u"not be put back ("_s +
                           outcome.error->description() + u").\r\nIt is kept as "_s +
                           m_backupPath.display() + u": rename it to Routes.xml to restore it."_s,
                       Icon::Exclamation);
    }
    return Result::EndInstall;
}

} // namespace veltrane
