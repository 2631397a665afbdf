#include "ScenarioInstaller.h"

#include "journal/FileChanges.h"
#include "journal/TextFileWriter.h"
#include "lists/FreeFormatReader.h"
#include "lists/ListReplacement.h"
#include "lists/ScenarioListSplice.h"
#include "lists/ScenarioRecordText.h"
#include "stock/EngineContext.h"
#include "stock/MissingStockResolver.h"
#include "stock/RequirementLine.h"
#include "stock/SerzConversion.h"
#include "tree/FolderCopy.h"
#include "util/AppState.h"
#include "util/FileError.h"
#include "util/PathGuard.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"
#include "util/WorkReport.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Result = InstallStep::Result;
using Icon = UserInterface::Icon;

constexpr int kNumberedBackups = 50;
// A missing-items text this short names no blueprint worth a report.
constexpr qsizetype kShortestReport = 4;

// "Line Input" lines: CR LF, LF or CR end a line; a last line end adds no empty line.
QStringList textLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

// Whether anything, readable or not, already has that name: a backup this program cannot
// read is still a backup and must not be replaced by the rename.
bool nameTaken(const HostPath& path)
{
    const QFileInfo entry(path.toString());
    return entry.exists() || entry.isSymLink();
}

// The route folder as Windows reads it: trailing "\" characters name the same folder.
QString routeFolderName(QString item)
{
    while (item.endsWith(u'\\'))
        item.chop(1);
    return item;
}

// A required path as Windows reads it after "<game>\Assets\": a run of separators is one,
// also the one that joins it there, so a leading "\" names the same file as none.
QString normalisedStockPath(const QString& path)
{
    QString normal;
    normal.reserve(path.size());
    for (const QChar c : path) {
        if (c == u'\\' && (normal.isEmpty() || normal.endsWith(u'\\')))
            continue;
        normal += c;
    }
    return normal;
}

// A value from the route's list or the package, shown in a question: long or odd values would
// make it unreadable.
QString shownValue(const QString& value)
{
    constexpr qsizetype kLongest = 80;
    QString shown = value.left(kLongest);
    for (QChar& c : shown) {
        if (c.unicode() < 0x20)
            c = u' ';
    }
    return value.size() > kLongest ? shown + u"..."_s : shown;
}

QString removalQuestion(const ScenarioListSplice::ForeignRecord& record)
{
    const QString name = record.name.isEmpty() ? u"without an English name"_s
                                               : u'"' + shownValue(record.name) + u'"';
    const QString id = record.id.isEmpty() ? u"no scenario id"_s : shownValue(record.id);
    return u"The route's scenario list holds the scenario "_s + name + u" ("_s + id +
           u"), whose record contains this package's scenario key \""_s + shownValue(record.key) +
           u"\".\r\nRemove that scenario?\r\nNo keeps it and adds this package's scenario beside "
           u"it."_s;
}

// What a route folder named in "\Scenario.yyy" may not be: empty, absolute, with a drive,
// a separator, "..", or a double quote. Empty when the name is fine.
QString routeFolderProblem(const QString& routeFolder)
{
    if (routeFolder.trimmed().isEmpty())
        return u"It names no route folder."_s;
    if (routeFolder.contains(u'"'))
        return u"The route folder's name holds a double quote."_s;
    if (routeFolder.contains(u'\\') || routeFolder.contains(u'/') || routeFolder.contains(u':'))
        return u"The route folder \""_s + routeFolder +
               u"\" is a path, not the name of a folder in Content\\Routes."_s;
    if (!PathGuard::isContainedRelative(routeFolder))
        return u"The route folder \""_s + routeFolder +
               u"\" is not the name of a folder in Content\\Routes."_s;
    return {};
}

// The backup names of Scenarios.bin in the order they are taken: "Scenarios.bak", then
// "Scenarios.bak1" to "Scenarios.bak50".
QStringList backupNames()
{
    QStringList names{u"Scenarios.bak"_s};
    for (int n = 1; n <= kNumberedBackups; ++n)
        names.append(u"Scenarios.bak"_s + QString::number(n));
    return names;
}

} // namespace

ScenarioInstaller::ScenarioInstaller(EngineContext& context)
    : m_context(context),
      m_stop(context.ui, u"scenario"_s, u"The route's scenario list has not been changed."_s)
{
}

