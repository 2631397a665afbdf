#include "ScenarioInstaller.h"

#include "FolderOperations.h"
#include "FreeFormatReader.h"
#include "ScenarioListSplice.h"
#include "platform/EngineContext.h"
#include "platform/SerzConversion.h"
#include "stock/MissingStockResolver.h"
#include "stock/RequirementLine.h"
#include "util/AppState.h"
#include "util/FileError.h"
#include "util/FileOps.h"
#include "util/HostPath.h"
#include "util/MyFile.h"
#include "util/PathGuard.h"
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
    const QFileInfo entry(HostPath::toHost(path));
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

QString ScenarioInstaller::markerPath(const QString& name) const
{
    return m_context.programFolder + u'\\' + name;
}

QString ScenarioInstaller::routePath() const
{
    return m_context.state.GamePath + u"\\Content\\Routes\\"_s + m_routeFolder;
}

QString ScenarioInstaller::listPath() const
{
    return routePath() + u"\\Scenarios.bin"_s;
}

QString ScenarioInstaller::workingCopy() const
{
    return m_context.programFolder + u"\\Scenarios.xml"_s;
}

InstallStep::Result ScenarioInstaller::stopWith(const QString& file, const QString& problem)
{
    m_context.ui.showMessage(u"The scenario could not be installed, because the file "_s +
                                 HostPath::display(file) + u" cannot be used:\r\n"_s + problem +
                                 u"\r\nThe route's scenario list has not been changed."_s,
                             Icon::Exclamation);
    return Result::EndInstall;
}

QList<InstallStep> ScenarioInstaller::steps()
{
    QList<InstallStep> steps;
    // All three markers are read and checked before anything in the game folder changes.
    steps.append({u"read the scenario markers"_s, [this] { return readMarkers(); }});
    steps.append({u"find the route folder"_s, [this] {
                      if (MyFile::DirExists(routePath()))
                          return Result::Next;
                      m_context.ui.showMessage(u"The Route Folder "_s + m_routeFolder +
                                                   u"\r\ndoes not exist, could not add "
                                                   u"scenarios."_s,
                                               Icon::Exclamation);
                      return Result::EndInstall;
                  }});
    steps.append({u"convert the scenario list to XML"_s, [this] { return convertToXml(); }});
    steps.append({u"edit the scenario list"_s, [this] { return editList(); }});
    // One step from writing the working copy to checking the converted list, so that the
    // install never ends with the route's list moved aside.
    steps.append({u"replace the scenario list"_s, [this] { return replaceList(); }});
    steps.append({u"check the required rolling stock"_s, [this] { return reportMissingStock(); }});
    steps.append({u"remove the work folder"_s, [this] {
                      FolderOperations(m_context.ui)
                          .DelAll(SerzConversion::workFolder(m_context.programFolder));
                      return Result::Next;
                  }});
    return steps;
}

InstallStep::Result ScenarioInstaller::readMarkers()
{
    UserInterface& ui = m_context.ui;
    ScenarioIds.clear();
    const QString keysPath = markerPath(u"Scenario.yyy"_s);
    const QString recordPath = markerPath(u"Scenario.zzz"_s);
    const QString stockPath = markerPath(u"Scenario.qqq"_s);
    for (const QString& path : {keysPath, recordPath, stockPath}) {
        // One that is there but cannot be read is told by the reader below, with the reason.
        if (!QFileInfo(HostPath::toHost(path)).isFile())
            return stopWith(path, u"It is missing from the package."_s);
    }

    QString keys;
    try {
        MyFile::ReadUniFile(ui, keysPath, keys);
    } catch (const FileError& error) {
        return stopWith(keysPath, error.description());
    }
    const QStringList items = FreeFormatReader::items(keys);
    m_routeFolder = items.value(0);
    const QString problem = routeFolderProblem(m_routeFolder);
    if (!problem.isEmpty())
        return stopWith(keysPath, problem);
    ScenarioIds = items.mid(1);
    ui.processEvents();

    m_record.clear();
    try {
        MyFile::ReadUniFile(ui, recordPath, m_record);
    } catch (const FileError& error) {
        return stopWith(recordPath, error.description());
    }
    if (m_record.trimmed().isEmpty())
        return stopWith(recordPath, u"It holds no scenario record."_s);
    ui.processEvents();

    QString stock;
    try {
        MyFile::ReadUniFile(ui, stockPath, stock);
    } catch (const FileError& error) {
        return stopWith(stockPath, error.description());
    }
    m_requiredStock = textLines(stock);
    ui.processEvents();
    return Result::Next;
}

