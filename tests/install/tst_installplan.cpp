// The plan of an install against the install itself: the plan changes nothing, and the files,
// list records, questions and rolling stock it names are what the install then does.
#include "FileFixture.h"
#include "InstallFixture.h"
#include "install/InstallPlanner.h"

#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;
using Outcome = InstallOperation::Outcome;
using State = InstallPlan::File::State;

namespace {

const QString kDemoRoute = u"Content/Routes/3f1c2a4e-7b6d-4c21-9a0e-5d8b7c6a1001/"_s;
const QString kEarlierPackage = u"Earlier Pack"_s;

PackageKind kindOf(const QString& demo)
{
    if (demo == u"route"_s)
        return PackageKind::Route;
    return demo == u"scenario"_s ? PackageKind::Scenario : PackageKind::Assets;
}

InstallRequest requestFor(const InstallFixture& f, PackageKind kind)
{
    InstallRequest request = InstallRequest::forFolder(HostPath::fromHost(f.package), kind);
    request.setGame(f.game);
    return request;
}

// Everything of a game and a package that a plan must leave as it was.
QStringList everything(const InstallFixture& f)
{
    QStringList all = entriesBelow(f.root);
    const QMap<QString, QByteArray> files = snapshot(f.root);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        all.append(it.key() + u'=' + QString::fromLatin1(it.value().toHex()));
    return all;
}

// The files that are new, changed or gone between two snapshots.
QStringList differing(const QMap<QString, QByteArray>& before,
                      const QMap<QString, QByteArray>& after)
{
    QSet<QString> names;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (before.value(it.key()) != it.value() || !before.contains(it.key()))
            names.insert(it.key());
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            names.insert(it.key());
    }
    QStringList sorted(names.cbegin(), names.cend());
    sorted.sort();
    return sorted;
}

// The questions asked that name both texts.
int questionsNaming(const ScriptedUserInterface& ui, const QString& a, const QString& b)
{
    int count = 0;
    for (const ScriptedUserInterface::Shown& shown : ui.shown)
        count += shown.question && shown.text.contains(a) && shown.text.contains(b);
    return count;
}

} // namespace

class TestInstallPlan : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void planIsWhatTheInstallDoes_data();
    void planIsWhatTheInstallDoes();
    void listRecordsAreThoseTheInstallAsksAboutAndEdits_data();
    void listRecordsAreThoseTheInstallAsksAboutAndEdits();
};

void TestInstallPlan::planIsWhatTheInstallDoes_data()
{
    QTest::addColumn<QString>("demo");
    // A file the game holds already, and whose it is ("" for the game's own).
    QTest::addColumn<QString>("held");
    QTest::addColumn<QString>("owner");
    // What the install changes besides the planned files and the variants it makes.
    QTest::addColumn<QStringList>("besides");
    QTest::addColumn<int>("variants");

    QTest::newRow("route, a file of the game's own replaced")
        << u"route"_s << u"Assets/DemoWorks/Riverside/Scenery/Signalbox.txt"_s << QString()
        << QStringList{u"Content/Routes.xml"_s, u"Content/Routes.xml.bak"_s} << 0;
    QTest::newRow("scenario, stock made and reported")
        << u"scenario"_s << QString() << QString()
        << QStringList{kDemoRoute + u"Scenarios.bak"_s, kDemoRoute + u"Scenarios.bin"_s} << 2;
    // The package's "ASSETS/kuju" lands in the game's "Assets/Kuju"; its batch file removes
    // a file of the game's and makes one.
    QTest::newRow("assets, a file of an earlier package's replaced, folders merged")
        << u"assets"_s << u"Assets/DemoWorks/Wagons/Tank/TankWagon.txt"_s << kEarlierPackage
        << QStringList{u"Assets/DemoWorks/Old/Obsolete.txt"_s,
                       u"Assets/DemoWorks/Wagons/Tank/Docs/ReadMe.txt"_s}
        << 0;
}

