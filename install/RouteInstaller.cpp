#include "RouteInstaller.h"

#include "journal/FileChanges.h"
#include "journal/TextFileWriter.h"
#include "lists/ListReplacement.h"
#include "lists/RouteListSplice.h"
#include "stock/EngineContext.h"
#include "util/AppState.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"
#include "util/WorkReport.h"

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {
using Result = InstallStep::Result;
using Icon = UserInterface::Icon;

const QString kListStep = u"Adding the route to the route list"_s;
} // namespace

RouteInstaller::RouteInstaller(EngineContext& context)
    : m_context(context), m_stop(context.ui, u"route"_s, u"Nothing has been changed."_s)
{
}

QList<InstallStep> RouteInstaller::steps()
{
    return {
        {u"Finding the route list"_s, [this] { return findList(); }},
        // The marker is read and checked whole before the user is asked, so that a damaged
        // package never gets as far as the route list.
        {u"Reading the route marker Veltrane.xxx"_s, [this] { return readMarker(); }},
        {u"Confirming the route"_s, [this] { return confirm(); }},
        {u"Editing the route list"_s, [this] { return editList(); }},
        {kListStep, [this] { return replaceList(); }},
    };
}

Result RouteInstaller::findList()
{
    m_markerPath = m_context.packageFolder.mappedChild(u"Veltrane.xxx"_s);
    m_listPath = m_context.game.mapped(u"\\Content\\Routes.xml"_s);
    m_backupPath = m_context.game.mapped(u"\\Content\\Routes.xml.bak"_s);
    if (fileExists(m_listPath) || restoreFromBackup())
        return Result::Next;
    m_context.ui.showMessage(u"The file "_s + m_listPath.display() +
                                 u"\r\ncould not be found, please check your Content folder"_s,
                             Icon::Critical);
    return Result::EndInstall;
}

bool RouteInstaller::restoreFromBackup()
{
    // An install that was cut short may have left the backup without its list.
    if (fileExists(m_listPath) || !fileExists(m_backupPath))
        return false;
    UserInterface& ui = m_context.ui;
    if (!ui.askYesNo(u"The route list "_s + m_listPath.display() +
                     u" is missing, but its backup Routes.xml.bak is there.\r\nPut the backup "
                     u"back as the route list?"_s))
        return false;
    try {
        m_context.files.linkOrCopy(m_backupPath, m_listPath);
    } catch (const FileError& error) {
        ui.showMessage(u"The backup could not be put back:\r\n"_s + error.description(),
                       Icon::Exclamation);
        return false;
    }
    return true;
}

Result RouteInstaller::readMarker()
{
    const Expected<QString> marker = m_stop.read(m_markerPath);
    if (!marker)
        return Result::EndInstall;
    m_marker = *marker;
    // Pasted into the list as it is: anything but one whole record would damage the list.
    if (const auto shape = RouteListSplice::checkMarker(m_marker); !shape)
        return m_stop.stop(m_markerPath, shape.message());
    const auto identifier = RouteListSplice::routeIdentifier(m_marker);
    if (!identifier.ok())
        return m_stop.stop(m_markerPath, identifier.message());
    m_identifier = *identifier;
    return Result::Next;
}

Result RouteInstaller::confirm()
{
    const auto name = RouteListSplice::routeName(m_marker);
    if (!name.ok())
        return m_stop.stop(m_markerPath, name.message());
    m_routeName = *name;
    m_context.files.recordDisplayName(m_routeName);
    const bool yes =
        m_context.ui.askYesNo(u"You are about to install Route - "_s + *name +
                              u"\r\nInto your Rail Simulator Routes folder - Please Confirm."_s);
    return yes ? Result::Next : Result::EndInstall;
}

std::optional<RouteListSplice::Record> RouteInstaller::otherRouteHolding(const QString& list,
                                                                         const QString& identifier)
{
    auto record = RouteListSplice::recordHolding(list, identifier);
    if (record && record->start >= 0 &&
        record->identifier.compare(identifier, Qt::CaseInsensitive) != 0)
        return record;
    return std::nullopt;
}