InstallStep::Result ScenarioInstaller::convertToXml()
{
    // A working copy left by an earlier run would pass for this route's list.
    if (QFile::exists(HostPath::toHost(workingCopy()))) {
        try {
            FileOps::removeFile(workingCopy());
        } catch (const FileError& error) {
            return stopWith(workingCopy(),
                            u"It is left from an earlier install and cannot be removed: "_s +
                                error.description());
        }
    }
    SerzConversion::run(m_context.shell, m_context.ui,
                        SerzConversion::toXmlCommand(listPath(), workingCopy()),
                        m_context.programFolder);
    if (MyFile::FileExists(workingCopy()))
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
    QString list;
    try {
        MyFile::ReadUniFile(m_context.ui, workingCopy(), list);
    } catch (const FileError& error) {
        return stopWith(workingCopy(), error.description());
    }
    const auto edited = ScenarioListSplice::edit(list, ScenarioIds, m_record);
    if (!edited.ok())
        return stopWith(workingCopy(), edited.problem);
    m_newList = edited.text;
    return Result::Next;
}

InstallStep::Result ScenarioInstaller::replaceList()
{
    UserInterface& ui = m_context.ui;
    // A working copy that cannot be written would turn the old list back into itself and
    // the install would claim a scenario it never added.
    if (!MyFile::WriteUniFile(ui, workingCopy(), m_newList))
        return Result::EndInstall;

    const QString backup = backupName(routePath());
    // With every backup name taken no backup is made; the list still moves aside under a
    // passing name until the new one is there, so that a failed conversion can be undone.
    const QString aside = backup.isEmpty() ? passingName() : backup;
    try {
        FileOps::renameFile(listPath(), routePath() + u'\\' + aside);
    } catch (const FileError& error) {
        ui.showMessage(u"The scenario list "_s + HostPath::display(listPath()) +
                           u" could not be renamed to "_s + aside + u":\r\n"_s +
                           error.description() +
                           u"\r\nIt has been left as it was and the scenario has not been "
                           u"added to it."_s,
                       Icon::Exclamation);
        if (error.permissionDenied())
            throw;
        return Result::EndInstall;
    }
    ui.processEvents();

    SerzConversion::run(m_context.shell, ui,
                        SerzConversion::toBinCommand(workingCopy(), listPath()),
                        m_context.programFolder);
    bool converted = false;
    try {
        converted = MyFile::FileExists(listPath()) && FileOps::fileSize(listPath()) > 0;
    } catch (const FileError&) {
        converted = false;
    }
    if (!converted)
        return putBackAfterFailedConversion(aside, !backup.isEmpty());
    if (backup.isEmpty()) {
        try {
            FileOps::removeFile(routePath() + u'\\' + aside);
        } catch (const FileError& error) {
            ui.showMessage(u"The scenario has been added, but the earlier list could not be "
                           u"removed from "_s +
                               HostPath::display(routePath() + u'\\' + aside) + u":\r\n"_s +
                               error.description(),
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

InstallStep::Result ScenarioInstaller::putBackAfterFailedConversion(const QString& aside,
                                                                    bool isBackup)
{
    UserInterface& ui = m_context.ui;
    const QString failed = u"The new scenario list could not be converted into "_s +
                           HostPath::display(listPath()) + u".\r\n"_s;
    const QString from = isBackup ? u" from its backup "_s + aside : QString();
    try {
        if (QFile::exists(HostPath::toHost(listPath())))
            FileOps::removeFile(listPath());
        FileOps::renameFile(routePath() + u'\\' + aside, listPath());
        ui.showMessage(failed + u"The earlier list has been put back"_s + from +
                           u". The scenario has not been installed."_s,
                       Icon::Exclamation);
    } catch (const FileError& error) {
        ui.showMessage(failed + u"The earlier list could not be put back ("_s +
                           error.description() + u"). It is kept as "_s +
                           HostPath::display(routePath() + u'\\' + aside) +
                           u": rename it to Scenarios.bin to restore it."_s,
                       Icon::Exclamation);
    }
    return Result::EndInstall;
}

QString ScenarioInstaller::checkRequiredStock(const QStringList& requirementLines)
{
    UserInterface& ui = m_context.ui;
    MissingStockResolver resolver(m_context);
    const QString assets = m_context.state.GamePath + u"\\Assets\\"_s;
    QString missing;
    bool produced = false;
    for (const QString& line : requirementLines) {
        ui.processEvents();
        if (line.trimmed().isEmpty())
            continue;
        StockPath = RequirementLine::stockPath(line);
        // A path that would leave the Assets folder is neither looked at nor made.
        if (!PathGuard::isContainedRelative(StockPath)) {
            missing += StockPath + u"\r\n"_s;
            continue;
        }
        if (!MyFile::FileExists(assets + StockPath)) {
            resolver.ResolveMissingStock(assets + StockPath, produced, line);
            if (!produced)
                missing += StockPath + u"\r\n"_s;
        }
        produced = false;
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

} // namespace veltrane