void TestInstallPlan::planIsWhatTheInstallDoes()
{
    QFETCH(QString, demo);
    QFETCH(QString, held);
    QFETCH(QString, owner);
    QFETCH(QStringList, besides);
    QFETCH(int, variants);
    InstallFixture f;
    f.layOutDemoGame();
    f.copyDemoPackage(demo);
    if (!held.isEmpty())
        f.gameFile(held, "held before");
    const QMap<QString, QByteArray> before = withoutCaches(f.gameSnapshot());
    const QStringList untouched = everything(f);

    QStringList asked;
    const InstallPlan plan =
        InstallPlanner::make(requestFor(f, kindOf(demo)), [&](const QString& path) {
            asked.append(path);
            return path == held ? owner : QString();
        });
    QCOMPARE(everything(f), untouched);
    QVERIFY2(plan.stop.isEmpty(), qPrintable(plan.stop));

    f.ui.answerYes(3);
    QCOMPARE(f.install(kindOf(demo)), Outcome::Completed);
    const QMap<QString, QByteArray> after = withoutCaches(f.gameSnapshot());

    // Each planned file arrives with the package's bytes (the batch file runs and goes), as
    // an addition where the game had none and a replacement where it had one.
    QStringList expected = besides;
    qint64 bytes = 0;
    for (const MergePlan::Entry& entry : plan.merge->entries()) {
        if (entry.kind != MergePlan::Entry::Kind::File)
            continue;
        bytes += readFile(entry.source.toString()).size();
        const auto file = std::find_if(plan.files.cbegin(), plan.files.cend(),
                                       [&](const auto& f) { return f.path == entry.relative; });
        QVERIFY(file != plan.files.cend());
        QCOMPARE(file->state, before.contains(entry.relative) ? State::Replace : State::Add);
        if (plan.batch && entry.relative == plan.batch->path) {
            QVERIFY(!after.contains(entry.relative));
            continue;
        }
        QCOMPARE(after.value(entry.relative), readFile(entry.source.toString()));
        expected.append(entry.relative);
    }
    // The room they take on the game's disk, which has some free.
    QCOMPARE(plan.space.fileBytes, bytes);
    QCOMPARE(plan.space.needed, bytes + plan.space.listBytes);
    QVERIFY(plan.space.enough() && plan.space.available > 0);
    // The owner was asked for each replaced file, and named where it was known.
    QStringList replaced;
    for (const InstallPlan::File& file : plan.files) {
        if (file.state == State::Replace)
            replaced.append(file.path);
        QCOMPARE(file.owner, file.path == held ? owner : QString());
    }
    QCOMPARE(asked, replaced);
    QCOMPARE(replaced, held.isEmpty() ? QStringList() : QStringList{held});
    QVERIFY(plan.text().contains(u"replace "_s + held + u" (from "_s +
                                 (owner.isEmpty() ? u"the game's own file"_s : owner) + u')') ||
            held.isEmpty());

    // The variants planned are made, and what it plans to report missing is reported.
    QStringList made;
    QString missing;
    for (const InstallPlan::Stock& item : plan.stock) {
        if (item.state == InstallPlan::Stock::State::Made)
            made.append(u"Assets/"_s + QString(item.path).replace(u'\\', u'/'));
        else if (item.state == InstallPlan::Stock::State::Missing)
            missing += item.path + u"\r\n"_s;
    }
    QCOMPARE(made.size(), variants);
    QCOMPARE(f.ui.reports.join(QString()).endsWith(missing), true);
    QCOMPARE(f.ui.reports.isEmpty(), missing.isEmpty());
    expected += made;
    expected.sort();
    QCOMPARE(differing(before, after), expected);
}

void TestInstallPlan::listRecordsAreThoseTheInstallAsksAboutAndEdits_data()
{
    QTest::addColumn<QStringList>("routes");     // ids of the game's route list
    QTest::addColumn<QString>("route");          // the package's route id; empty: a scenario
    QTest::addColumn<QByteArrayList>("records"); // ids of the route R1's scenario list
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QStringList>("gone");  // the records the plan says go (or are replaced)
    QTest::addColumn<QStringList>("asked"); // and asks about

    const QStringList routes{u"r1"_s, u"r2"_s};
    QTest::newRow("a new route") << routes << u"r9"_s << QByteArrayList() << QByteArray()
                                 << QStringList() << QStringList();
    QTest::newRow("the same route again")
        << QStringList{u"r1"_s, u"r9"_s} << u"r9"_s << QByteArrayList() << QByteArray()
        << QStringList{u"r9"_s} << QStringList();
    QTest::newRow("its id inside another route's")
        << QStringList{u"r1"_s, u"r90"_s} << u"r9"_s << QByteArrayList() << QByteArray()
        << QStringList() << QStringList{u"r90"_s};

    const QByteArrayList records{"OLD-A", "NEW-1", "OLD-B"};
    QTest::newRow("a new scenario") << routes << QString() << QByteArrayList{"OLD-A"}
                                    << QByteArray("R1,NEW-1") << QStringList() << QStringList();
    QTest::newRow("an earlier copy of the scenario")
        << routes << QString() << records << QByteArray("R1,NEW-1") << QStringList{u"NEW-1"_s}
        << QStringList();
    QTest::newRow("a key in other scenarios' records, then in its own")
        << routes << QString() << QByteArrayList{"OLD-A", "NEW-1", "OLD-B", "NEW-1-B"}
        << QByteArray("R1,NEW-1,OLD,NEW-1-B") << QStringList{u"NEW-1"_s, u"NEW-1-B"_s}
        << QStringList{u"OLD-A"_s};
}

