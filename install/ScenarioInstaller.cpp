#include "ScenarioInstaller.h"

#include "FolderCopy.h"
#include "FreeFormatReader.h"
#include "ListReplacement.h"
#include "ScenarioListSplice.h"
#include "stock/EngineContext.h"
#include "stock/MissingStockResolver.h"
#include "stock/RequirementLine.h"
#include "stock/SerzConversion.h"
#include "util/AppState.h"
#include "util/FileError.h"
#include "util/FileOps.h"
#include "util/PathGuard.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"

#include <QFile>
#include <QFileInfo>

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
bool nameTaken(const QString& path)
{
    const QFileInfo entry(HostPath::fromProgramPath(path).toString());
    return entry.exists() || entry.isSymLink();
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

// The first free backup name for Scenarios.bin in the folder, or empty when all fifty
// numbered names are taken.
QString backupName(const QString& routeFolder)
{
    if (!nameTaken(routeFolder + u"\\Scenarios.bak"_s))
        return u"Scenarios.bak"_s;
    for (int n = 1; n <= kNumberedBackups; ++n) {
        const QString name = u"Scenarios.bak"_s + QString::number(n);
        if (!nameTaken(routeFolder + u'\\' + name))
            return name;
    }
    return {};
}

} // namespace

ScenarioInstaller::ScenarioInstaller(EngineContext& context)
    : m_context(context),
      m_stop(context.ui, u"scenario"_s, u"The route's scenario list has not been changed."_s)
{
}

HostPath ScenarioInstaller::marker(const QString& name) const
{
    return HostPath::fromProgramPath(m_context.programFolder + u'\\' + name);
}

QString ScenarioInstaller::routePath() const
{
    return m_context.state.GamePath + u"\\Content\\Routes\\"_s + m_routeFolder;
}

QList<InstallStep> ScenarioInstaller::steps()
{
    return {
        // All three markers are read and checked before anything in the game folder changes.
        {u"read the scenario markers"_s, [this] { return readMarkers(); }},
        {u"find the route folder"_s, [this] { return findRouteFolder(); }},
        {u"convert the scenario list to XML"_s, [this] { return convertToXml(); }},
        {u"edit the scenario list"_s, [this] { return editList(); }},
        // One step from writing the working copy to checking the converted list, so that the
        // install never ends with the route's list moved aside.
        {u"replace the scenario list"_s, [this] { return replaceList(); }},
        {u"check the required rolling stock"_s, [this] { return reportMissingStock(); }},
        {u"remove the work folder"_s, [this] { return removeWorkFolder(); }},
    };
}

InstallStep::Result ScenarioInstaller::readMarkers()
{
    UserInterface& ui = m_context.ui;
    m_scenarioKeys.clear();
    const HostPath keysPath = marker(u"Scenario.yyy"_s);
    const HostPath recordPath = marker(u"Scenario.zzz"_s);
    const HostPath stockPath = marker(u"Scenario.qqq"_s);
    for (const HostPath& path : {keysPath, recordPath, stockPath}) {
        // One that is there but cannot be read is told by the reader below, with the reason.
        if (!QFileInfo(path.toString()).isFile())
            return m_stop.stop(path, u"It is missing from the package."_s);
    }

    const std::optional<QString> keys = m_stop.read(keysPath);
    if (!keys)
        return Result::EndInstall;
    const QStringList items = FreeFormatReader::items(*keys);
    m_routeFolder = items.value(0);
    const QString problem = routeFolderProblem(m_routeFolder);
    if (!problem.isEmpty())
        return m_stop.stop(keysPath, problem);
    m_scenarioKeys = items.mid(1);
    ui.processEvents();

    const std::optional<QString> record = m_stop.read(recordPath);
    if (!record)
        return Result::EndInstall;
    if (record->trimmed().isEmpty())
        return m_stop.stop(recordPath, u"It holds no scenario record."_s);
    m_record = *record;
    ui.processEvents();

    const std::optional<QString> stock = m_stop.read(stockPath);
    if (!stock)
        return Result::EndInstall;
    m_requiredStock = textLines(*stock);
    ui.processEvents();
    return Result::Next;
}

InstallStep::Result ScenarioInstaller::findRouteFolder()
{
    if (folderExists(HostPath::fromProgramPath(routePath()))) {
        m_listPath = HostPath::fromProgramPath(routePath() + u"\\Scenarios.bin"_s);
        m_workingCopy = marker(u"Scenarios.xml"_s);
        return Result::Next;
    }
    m_context.ui.showMessage(u"The Route Folder "_s + m_routeFolder +
                                 u"\r\ndoes not exist, could not add scenarios."_s,
                             Icon::Exclamation);
    return Result::EndInstall;
}

