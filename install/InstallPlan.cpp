#include "InstallPlan.h"

#include "package/PackageFolder.h"

#include <QLocale>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

QString bytes(qint64 count)
{
    return QString::number(count) + u" bytes ("_s + QLocale::c().formattedDataSize(count) + u')';
}

QString record(const InstallPlan::Record& record)
{
    const QString name = record.name.isEmpty() ? u"(no English name)"_s : u'"' + record.name + u'"';
    return name + u" ("_s + (record.id.isEmpty() ? u"no id"_s : record.id) + u')';
}

QString record(const ScenarioListSplice::ForeignRecord& found)
{
    return record(InstallPlan::Record{found.name, found.id});
}

void fileLines(const InstallPlan& plan, QStringList& out)
{
    using State = InstallPlan::File::State;
    // By path, as a listing shows them; the plan keeps them in the order they are copied.
    QList<const InstallPlan::File*> files;
    for (const InstallPlan::File& file : plan.files)
        files.append(&file);
    std::sort(files.begin(), files.end(), [](const auto* a, const auto* b) {
        return a->path.compare(b->path, Qt::CaseInsensitive) < 0;
    });
    for (const InstallPlan::File* entry : std::as_const(files)) {
        const InstallPlan::File& file = *entry;
        switch (file.state) {
        case State::Add:
            out.append(u"add "_s + file.path);
            break;
        case State::Replace:
            out.append(u"replace "_s + file.path + u" (from "_s +
                       (file.owner.isEmpty() ? u"the game's own file"_s : file.owner) + u')');
            break;
        case State::Blocked:
            out.append(u"blocked "_s + file.path +
                       u" (the game has a folder of that name: the file is not copied)"_s);
            break;
        }
    }
    QStringList folders = plan.madeFolders;
    folders.sort(Qt::CaseInsensitive);
    for (const QString& folder : std::as_const(folders))
        out.append(u"make folder "_s + folder);
    for (const QString& problem : plan.copyProblems)
        out.append(u"cannot copy: "_s + problem);
    if (!plan.merge)
        out.append(u"(the package brings no \"Rail Simulator\" folder: no files are copied)"_s);
}

void routeLines(const InstallPlan::RouteList& route, QStringList& out)
{
    out.append(QString());
    out.append(u"Route list "_s + route.list + u':');
    if (route.backupOffered)
        out.append(u"ask to put the backup Routes.xml.bak back, as the list is missing"_s);
    out.append(u"ask to confirm the route "_s + record(route.route));
    using Change = InstallPlan::RouteList::Change;
    switch (route.change) {
    case Change::Add:
        out.append(u"add "_s + record(route.route));
        break;
    case Change::Replace:
        out.append(u"replace "_s + record(route.other) + u" with "_s + record(route.route));
        break;
    case Change::Ask:
        out.append(u"ask whether to replace "_s + record(route.other) +
                   u", whose record holds the route's id; No adds "_s + record(route.route));
        break;
    }
    out.append(u"keep the list as it was as Routes.xml.bak"_s);
}

void scenarioLines(const InstallPlan::ScenarioList& scenario, QStringList& out)
{
    out.append(QString());
    out.append(u"Scenario list of the route "_s + scenario.routeFolder + u", "_s + scenario.list +
               u':');
    if (scenario.backupOffered)
        out.append(u"ask to put the newest backup back, as the list is missing"_s);
    for (const auto& removed : scenario.removed)
        out.append(u"remove "_s + record(removed) + u", reached by the key \""_s + removed.key +
                   u'"');
    for (const auto& asked : scenario.asked)
        out.append(u"ask whether to remove "_s + record(asked) +
                   u", whose record holds the key \""_s + asked.key + u"\"; No keeps it"_s);
    out.append(u"add "_s + record(scenario.scenario));
    out.append(scenario.backup.isEmpty()
                   ? u"keep no backup of the list: Scenarios.bak to Scenarios.bak50 are taken"_s
                   : u"keep the list as it was as "_s + scenario.backup);
}