void TestInstallPlan::listRecordsAreThoseTheInstallAsksAboutAndEdits()
{
    QFETCH(QStringList, routes);
    QFETCH(QString, route);
    QFETCH(QByteArrayList, records);
    QFETCH(QByteArray, keys);
    QFETCH(QStringList, gone);
    QFETCH(QStringList, asked);
    InstallFixture f;
    f.gameFile(u"Content/Routes.xml"_s, InstallFixture::routeList(routes));
    f.gameFile(u"Content/Routes/R1/Scenarios.bin"_s,
               serialised(InstallFixture::scenarioList(records)));
    const PackageKind kind = route.isEmpty() ? PackageKind::Scenario : PackageKind::Route;
    if (route.isEmpty()) {
        f.packageFile(u"Scenario.yyy"_s, keys);
        f.packageFile(u"Scenario.zzz"_s, InstallFixture::scenarioRecord("NEW-1"));
        f.packageFile(u"Scenario.qqq"_s, {});
    } else {
        f.packageFile(u"Veltrane.xxx"_s, InstallFixture::routeRecord(route, u"Route "_s + route));
    }
    const InstallPlan plan = InstallPlanner::make(requestFor(f, kind));
    QVERIFY2(plan.stop.isEmpty(), qPrintable(plan.stop));

    QStringList planGone;
    QStringList planAsked;
    QString added;
    if (plan.route) {
        using Change = InstallPlan::RouteList::Change;
        (plan.route->change == Change::Ask ? planAsked : planGone).append(plan.route->other.id);
        if (plan.route->change == Change::Add)
            planGone.clear();
        added = plan.route->route.id;
        QCOMPARE(plan.route->route.name, u"Route "_s + route);
    } else {
        for (const auto& record : plan.scenario->removed)
            planGone.append(record.id);
        for (const auto& record : plan.scenario->asked)
            planAsked.append(record.id);
        added = plan.scenario->scenario.id;
        QCOMPARE(plan.scenario->backup, u"Scenarios.bak"_s);
    }
    QCOMPARE(planGone, gone);
    QCOMPARE(planAsked, asked);
    QCOMPARE(added, route.isEmpty() ? u"NEW-1"_s : route);

    // Yes to confirm a route, No to every question about another's record: the records
    // planned to go are gone, those asked about stay, and each was asked about by name.
    if (!route.isEmpty())
        f.ui.answerYes();
    f.ui.answerNo(int(asked.size()));
    QCOMPARE(f.install(kind), Outcome::Completed);
    const QByteArray list = route.isEmpty()
                                ? deserialised(f.readGame(u"Content/Routes/R1/Scenarios.bin"_s))
                                : f.readGame(u"Content/Routes.xml"_s);
    const auto holds = [&](const QString& id) { return int(list.count(">" + id.toUtf8() + "<")); };
    QCOMPARE(holds(added), 1);
    for (const QString& id : gone) {
        if (id != added)
            QCOMPARE(holds(id), 0);
    }
    for (const QString& id : asked) {
        QCOMPARE(holds(id), 1);
        const QString name = route.isEmpty() ? u"Scenario "_s + id : u"Route "_s + id;
        QCOMPARE(questionsNaming(f.ui, name, id), 1);
    }
}

QTEST_GUILESS_MAIN(TestInstallPlan)
#include "tst_installplan.moc"
