#include "InstallPlanner.h"

#include "BatchFileRunner.h"
#include "RouteInstaller.h"
#include "ScenarioInstaller.h"
#include "batch/BatchInterpreter.h"
#include "journal/FileChanges.h"
#include "lists/RouteListSplice.h"
#include "lists/ScenarioRecordText.h"
#include "serz/BinaryDecoder.h"
#include "serz/XmlWriter.h"
#include "stock/MissingStockResolver.h"
#include "stock/RequirementLine.h"
#include "util/Expected.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"
#include "util/Windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

Expected<QString> readText(const HostPath& path)
{
    SilentUserInterface ui;
    QString text;
    try {
        readTextFile(ui, path, text);
    } catch (const FileError& error) {
        return error;
    }
    return text;
}

Expected<QByteArray> readBytes(const HostPath& path)
{
    QFile file(path.toString());
    if (!file.open(QIODevice::ReadOnly))
        return failure(file.errorString() + u" ("_s + path.display() + u')');
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return failure(file.errorString() + u" ("_s + path.display() + u')');
    return bytes;
}

QString unusable(const HostPath& file, const QString& problem)
{
    return u"the file "_s + file.display() + u" cannot be used: "_s + problem;
}

// The XML text of a serialised list as the install reads its working copy, made in memory
// by our own serialiser.
Expected<QString> serialisedAsText(const HostPath& path)
{
    const Expected<QByteArray> bytes = readBytes(path);
    if (!bytes)
        return bytes.failure();
    serz::DecodeError decodeError;
    const std::optional<serz::Document> document =
        serz::BinaryDecoder::decode(*bytes, &decodeError);
    if (!document)
        return failure(u"byte "_s + QString::number(decodeError.offset) + u": "_s +
                       decodeError.message);
    serz::WriteIssue issue;
    const std::optional<QByteArray> xml = serz::XmlWriter::write(*document, &issue);
    if (!xml)
        return failure(issue.message);
    return Windows1252::decode(*xml);
}

bool nameTaken(const HostPath& path)
{
    const QFileInfo entry(path.toString());
    return entry.exists() || entry.isSymLink();
}

InstallPlan::File::State stateOf(MergePlan::Existing existing)
{
    switch (existing) {
    case MergePlan::Existing::Nothing:
        return InstallPlan::File::State::Add;
    case MergePlan::Existing::Folder:
        return InstallPlan::File::State::Blocked;
    case MergePlan::Existing::File:
    case MergePlan::Existing::Other:
        break;
    }
    return InstallPlan::File::State::Replace;
}

InstallPlan::Batch::By byOf(BatchFileRunner::Run::By by)
{
    using By = BatchFileRunner::Run::By;
    switch (by) {
    case By::Ours:
        return InstallPlan::Batch::By::Ours;
    case By::Wine:
        return InstallPlan::Batch::By::WineAfterAsk;
    case By::Windows:
        return InstallPlan::Batch::By::Windows;
    case By::Nobody:
        break;
    }
    return InstallPlan::Batch::By::Nobody;
}

const QString kBatchName = u"RS-Install.bat"_s;

} // namespace

InstallPlanner::InstallPlanner(InstallRequest request, OwnerOf ownerOf)
    : m_request(std::move(request)), m_ownerOf(std::move(ownerOf))
{
}

InstallPlanner::OwnerOf InstallPlanner::ownersIn(ChangeJournal::OwnerLookup lookup)
{
    return [lookup = std::move(lookup)](const QString& relativePath) {
        const ChangeJournal::Owner owner = lookup(relativePath);
        return owner.id == 0 ? QString()
                             : owner.package + u", install "_s + QString::number(owner.id);
    };
}

InstallPlan InstallPlanner::make(const InstallRequest& request, const OwnerOf& ownerOf)
{
    return InstallPlanner(request, ownerOf).make();
}

InstallPlan InstallPlanner::make() const
{
    InstallPlan plan;
    plan.kind = m_request.kind;
    plan.packageName = m_request.packageName;
    plan.game = m_request.game.display();
    plan.package = m_request.package.display();
    planFiles(plan);
    if (m_request.kind == PackageKind::Route)
        planRoute(plan);
    else if (m_request.kind == PackageKind::Scenario)
        planScenario(plan);
    planBatch(plan);
    planSpace(plan);
    return plan;
}