QString ScenarioInstaller::backupName(const HostPath& routeFolder)
{
    for (const QString& name : backupNames()) {
        if (!nameTaken(routeFolder.mappedChild(name)))
            return name;
    }
    return {};
}

QString ScenarioInstaller::newestBackup(const HostPath& routeFolder)
{
    QString newest;
    for (const QString& name : backupNames()) {
        if (!nameTaken(routeFolder.mappedChild(name)))
            break;
        newest = name;
    }
    return newest;
}

QString ScenarioInstaller::assetsRelative(const QString& stockPath)
{
    const QString relative = normalisedStockPath(stockPath);
    return PathGuard::isContainedRelative(relative) ? relative : QString();
}

QList<InstallStep> ScenarioInstaller::steps()
{
    return {
        // All three markers are read and checked before anything in the game folder changes.
        {u"Reading the scenario markers"_s, [this] { return readMarkers(); }},
        {u"Finding the route folder"_s, [this] { return findRouteFolder(); }},
        {u"Converting the scenario list to XML"_s, [this] { return convertToXml(); }},
        {u"Editing the scenario list"_s, [this] { return editList(); }},
        {u"Adding the scenario to the route's scenario list"_s, [this] { return replaceList(); }},
        {u"Checking the required rolling stock"_s, [this] { return reportMissingStock(); }},
        {u"Removing the work folder"_s, [this] { return removeWorkFolder(); }},
    };
}

ScenarioInstaller::Markers ScenarioInstaller::readMarkers(const HostPath& package,
                                                          UserInterface& ui)
{
    Markers markers;
    const HostPath keysPath = package.mappedChild(u"Scenario.yyy"_s);
    const HostPath recordPath = package.mappedChild(u"Scenario.zzz"_s);
    const HostPath stockPath = package.mappedChild(u"Scenario.qqq"_s);
    const auto problem = [&](const HostPath& file, const QString& what) {
        markers.problemFile = file;
        markers.problem = what;
        return markers;
    };
    for (const HostPath& path : {keysPath, recordPath, stockPath}) {
        // One that is there but cannot be read is told by the reader below, with the reason.
        if (!QFileInfo::exists(path.toString()))
            return problem(path, u"It is missing from the package."_s);
    }
    // Each read whole, and checked before the next is read.
    QString text;
    const auto read = [&](const HostPath& path) {
        text.clear();
        try {
            readTextFile(ui, path, text);
        } catch (const FileError& error) {
            markers.problemFile = path;
            markers.problem = error.description();
            return false;
        }
        ui.processEvents();
        return true;
    };
    if (!read(keysPath))
        return markers;
    const QStringList items = FreeFormatReader::items(text);
    markers.routeFolder = routeFolderName(items.value(0));
    if (const QString wrong = routeFolderProblem(markers.routeFolder); !wrong.isEmpty())
        return problem(keysPath, wrong);
    markers.keys = items.mid(1);
    if (!read(recordPath))
        return markers;
    if (text.trimmed().isEmpty())
        return problem(recordPath, u"It holds no scenario record."_s);
    markers.record = text;
    if (!read(stockPath))
        return markers;
    markers.requiredStock = textLines(text);
    return markers;
}

InstallStep::Result ScenarioInstaller::readMarkers()
{
    m_scenarioKeys.clear();
    const Markers markers = readMarkers(m_context.packageFolder, m_context.ui);
    if (!markers.problem.isEmpty())
        return m_stop.stop(markers.problemFile, markers.problem);
    m_routeFolder = markers.routeFolder;
    m_scenarioKeys = markers.keys;
    m_record = markers.record;
    m_context.files.recordDisplayName(ScenarioRecordText::englishName(m_record));
    m_requiredStock = markers.requiredStock;
    return Result::Next;
}

InstallStep::Result ScenarioInstaller::findRouteFolder()
{
    m_routePath = m_context.game.mapped(u"\\Content\\Routes\\"_s + m_routeFolder);
    if (!folderExists(m_routePath)) {
        m_context.ui.showMessage(u"The Route Folder "_s + m_routeFolder +
                                     u"\r\ndoes not exist, could not add scenarios."_s,
                                 Icon::Exclamation);
        return Result::EndInstall;
    }
    m_listPath = m_routePath.mappedChild(u"Scenarios.bin"_s);
    m_workingCopy = m_context.workFolder.mappedChild(u"Scenarios.xml"_s);
    restoreFromBackup();
    return Result::Next;
}