Result RouteInstaller::editList()
{
    const Expected<QString> list = m_stop.read(m_listPath);
    if (!list)
        return Result::EndInstall;
    // The identifier may occur in another route's record: its name, its own identifier that
    // begins with this one. That route is replaced only when the user says so.
    auto placement = RouteListSplice::Placement::ReplaceRecord;
    const auto record = RouteListSplice::recordHolding(*list, m_identifier);
    if (const auto other = otherRouteHolding(*list, m_identifier)) {
        const bool replace = m_context.ui.askYesNo(
            u"The route list holds the route "_s + other->name + u" ("_s + other->identifier +
            u"), whose record contains this package's route identifier "_s + m_identifier +
            u".\r\nReplace that route with "_s + m_routeName + u"?\r\nNo adds "_s + m_routeName +
            u" as a route of its own."_s);
        if (!replace)
            placement = RouteListSplice::Placement::AsNewRoute;
    }
    const auto edited = RouteListSplice::splice(*list, m_marker, m_identifier, placement);
    if (!edited.ok())
        return m_stop.stop(m_listPath, edited.message());
    m_newList = *edited;
    // What the list's records go through, for the inventory once the list is replaced.
    m_recordChanges.clear();
    const bool replaces =
        record && record->start >= 0 && placement == RouteListSplice::Placement::ReplaceRecord;
    if (replaces && record->identifier.compare(m_identifier, Qt::CaseInsensitive) != 0)
        m_recordChanges.append({u"removed"_s, record->identifier, record->name});
    m_recordChanges.append(
        {replaces && record->identifier.compare(m_identifier, Qt::CaseInsensitive) == 0
             ? u"replaced"_s
             : u"added"_s,
         m_identifier, m_routeName});
    return Result::Next;
}

Result RouteInstaller::replaceList()
{
    UserInterface& ui = m_context.ui;
    ListReplacement replacement(ui, m_context.files, m_listPath);
    const auto outcome = replacement.replace(
        [&](const HostPath& part) {
            return writeTextFile(m_context.files, ui, part, m_newList, m_listPath);
        },
        m_backupPath, ListReplacement::Backup::ReplacesOlder);
    using Kind = ListReplacement::Outcome::Kind;
    if (outcome.kind == Kind::Replaced || outcome.kind == Kind::BackupLeft) {
        for (const QStringList& change : std::as_const(m_recordChanges))
            m_context.files.recordListChange(m_listPath, change[0], change[1], change[2]);
    }
    switch (outcome.kind) {
    case Kind::Replaced:
        m_context.report.done(u"the route was added to the route list"_s);
        return Result::Next;
    case Kind::NotMade:
        // The writer has said why.
        ui.showMessage(u"The new route list could not be written, so the route list "_s +
                           m_listPath.display() +
                           u" has been left as it was and the route has not been added."_s,
                       Icon::Exclamation);
        // Permission denied goes on to the read-only offer; the list stays as it is.
        if (outcome.error->permissionDenied())
            throw *outcome.error;
        return Result::EndInstall;
    case Kind::NotBackedUp:
    case Kind::NotReplaced:
        ui.showMessage(u"The route list "_s + m_listPath.display() +
                           u" could not be replaced with its backup kept as Routes.xml.bak:\r\n"_s +
                           outcome.error->description() +
                           u"\r\nIt has been left as it was and the route has not been added "
                           u"to it."_s,
                       Icon::Exclamation);
        // Permission denied goes on to the read-only offer; the list stays as it is.
        if (outcome.error->permissionDenied())
            throw *outcome.error;
        return Result::EndInstall;
    case Kind::BackupLeft:
        m_context.report.done(u"the route was added to the route list"_s);
        m_context.report.fail(kListStep, m_backupPath.display(),
                              u"the earlier list is kept as "_s + outcome.keptAs.display() +
                                  u" instead: "_s + outcome.error->description());
        return Result::Next;
    }
    return Result::Next;
}

} // namespace veltrane