void InstallPlanner::planFiles(InstallPlan& plan) const
{
    const HostPath source = m_request.package.mappedChild(u"Rail Simulator"_s);
    // As the copy step decides: a package may bring no files of its own.
    if (!QFileInfo(source.toString()).exists() && !QFileInfo(source.toString()).isSymLink())
        return;
    plan.merge = MergePlan::of(source, m_request.game);
    const MergePlan& merge = *plan.merge;
    if (merge.refusal())
        plan.copyProblems.append(merge.refusal()->description());
    // A folder the game has a file in the way of keeps what it holds out.
    std::vector<bool> blocked(std::size_t(merge.entries().size()), false);
    QSet<QString> made;
    using Kind = MergePlan::Entry::Kind;
    for (qsizetype i = 0; i < merge.entries().size(); ++i) {
        const MergePlan::Entry& entry = merge.entries()[i];
        const bool under = entry.parent >= 0 && blocked[std::size_t(entry.parent)];
        if (entry.kind == Kind::Failure) {
            if (!under)
                plan.copyProblems.append(entry.failure->description());
        } else if (entry.kind == Kind::Folder) {
            const bool inTheWay = entry.existing == MergePlan::Existing::File ||
                                  entry.existing == MergePlan::Existing::Other;
            blocked[std::size_t(i)] = under || inTheWay;
            if (!blocked[std::size_t(i)] && entry.existing == MergePlan::Existing::Nothing &&
                !made.contains(entry.relative)) {
                made.insert(entry.relative);
                plan.madeFolders.append(entry.relative);
            }
        } else if (entry.kind == Kind::File) {
            InstallPlan::File file{entry.relative, stateOf(entry.existing), {}, entry.size};
            if (under)
                file.state = InstallPlan::File::State::Blocked;
            if (file.state == InstallPlan::File::State::Replace && m_ownerOf)
                file.owner = m_ownerOf(entry.relative);
            plan.files.append(file);
        }
    }
}

void InstallPlanner::planRoute(InstallPlan& plan) const
{
    InstallPlan::RouteList route;
    const HostPath listPath = m_request.game.mapped(u"\\Content\\Routes.xml"_s);
    const HostPath backupPath = m_request.game.mapped(u"\\Content\\Routes.xml.bak"_s);
    const HostPath markerPath = m_request.package.mappedChild(u"Veltrane.xxx"_s);
    route.list = listPath.display();
    HostPath readFrom = listPath;
    if (!fileExists(listPath)) {
        if (!fileExists(backupPath)) {
            plan.stop = u"the file "_s + listPath.display() +
                        u" could not be found, please check your Content folder"_s;
            return;
        }
        // A Yes puts the backup back, and the install goes on with it as the list.
        route.backupOffered = true;
        readFrom = backupPath;
    }
    const Expected<QString> marker = readText(markerPath);
    if (!marker) {
        plan.stop = unusable(markerPath, marker.message());
        return;
    }
    const Expected<void> shape = RouteListSplice::checkMarker(*marker);
    const auto identifier = RouteListSplice::routeIdentifier(*marker);
    const auto name = RouteListSplice::routeName(*marker);
    for (const QString& problem : {shape.message(), identifier.message(), name.message()}) {
        if (!problem.isEmpty()) {
            plan.stop = unusable(markerPath, problem);
            return;
        }
    }
    route.route = {*name, *identifier};
    const Expected<QString> list = readText(readFrom);
    if (!list) {
        plan.stop = unusable(readFrom, list.message());
        return;
    }
    const auto edited = RouteListSplice::splice(*list, *marker, *identifier);
    if (!edited) {
        plan.stop = unusable(readFrom, edited.message());
        return;
    }
    if (const auto other = RouteInstaller::otherRouteHolding(*list, *identifier)) {
        route.change = InstallPlan::RouteList::Change::Ask;
        route.other = {other->name, other->identifier};
    } else if (const auto own = RouteListSplice::recordHolding(*list, *identifier)) {
        route.change = InstallPlan::RouteList::Change::Replace;
        route.other = {own->name, own->identifier};
    }
    plan.space.listBytes += edited->size();
    plan.route = route;
}

void InstallPlanner::planScenario(InstallPlan& plan) const
{
    SilentUserInterface ui;
    const ScenarioInstaller::Markers markers =
        ScenarioInstaller::readMarkers(m_request.package, ui);
    if (!markers.problem.isEmpty()) {
        plan.stop = unusable(markers.problemFile, markers.problem);
        return;
    }
    InstallPlan::ScenarioList scenario;
    scenario.routeFolder = markers.routeFolder;
    scenario.scenario = {ScenarioRecordText::englishName(markers.record),
                         ScenarioRecordText::id(markers.record)};
    const HostPath routePath =
        m_request.game.mapped(u"\\Content\\Routes\\"_s + markers.routeFolder);
    if (!folderExists(routePath)) {
        plan.stop = u"the route folder "_s + markers.routeFolder +
                    u" does not exist, could not add scenarios"_s;
        return;
    }
    const HostPath listPath = routePath.mappedChild(u"Scenarios.bin"_s);
    scenario.list = listPath.display();
    HostPath readFrom = listPath;
    if (!nameTaken(listPath)) {
        if (const QString newest = ScenarioInstaller::newestBackup(routePath); !newest.isEmpty()) {
            scenario.backupOffered = true;
            readFrom = routePath.mappedChild(newest);
        }
    }
    if (!fileExists(readFrom)) {
        plan.stop = u"the route "_s + markers.routeFolder + u" has no scenario list "_s +
                    listPath.display();
        return;
    }
    const Expected<QString> list = serialisedAsText(readFrom);
    if (!list) {
        plan.stop = u"the route's scenario list "_s + readFrom.display() +
                    u" could not be turned into XML: "_s + list.message();
        return;
    }
    const auto edited = ScenarioListSplice::edit(*list, markers.keys, markers.record,
                                                 ScenarioListSplice::Removable());
    if (!edited.ok()) {
        plan.stop = unusable(readFrom, edited.problem);
        return;
    }
    scenario.removed = edited.removed;
    scenario.asked = edited.kept;
    scenario.backup = ScenarioInstaller::backupName(routePath);
    // About the serialised list's own size and the record's: the serialiser writes it anew.
    plan.space.listBytes += QFileInfo(readFrom.toString()).size() + markers.record.toUtf8().size();
    plan.scenario = scenario;
    planStock(plan, markers.requiredStock);
}