void stockLines(const QList<InstallPlan::Stock>& stock, QStringList& out)
{
    if (stock.isEmpty())
        return;
    out.append(QString());
    out.append(u"Required rolling stock:"_s);
    using State = InstallPlan::Stock::State;
    for (const InstallPlan::Stock& item : stock) {
        switch (item.state) {
        case State::Present:
            out.append(u"present "_s + item.path);
            break;
        case State::Made:
            out.append(u"make "_s + item.path + u" from "_s + item.base +
                       (item.crew ? u" (crew and load variant"_s : u" (number and lamp variant"_s) +
                       (item.asksFirst ? u", after a question)"_s : u")"_s));
            break;
        case State::Missing:
            out.append(u"missing "_s + item.path + u" (reported)"_s);
            break;
        }
    }
}

void batchLines(const InstallPlan& plan, QStringList& out)
{
    out.append(QString());
    if (!plan.batch) {
        out.append(u"Batch file: none"_s);
    } else {
        const InstallPlan::Batch& batch = *plan.batch;
        out.append(u"Batch file "_s + batch.path +
                   (batch.fromPackage ? u" (from the package):"_s
                                      : u" (left in the game by an earlier run):"_s));
        for (const QString& line : batch.lines)
            out.append(u"  "_s + line);
        using By = InstallPlan::Batch::By;
        switch (batch.by) {
        case By::Ours:
            out.append(u"run by Veltrane's own interpreter, then removed"_s);
            break;
        case By::WineAfterAsk:
            out.append(u"asks whether to run it in Wine's cmd, which can change any file of "
                       u"yours; No leaves it unrun. Then removed"_s);
            break;
        case By::Windows:
            out.append(u"run by cmd, then removed"_s);
            break;
        case By::Nobody:
            out.append(u"not run: "_s + batch.why + u"; then removed"_s);
            break;
        }
        for (const QString& refused : batch.refused)
            out.append(u"  "_s + QString(refused).replace(u'\n', u"\n  "_s));
    }
    out.append(u"Blueprint caches: every Blueprints.PAK below Assets is removed; the game "
               u"makes them again"_s);
}

void spaceLines(const InstallPlan::Space& space, QStringList& out)
{
    out.append(QString());
    QString line = u"Space: "_s + bytes(space.needed) + u" needed"_s;
    if (space.moved && space.needed == space.listBytes)
        line += u" (the unpacked files are moved into place)"_s;
    else if (space.moved)
        line += u" (the archive is unpacked on the game's disk, then moved into place)"_s;
    line += space.available < 0 ? u", free space unknown"_s
                                : u", "_s + bytes(space.available) + u" free"_s;
    if (!space.enough())
        line += u": NOT ENOUGH"_s;
    out.append(line);
}

} // namespace

QString InstallPlan::text() const
{
    QStringList out{u"Plan of the install of the "_s + PackageFolder::kindName(kind) +
                        u" package "_s + packageName + u" into "_s + game,
                    QString()};
    if (!stop.isEmpty()) {
        out.append(u"The install would stop before it changes anything: "_s + stop);
        out.append(QString());
    }
    fileLines(*this, out);
    if (route)
        routeLines(*route, out);
    if (scenario)
        scenarioLines(*scenario, out);
    stockLines(stock, out);
    if (stop.isEmpty())
        batchLines(*this, out);
    spaceLines(space, out);
    return out.join(u'\n') + u'\n';
}

QString InstallPlan::partText(Part part) const
{
    QStringList out;
    switch (part) {
    case Part::Lists:
        if (route)
            routeLines(*route, out);
        if (scenario)
            scenarioLines(*scenario, out);
        break;
    case Part::Stock:
        stockLines(stock, out);
        break;
    case Part::Batch:
        if (stop.isEmpty())
            batchLines(*this, out);
        break;
    case Part::Space:
        spaceLines(space, out);
        break;
    }
    return out.join(u'\n').trimmed();
}

} // namespace veltrane