void ScenarioInstaller::restoreFromBackup()
{
    // An install that was cut short may have left the backup without its list.
    if (nameTaken(m_listPath))
        return;
    const QString newest = newestBackup(m_routePath);
    if (newest.isEmpty())
        return;
    UserInterface& ui = m_context.ui;
    if (!ui.askYesNo(u"The route's scenario list "_s + m_listPath.display() +
                     u" is missing, but its backup "_s + newest +
                     u" is there.\r\nPut the backup back as the scenario list?"_s))
        return;
    try {
        m_context.files.linkOrCopy(m_routePath.mappedChild(newest), m_listPath);
    } catch (const FileError& error) {
        ui.showMessage(u"The backup could not be put back:\r\n"_s + error.description(),
                       Icon::Exclamation);
    }
}

InstallStep::Result ScenarioInstaller::convertToXml()
{
    UserInterface& ui = m_context.ui;
    // A working copy left by an earlier run would pass for this route's list; one that is a
    // link would have the serialiser write where it leads.
    if (nameTaken(m_workingCopy)) {
        try {
            m_context.files.removeFile(m_workingCopy);
        } catch (const FileError& error) {
            return m_stop.stop(m_workingCopy,
                               u"It is left from an earlier install and cannot be removed: "_s +
                                   error.description());
        }
    }
    if (!fileExists(m_listPath)) {
        ui.showMessage(u"The route "_s + m_routeFolder + u" has no scenario list "_s +
                           m_listPath.display() + u", so the scenario could not be added to it."_s,
                       Icon::Critical);
        return Result::EndInstall;
    }
    const ProcessResult result = SerzConversion::toXml(m_context, m_listPath, m_workingCopy);
    if (result.succeeded() && fileExists(m_workingCopy))
        return Result::Next;
    if (!result.started()) {
        ui.showMessage(
            u"The installer failed to create Scenarios.xml in the installer folder. This could "
            u"be because either:-\r\n1. Serz.exe is not available in your Windows\\System32 "
            u"folder\r\n2. You have tried to run the Setup program from within the .zip file. "
            u"The .zip must be unzipped first."_s,
            Icon::Critical);
    } else {
        ui.showMessage(u"The route's scenario list "_s + m_listPath.display() +
                           u" could not be turned into XML: "_s + result.failure() +
                           u"\r\nThe route's scenario list has not been changed."_s,
                       Icon::Critical);
    }
    return Result::EndInstall;
}

InstallStep::Result ScenarioInstaller::editList()
{
    const Expected<QString> list = m_stop.read(m_workingCopy);
    if (!list)
        return Result::EndInstall;
    // A key may also occur in another scenario's record: its name, a tag every record has, a
    // longer id that begins with the key. Such a record goes only after a Yes. The edit keeps
    // every record it may not remove, so after a No its later records are still the ones the
    // keys reach; a Yes can change them, and the list is edited again.
    ScenarioListSplice::Removable removable;
    QSet<qsizetype> declined;
    for (;;) {
        const auto edited = ScenarioListSplice::edit(*list, m_scenarioKeys, m_record, removable);
        if (!edited.ok())
            return m_stop.stop(m_workingCopy, edited.problem);
        bool removesMore = false;
        for (const auto& record : edited.kept) {
            if (declined.contains(record.start))
                continue;
            if (m_context.ui.askYesNo(removalQuestion(record))) {
                removable.insert(record.start);
                removesMore = true;
                break;
            }
            declined.insert(record.start);
        }
        if (!removesMore) {
            m_newList = edited.text;
            m_removedRecords = edited.removed;
            return Result::Next;
        }
    }
}