InstallStep::Result ScenarioInstaller::convertToXml()
{
    // A working copy left by an earlier run would pass for this route's list.
    if (QFile::exists(m_workingCopy.toString())) {
        try {
            FileOps::removeFile(m_workingCopy);
        } catch (const FileError& error) {
            return m_stop.stop(m_workingCopy,
                               u"It is left from an earlier install and cannot be removed: "_s +
                                   error.description());
        }
    }
    SerzConversion::toXml(m_context, m_listPath, m_workingCopy);
    if (fileExists(m_workingCopy))
        return Result::Next;
    m_context.ui.showMessage(
        u"The installer failed to create Scenarios.xml in the installer folder. This could be "
        u"because either:-\r\n1. Serz.exe is not available in your Windows\\System32 "
        u"folder\r\n2. You have tried to run the Setup program from within the .zip file. The "
        u".zip must be unzipped first."_s,
        Icon::Critical);
    return Result::EndInstall;
}

InstallStep::Result ScenarioInstaller::editList()
{
    const std::optional<QString> list = m_stop.read(m_workingCopy);
    if (!list)
        return Result::EndInstall;
    const auto edited = ScenarioListSplice::edit(*list, m_scenarioKeys, m_record);
    if (!edited.ok())
        return m_stop.stop(m_workingCopy, edited.problem);
    m_newList = edited.text;
    return Result::Next;
}

InstallStep::Result ScenarioInstaller::replaceList()
{
    UserInterface& ui = m_context.ui;
    // A working copy that cannot be written would turn the old list back into itself and
    // the install would claim a scenario it never added.
    if (!writeTextFile(ui, m_workingCopy, m_newList))
        return Result::EndInstall;

    const QString backup = backupName(routePath());
    // With every backup name taken no backup is made; the list still moves aside under a
    // passing name until the new one is there, so that a failed conversion can be undone.
    const QString asideName = backup.isEmpty() ? passingName() : backup;
    const HostPath aside = HostPath::fromProgramPath(routePath() + u'\\' + asideName);
    ListReplacement replacement(ui, m_listPath, aside);
    const auto outcome = replacement.replace([&] {
        SerzConversion::toBin(m_context, m_workingCopy, m_listPath);
        try {
            return fileExists(m_listPath) && FileOps::fileSize(m_listPath) > 0;
        } catch (const FileError&) {
            return false;
        }
    });

    using Kind = ListReplacement::Outcome::Kind;
    switch (outcome.kind) {
    case Kind::Replaced:
        break;
    case Kind::NotMovedAside:
        ui.showMessage(u"The scenario list "_s + m_listPath.display() +
                           u" could not be renamed to "_s + asideName + u":\r\n"_s +
                           outcome.error->description() +
                           u"\r\nIt has been left as it was and the scenario has not been "
                           u"added to it."_s,
                       Icon::Exclamation);
        if (outcome.error->permissionDenied())
            throw *outcome.error;
        return Result::EndInstall;
    case Kind::NotMade: {
        const QString failed = u"The new scenario list could not be converted into "_s +
                               m_listPath.display() + u".\r\n"_s;
        if (outcome.putBack) {
            const QString from = backup.isEmpty() ? QString() : u" from its backup "_s + asideName;
            ui.showMessage(failed + u"The earlier list has been put back"_s + from +
                               u". The scenario has not been installed."_s,
                           Icon::Exclamation);
        } else {
            ui.showMessage(failed + u"The earlier list could not be put back ("_s +
                               outcome.error->description() + u"). It is kept as "_s +
                               aside.display() + u": rename it to Scenarios.bin to restore it."_s,
                           Icon::Exclamation);
        }
        return Result::EndInstall;
    }
    }
    if (backup.isEmpty()) {
        try {
            FileOps::removeFile(aside);
        } catch (const FileError& error) {
            ui.showMessage(u"The scenario has been added, but the earlier list could not be "
                           u"removed from "_s +
                               aside.display() + u":\r\n"_s + error.description(),
                           Icon::Exclamation);
        }
    }
    return Result::Next;
}

QString ScenarioInstaller::passingName() const
{
    QString name = u"Scenarios.bin.old"_s;
    for (int n = 1; nameTaken(routePath() + u'\\' + name); ++n)
        name = u"Scenarios.bin.old"_s + QString::number(n);
    return name;
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
        // A path that would leave the Assets folder is neither looked at nor made.
        if (!PathGuard::isContainedRelative(stockPath)) {
            missing += stockPath + u"\r\n"_s;
            continue;
        }
        const QString required = assets + stockPath;
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
    FolderCopy(m_context.ui)
        .removeFolder(
            HostPath::fromProgramPath(SerzConversion::workFolder(m_context.programFolder)));
    return Result::Next;
}

} // namespace veltrane