void InstallPlanner::planStock(InstallPlan& plan, const QStringList& requirementLines) const
{
    // The game folder as the install gives it to the resolver: as the user wrote it.
    const QString assets = m_request.gameText + u"\\Assets\\"_s;
    // What an earlier line had made is there for the later ones.
    QSet<QString> made;
    const auto there = [&](const QString& path) {
        return made.contains(path.toCaseFolded()) || fileExists(HostPath::fromProgramPath(path));
    };
    bool consent = m_stockConsent;
    using State = InstallPlan::Stock::State;
    for (const QString& line : requirementLines) {
        if (line.trimmed().isEmpty())
            continue;
        InstallPlan::Stock item;
        item.path = RequirementLine::stockPath(line);
        const QString relative = ScenarioInstaller::assetsRelative(item.path);
        const QString required = assets + relative;
        if (relative.isEmpty()) {
            item.state = State::Missing;
        } else if (there(required)) {
            item.state = State::Present;
        } else if (const auto variant =
                       MissingStockResolver::variantOf(m_request.gameText, required);
                   variant && there(variant->basePath)) {
            item.state = State::Made;
            item.base = variant->basePath.mid(assets.size());
            item.crew = variant->crew;
            item.asksFirst = !consent;
            consent = true;
            made.insert(required.toCaseFolded());
        }
        plan.stock.append(item);
    }
}

void InstallPlanner::planBatch(InstallPlan& plan) const
{
    if (!plan.stop.isEmpty())
        return;
    const HostPath& game = m_request.game;
    InstallPlan::Batch batch;
    HostPath readFrom;
    if (plan.merge) {
        for (const MergePlan::Entry& entry : plan.merge->entries()) {
            if (entry.kind == MergePlan::Entry::Kind::File && entry.parent < 0 &&
                entry.relative.compare(kBatchName, Qt::CaseInsensitive) == 0) {
                readFrom = entry.source;
                batch.path = entry.relative;
            }
        }
    }
    if (readFrom.isEmpty()) {
        // The install runs whatever file of that name lies at the game's top.
        const QString left = game.matchEntry(kBatchName);
        if (left.isEmpty() || !fileExists(game.child(left)))
            return;
        readFrom = game.child(left);
        batch.path = left;
        batch.fromPackage = false;
    }
    const Expected<QByteArray> bytes = readBytes(readFrom);
    if (!bytes) {
        batch.by = InstallPlan::Batch::By::Nobody;
        batch.why = u"it could not be read"_s;
        plan.batch = batch;
        return;
    }
    SilentUserInterface ui;
    FileChanges none;
    const HostPath there = game.child(batch.path);
    const BatchInterpreter::Script script =
        BatchInterpreter(ui, none, {game, m_request.package})
            .scriptOf(*bytes, there.toString(), game.toString());
    for (const BatchLine& line : script.lines)
        batch.lines.append(line.text);
    for (const BatchInterpreter::Refusal& refusal : script.refused)
        batch.refused.append(refusal.text);
    const BatchFileRunner::Choice choice = BatchFileRunner::choose(script, there, game);
    batch.by = byOf(choice.by);
    batch.why = choice.whyNot;
    plan.batch = batch;
}

void InstallPlanner::planSpace(InstallPlan& plan) const
{
    InstallPlan::Space& space = plan.space;
    for (const InstallPlan::File& file : std::as_const(plan.files)) {
        if (file.state != InstallPlan::File::State::Blocked)
            space.fileBytes += file.size;
    }
    const QStorageInfo game(m_request.game.toString());
    const QStorageInfo package(m_request.package.toString());
    const bool sameDisk = game.isValid() && package.isValid() &&
                          game.rootPath() == package.rootPath() &&
                          game.device() == package.device();
    // Renamed within one file system, a file takes no new room, once it was unpacked there.
    space.moved = m_request.packageMovable && (m_unpackedByTheInstall || sameDisk);
    const bool roomTaken = space.moved && !m_unpackedByTheInstall;
    space.needed = space.listBytes + (roomTaken ? 0 : space.fileBytes);
    if (game.isValid() && game.isReady())
        space.available = game.bytesAvailable();
}

} // namespace veltrane