InstallStep::Result ScenarioInstaller::replaceList()
{
    UserInterface& ui = m_context.ui;
    // A working copy that cannot be written would turn the old list back into itself and
    // the install would claim a scenario it never added.
    if (!writeTextFile(m_context.files, ui, m_workingCopy, m_newList))
        return Result::EndInstall;

    const QString backup = backupName(m_routePath);
    ListReplacement replacement(ui, m_context.files, m_listPath);
    const auto outcome = replacement.replace(
        [&](const HostPath& part) {
            // Written by the serialiser, not through our changes: a kill mid-way must not
            // leave it.
            m_context.files.expectCreated(part);
            const ProcessResult conversion = SerzConversion::toBin(m_context, m_workingCopy, part);
            if (conversion.succeeded() && SerzConversion::readsBack(part))
                return Expected<void>();
            return Expected<void>(failure(conversion.succeeded()
                                              ? u"the serialiser's output does not read back "
                                                u"as a scenario list"_s
                                              : conversion.failure()));
        },
        m_routePath.mappedChild(backup),
        // With every backup name taken no backup is made, as before.
        backup.isEmpty() ? ListReplacement::Backup::None : ListReplacement::Backup::FreshName);

    using Kind = ListReplacement::Outcome::Kind;
    switch (outcome.kind) {
    case Kind::Replaced:
    case Kind::BackupLeft:
        recordListChanges();
        m_context.report.done(u"the scenario was added to the route's scenario list"_s);
        return Result::Next;
    case Kind::NotMade: {
        ui.showMessage(u"The new scenario list could not be converted into "_s +
                           m_listPath.display() + u": "_s + outcome.error->description() +
                           u".\r\nThe route's scenario list has been left as it was. The "
                           u"scenario has not been installed."_s,
                       Icon::Exclamation);
        return Result::EndInstall;
    }
    case Kind::NotBackedUp:
    case Kind::NotReplaced:
        ui.showMessage(u"The scenario list "_s + m_listPath.display() +
                           u" could not be replaced with its backup kept as "_s + backup +
                           u":\r\n"_s + outcome.error->description() +
                           u"\r\nIt has been left as it was and the scenario has not been "
                           u"added to it."_s,
                       Icon::Exclamation);
        if (outcome.error->permissionDenied())
            throw *outcome.error;
        return Result::EndInstall;
    }
    return Result::Next;
}

void ScenarioInstaller::recordListChanges()
{
    const QString id = ScenarioRecordText::id(m_record);
    const QString name = ScenarioRecordText::englishName(m_record);
    bool replaced = false;
    for (const ScenarioListSplice::ForeignRecord& removed : std::as_const(m_removedRecords)) {
        // An earlier copy of this scenario is replaced, once; any other record is removed.
        const bool same =
            !replaced && !id.isEmpty() && removed.id.compare(id, Qt::CaseInsensitive) == 0;
        replaced = replaced || same;
        if (!same)
            m_context.files.recordListChange(m_listPath, u"removed"_s, removed.id, removed.name);
    }
    m_context.files.recordListChange(m_listPath, replaced ? u"replaced"_s : u"added"_s, id, name);
}

QString ScenarioInstaller::checkRequiredStock(const QStringList& requirementLines)
{
    UserInterface& ui = m_context.ui;
    MissingStockResolver resolver(m_context);
    const QString assets = m_context.state.GamePath + u"\\Assets\\"_s;
    QString missing;
    for (const QString& line : requirementLines) {
        ui.processEvents();
        if (line.trimmed().isEmpty())
            continue;
        const QString stockPath = RequirementLine::stockPath(line);
        const QString relative = assetsRelative(stockPath);
        // A path that would leave the Assets folder is neither looked at nor made.
        if (relative.isEmpty()) {
            missing += stockPath + u"\r\n"_s;
            continue;
        }
        const QString required = assets + relative;
        if (!fileExists(HostPath::fromProgramPath(required)) && !resolver.resolve(required, line))
            missing += stockPath + u"\r\n"_s;
    }
    return missing;
}

InstallStep::Result ScenarioInstaller::reportMissingStock()
{
    const QString missing = checkRequiredStock(m_requiredStock);
    if (missing.size() > kShortestReport) {
        m_context.ui.showReport(u"The following items required by this scenario are not "
                                u"installed on your PC:-\r\n\r\n"_s +
                                missing);
    }
    return Result::Next;
}

InstallStep::Result ScenarioInstaller::removeWorkFolder()
{
    FolderCopy(m_context.ui, m_context.files)
        .removeFolder(SerzConversion::workFolder(m_context.workFolder));
    return Result::Next;
}

} // namespace veltrane
