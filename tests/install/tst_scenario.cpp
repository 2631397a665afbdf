// Scenario packages installed end to end with the stand-in serialiser on a temporary game
// and package folder.
#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "InstallFixture.h"
#include "install/ScenarioInstaller.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;
using Outcome = InstallOperation::Outcome;
using Icon = UserInterface::Icon;

namespace {

const QString kRoute = u"Content/Routes/R1/"_s;
const QString kHeading =
    u"The following items required by this scenario are not installed on your PC:-\r\n\r\n"_s;

QByteArray record(const QByteArray& id)
{
    return InstallFixture::scenarioRecord(id);
}

QByteArray scenarioList(const QList<QByteArray>& ids)
{
    return InstallFixture::scenarioList(ids);
}

// A coach base blueprint whose children a crew variant can remove.
QByteArray coachBlueprint()
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<cBlueprintLoader>\r\n"
                     "\t<Blueprint>\r\n\t\t<cWagonBlueprint>\r\n"
                     "\t\t\t<Name d:type=\"cDeltaString\">Coach</Name>\r\n"
                     "\t\t\t<DisplayName>\r\n\t\t\t\t<English d:type=\"cDeltaString\">Coach"
                     "</English>\r\n\t\t\t</DisplayName>\r\n\t\t\t<Children>\r\n";
    for (const char* child : {"Driver1", "Passenger1"}) {
        xml += "\t\t\t\t<cEntityContainerBlueprint-sChild>\r\n\t\t\t\t\t<ChildName "
               "d:type=\"cDeltaString\">" +
               QByteArray(child) +
               "</ChildName>\r\n\t\t\t\t</cEntityContainerBlueprint-sChild>\r\n";
    }
    return xml + "\t\t\t</Children>\r\n\t\t</cWagonBlueprint>\r\n\t</Blueprint>\r\n"
                 "</cBlueprintLoader>\r\n";
}

class ScenarioFixture : public InstallFixture {
public:
    ScenarioFixture(const QByteArray& keys = "R1,\"NEW-1\"\r\n", const QByteArray& stock = {})
    {
        gameFile(kRoute + u"Scenarios.bin"_s, serialised(scenarioList({"OLD-A", "OLD-B"})));
        packageFile(u"Scenario.yyy"_s, keys);
        packageFile(u"Scenario.zzz"_s, record("NEW-1"));
        packageFile(u"Scenario.qqq"_s, stock);
    }

    // The route's list as the serialiser shows it.
    QByteArray list() const { return deserialised(readGame(kRoute + u"Scenarios.bin"_s)); }
    // The edited text the list was made from, as the install wrote it.
    QByteArray workingCopy() const { return readFile(package + u"/Scenarios.xml"_s); }
    int count(const QByteArray& id) const { return int(list().count(">" + id + "<")); }
};

} // namespace

class TestScenario : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void installsTheRecordAtTheEndOfTheList();
    void sameScenarioTwiceHoldsItOnce();
    void routeWithoutScenariosTakesItsFirst();
    void keysThatFindNothingRemoveNothing_data();
    void keysThatFindNothingRemoveNothing();
    void keysInAnotherScenarioAskFirst_data();
    void keysInAnotherScenarioAskFirst();
    void missingRouteFolderStops();
    void listNotTurnedIntoXmlStopsWithItsCause_data();
    void listNotTurnedIntoXmlStopsWithItsCause();
    void unsafeRouteFolderIsRefused_data();
    void unsafeRouteFolderIsRefused();
    void damagedInputChangesNothing_data();
    void damagedInputChangesNothing();
    void unreadableMarkerIsNamedWithItsReason();
    void backupsAreNumbered();
    void unreadableBackupIsNotReplaced();
    void failedConversionBackLeavesTheList_data();
    void failedConversionBackLeavesTheList();
    void requiredStockIsCheckedMadeAndReported();
    void nothingMissingShowsNoReport();
    void pathsAreReadAsWindowsReadsThem_data();
    void pathsAreReadAsWindowsReadsThem();
    void packageLinksLeadNowhereOutside();
    void missingListWithItsBackupIsOfferedBack();
};

void TestScenario::installsTheRecordAtTheEndOfTheList()
{
    ScenarioFixture f;
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QCOMPARE(f.ui.texts(), QStringList{kInstalled});
    QCOMPARE(f.list(), canonicalXml(scenarioList({"OLD-A", "OLD-B", "NEW-1"})));
    QCOMPARE(f.readGame(kRoute + u"Scenarios.bak"_s), serialised(scenarioList({"OLD-A", "OLD-B"})));
    QVERIFY2(QFile::exists(f.package + u"/Scenarios.xml"_s), "the working copy stays");
}

void TestScenario::sameScenarioTwiceHoldsItOnce()
{
    ScenarioFixture f;
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QCOMPARE(f.count("NEW-1"), 1);
    QCOMPARE(f.count("OLD-A"), 1);
    QVERIFY(f.gameHas(kRoute + u"Scenarios.bak1"_s));
    QCOMPARE(deserialised(f.readGame(kRoute + u"Scenarios.bak1"_s)),
             canonicalXml(scenarioList({"OLD-A", "OLD-B", "NEW-1"})));
    // The removed record leaves its indentation and line end; the new one ends the list.
    QVERIFY(
        f.workingCopy().endsWith(record("NEW-1") + "\t\t\r\n\t</Record>\r\n</cScenarioList>\r\n"));
}

void TestScenario::routeWithoutScenariosTakesItsFirst()
{
    ScenarioFixture f;
    const QByteArray empty = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                             "<cScenarioList d:id=\"1\">\r\n\t<Record/>\r\n</cScenarioList>\r\n";
    f.gameFile(kRoute + u"Scenarios.bin"_s, serialised(empty));
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QCOMPARE(f.ui.texts(), QStringList{kInstalled});
    QCOMPARE(f.list(), canonicalXml(scenarioList({"NEW-1"})));
    QCOMPARE(f.readGame(kRoute + u"Scenarios.bak"_s), serialised(empty));
}

void TestScenario::keysThatFindNothingRemoveNothing_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::newRow("route folder only") << QByteArray("R1\r\n");
    QTest::newRow("key found nowhere") << QByteArray("R1,NOWHERE\r\n");
    QTest::newRow("empty key") << QByteArray("R1,\"\",\r\n");
}

void TestScenario::keysThatFindNothingRemoveNothing()
{
    QFETCH(QByteArray, keys);
    ScenarioFixture f(keys);
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QCOMPARE(f.list(), canonicalXml(scenarioList({"OLD-A", "OLD-B", "NEW-1"})));
}

void TestScenario::keysInAnotherScenarioAskFirst_data()
{
    QTest::addColumn<QList<QByteArray>>("before"); // the route's list
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QList<bool>>("answers"); // in the order asked
    QTest::addColumn<QStringList>("asked");   // "id by key", in the order asked
    QTest::addColumn<QList<QByteArray>>("left");
    const QList<QByteArray> old{"OLD-A", "OLD-B"};
    QTest::newRow("a tag every record has, No")
        << old << QByteArray("R1,DisplayName\r\n") << QList<bool>{false}
        << QStringList{u"OLD-A by DisplayName"_s} << QList<QByteArray>{"OLD-A", "OLD-B", "NEW-1"};
    QTest::newRow("another scenario's name, Yes")
        << old << QByteArray("R1,\"Scenario OLD-B\"\r\n") << QList<bool>{true}
        << QStringList{u"OLD-B by Scenario OLD-B"_s} << QList<QByteArray>{"OLD-A", "NEW-1"};
    QTest::newRow("the beginning of another id, No")
        << old << QByteArray("R1,OLD\r\n") << QList<bool>{false} << QStringList{u"OLD-A by OLD"_s}
        << QList<QByteArray>{"OLD-A", "OLD-B", "NEW-1"};
    QTest::newRow("own id in another case, no question")
        << old << QByteArray("R1,old-b\r\n") << QList<bool>{} << QStringList{}
        << QList<QByteArray>{"OLD-A", "NEW-1"};
    QTest::newRow("a name that leads to a record another key owns, no question")
        << old << QByteArray("R1,Scenario OLD-A,OLD-A\r\n") << QList<bool>{} << QStringList{}
        << QList<QByteArray>{"OLD-B", "NEW-1"};
    QTest::newRow("after a Yes the key reaches the next record")
        << old << QByteArray("R1,English,English\r\n") << QList<bool>{true, false}
        << QStringList{u"OLD-A by English"_s, u"OLD-B by English"_s}
        << QList<QByteArray>{"OLD-B", "NEW-1"};
    // The package's earlier copy stands behind a scenario whose id begins with the key.
    QTest::newRow("the beginning of another id, No, then the earlier copy")
        << QList<QByteArray>{"NEW-10", "NEW-1"} << QByteArray("R1,NEW-1\r\n") << QList<bool>{false}
        << QStringList{u"NEW-10 by NEW-1"_s} << QList<QByteArray>{"NEW-10", "NEW-1"};
    QTest::newRow("a kept record is asked about once")
        << old << QByteArray("R1,English,DisplayName\r\n") << QList<bool>{false}
        << QStringList{u"OLD-A by English"_s} << QList<QByteArray>{"OLD-A", "OLD-B", "NEW-1"};
}

void TestScenario::keysInAnotherScenarioAskFirst()
{
    QFETCH(QList<QByteArray>, before);
    QFETCH(QByteArray, keys);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, asked);
    QFETCH(QList<QByteArray>, left);
    ScenarioFixture f(keys);
    f.gameFile(kRoute + u"Scenarios.bin"_s, serialised(scenarioList(before)));
    for (const bool yes : answers)
        f.ui.answer(yes);
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QStringList questions;
    for (const auto& shown : f.ui.shown) {
        if (shown.question)
            questions.append(shown.text);
    }
    QStringList expected;
    for (const QString& question : asked) {
        const QString id = question.section(u" by "_s, 0, 0);
        const QString key = question.section(u" by "_s, 1);
        expected.append(u"The route's scenario list holds the scenario \"Scenario "_s + id +
                        u"\" ("_s + id +
                        u"), whose record contains this package's scenario key \""_s + key +
                        u"\".\r\nRemove that scenario?\r\nNo keeps it and adds this package's "
                        u"scenario beside it."_s);
    }
    QCOMPARE(questions, expected);
    QCOMPARE(f.list(), canonicalXml(scenarioList(left)));
    QCOMPARE(f.ui.texts().last(), kInstalled);
}

void TestScenario::missingRouteFolderStops()
{
    ScenarioFixture f("Elsewhere,NEW-1\r\n");
    f.packageFile(u"Rail Simulator/Assets/x.bin"_s, "x");
    const auto before = f.gameSnapshot();
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Ended);
    QCOMPARE(
        f.ui.texts(),
        QStringList{u"The Route Folder Elsewhere\r\ndoes not exist, could not add scenarios."_s});
    QCOMPARE(f.ui.shown.first().icon, Icon::Exclamation);
    QCOMPARE(f.gameSnapshot(), before);
}

void TestScenario::listNotTurnedIntoXmlStopsWithItsCause_data()
{
    QTest::addColumn<QByteArray>("failure"); // "no list", "no serialiser", "damaged list", or
                                             // a mode of the stand-in serialiser
    QTest::addColumn<QString>("said");
    QTest::newRow("no list") << QByteArray("no list") << u"has no scenario list"_s;
    QTest::newRow("no serialiser") << QByteArray("no serialiser") << u"Serz.exe is not available"_s;
    QTest::newRow("damaged list") << QByteArray("damaged list") << u"exit code 1"_s;
    QTest::newRow("serialiser crashes") << QByteArray("xml:crash") << u"it crashed"_s;
    QTest::newRow("serialiser fails") << QByteArray("xml:garbage") << u"something went wrong"_s;
}

void TestScenario::listNotTurnedIntoXmlStopsWithItsCause()
{
    QFETCH(QByteArray, failure);
    QFETCH(QString, said);
    ScenarioFixture f;
    const QString list = f.game + u"/"_s + kRoute + u"Scenarios.bin"_s;
    EnvironmentGuard environment;
    if (failure == "no list")
        QVERIFY(QFile::remove(list));
    else if (failure == "damaged list")
        writeFile(list, "SERZ\0\0\1\0 cut short");
    else if (failure == "no serialiser")
        environment.set("PATH", "/nonexistent");
    else
        environment.set("VELTRANE_SUBSTITUTE_FAIL", failure);
    // Another route's list from an earlier run must not pass for this route's.
    f.packageFile(u"Scenarios.xml"_s, scenarioList({"OTHER-ROUTE"}));
    const auto before = f.gameSnapshot();
    const Outcome outcome = f.install(PackageKind::Scenario);
    environment.restore();
    QCOMPARE(outcome, Outcome::Ended);
    QCOMPARE(f.ui.shown.size(), 1);
    QCOMPARE(f.ui.shown.first().icon, Icon::Critical);
    QVERIFY2(f.ui.shown.first().text.contains(said), qPrintable(f.ui.shown.first().text));
    QCOMPARE(f.gameSnapshot(), before);
}

void TestScenario::unsafeRouteFolderIsRefused_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::newRow("parent") << QByteArray("..,NEW-1\r\n");
    QTest::newRow("path") << QByteArray("\"R1\\..\\..\\..\",NEW-1\r\n");
    QTest::newRow("absolute") << QByteArray("\"C:\\Games\",NEW-1\r\n");
    QTest::newRow("quote") << QByteArray("R\"1,NEW-1\r\n");
    QTest::newRow("empty") << QByteArray("\r\n");
    QTest::newRow("empty file") << QByteArray();
}

void TestScenario::unsafeRouteFolderIsRefused()
{
    QFETCH(QByteArray, keys);
    ScenarioFixture f(keys);
    f.gameFile(u"Content/Scenarios.bin"_s, serialised(scenarioList({"OUTSIDE"})));
    const auto before = f.gameSnapshot();
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Ended);
    QCOMPARE(f.ui.shown.size(), 1);
    QVERIFY2(f.ui.shown.first().text.contains(u"Scenario.yyy"_s), qPrintable(f.ui.texts()[0]));
    QCOMPARE(f.gameSnapshot(), before);
}

void TestScenario::damagedInputChangesNothing_data()
{
    QTest::addColumn<QString>("file"); // in the package
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("named");
    QTest::newRow("no closing Record")
        << u"Scenarios.bin"_s << serialised("<cScenarioList>\r\n</cScenarioList>\r\n")
        << u"Scenarios.xml"_s;
    QTest::newRow("key outside every record")
        << u"Scenario.yyy"_s << QByteArray("R1,cScenarioList\r\n") << u"Scenarios.xml"_s;
    QTest::newRow("no keys file") << u"Scenario.yyy"_s << QByteArray() << u"Scenario.yyy"_s;
    QTest::newRow("no stock list") << u"Scenario.qqq"_s << QByteArray() << u"Scenario.qqq"_s;
    QTest::newRow("empty record") << u"Scenario.zzz"_s << QByteArray("\r\n") << u"Scenario.zzz"_s;
}

void TestScenario::damagedInputChangesNothing()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, named);
    ScenarioFixture f;
    if (file == u"Scenarios.bin"_s)
        f.gameFile(kRoute + file, bytes);
    else if (bytes.isEmpty() && file != u"Scenario.zzz"_s)
        QVERIFY(QFile::remove(f.package + u'/' + file));
    else
        f.packageFile(file, bytes);
    const auto before = f.gameSnapshot();
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Ended);
    QCOMPARE(f.ui.shown.size(), 1);
    QVERIFY2(f.ui.shown.first().text.contains(named), qPrintable(f.ui.texts()[0]));
    QVERIFY(f.ui.shown.first().text.contains(u"has not been changed"_s));
    QCOMPARE(f.gameSnapshot(), before);
}

void TestScenario::unreadableMarkerIsNamedWithItsReason()
{
    ScenarioFixture f;
    QVERIFY(QFile::setPermissions(f.package + u"/Scenario.qqq"_s, QFileDevice::WriteOwner));
    UnprivilegedScope unprivileged(f.root);
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));
    const auto before = f.gameSnapshot();
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Ended);
    QCOMPARE(f.ui.shown.size(), 1);
    const QString text = f.ui.shown.first().text;
    QVERIFY2(text.contains(u"Scenario.qqq"_s) && !text.contains(u"missing"_s), qPrintable(text));
    QCOMPARE(f.gameSnapshot(), before);
}

void TestScenario::backupsAreNumbered()
{
    ScenarioFixture f;
    f.gameFile(kRoute + u"Scenarios.bak"_s, "0");
    f.gameFile(kRoute + u"Scenarios.bak2"_s, "2");
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QVERIFY2(f.gameHas(kRoute + u"Scenarios.bak1"_s), "the first free number");
    QCOMPARE(f.readGame(kRoute + u"Scenarios.bak2"_s), QByteArray("2"));

    for (int n = 1; n <= 50; ++n)
        f.gameFile(kRoute + u"Scenarios.bak"_s + QString::number(n), QByteArray::number(n));
    const auto backups = f.gameSnapshot();
    f.packageFile(u"Scenario.zzz"_s, record("NEW-2"));
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QCOMPARE(f.count("NEW-2"), 1);
    const auto after = f.gameSnapshot();
    for (auto it = backups.begin(); it != backups.end(); ++it) {
        if (it.key().contains(u"Scenarios.bak"_s))
            QCOMPARE(after.value(it.key()), it.value());
    }
    QVERIFY(!f.gameHas(kRoute + u"Scenarios.bak51"_s));
    // The list lay aside under a passing name only until the new one was written.
    QCOMPARE(after.size(), backups.size());
}

void TestScenario::unreadableBackupIsNotReplaced()
{
    ScenarioFixture f;
    f.gameFile(kRoute + u"Scenarios.bak"_s, "kept");
    QVERIFY(QFile::setPermissions(f.game + u'/' + kRoute + u"Scenarios.bak"_s,
                                  QFileDevice::WriteOwner));
    UnprivilegedScope unprivileged(f.root);
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QCOMPARE(f.readGame(kRoute + u"Scenarios.bak1"_s),
             serialised(scenarioList({"OLD-A", "OLD-B"})));
    QVERIFY(QFile::setPermissions(f.game + u'/' + kRoute + u"Scenarios.bak"_s,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(f.readGame(kRoute + u"Scenarios.bak"_s), QByteArray("kept"));
}

void TestScenario::failedConversionBackLeavesTheList_data()
{
    QTest::addColumn<QByteArray>("failure");
    QTest::addColumn<bool>("allBackupsTaken");
    QTest::addColumn<QString>("said");
    QTest::newRow("empty output") << QByteArray("bin:empty") << false << u"exit code 1"_s;
    QTest::newRow("no output") << QByteArray("bin:none") << false << u"exit code 1"_s;
    QTest::newRow("garbage and failure")
        << QByteArray("bin:garbage") << false << u"something went wrong"_s;
    QTest::newRow("garbage and success")
        << QByteArray("bin:garbage0") << false << u"does not read back"_s;
    QTest::newRow("half the output") << QByteArray("bin:half") << false << u"crashed"_s;
    QTest::newRow("crash, no backup name free") << QByteArray("bin:crash") << true << u"crashed"_s;
    QTest::newRow("hang, window closed") << QByteArray("bin:hang") << false << u"closed"_s;
}

void TestScenario::failedConversionBackLeavesTheList()
{
    QFETCH(QByteArray, failure);
    QFETCH(bool, allBackupsTaken);
    QFETCH(QString, said);
    ScenarioFixture f;
    if (allBackupsTaken) {
        f.gameFile(kRoute + u"Scenarios.bak"_s, "0");
        for (int n = 1; n <= 50; ++n)
            f.gameFile(kRoute + u"Scenarios.bak"_s + QString::number(n), "n");
    }
    if (failure.endsWith("hang")) {
        // The user closes the window while the serialiser hangs: it is ended.
        f.ui.onProcessEvents = [&f] {
            if (QFileInfo::exists(f.package + u"/Scenarios.xml"_s) && f.ui.eventPumps > 20)
                f.ui.requestClose();
        };
    }
    const auto before = f.gameSnapshot();
    EnvironmentGuard environment;
    environment.set("VELTRANE_SUBSTITUTE_FAIL", failure);
    const Outcome outcome = f.install(PackageKind::Scenario);
    environment.restore();
    QCOMPARE(outcome, Outcome::Ended);
    QCOMPARE(f.gameSnapshot(), before);
    QCOMPARE(f.ui.shown.size(), 1);
    const QString text = f.ui.shown.first().text;
    QVERIFY2(text.contains(u"could not be converted"_s) && text.contains(said) &&
                 text.contains(u"left as it was"_s),
             qPrintable(text));
}

void TestScenario::requiredStockIsCheckedMadeAndReported()
{
    const QByteArray stock = "Kuju\\Stock\\Present.XML,0,0,,,,,,,,,\r\n"
                             "Kuju\\Stock\\Coach_DO.xml,0,0,,,,,,,,,\r\n"
                             "Kuju\\Stock\\Absent.xml,0,0,,,,,,,,,\r\n"
                             "..\\..\\Content\\Routes.xml\r\n"
                             "\\..\\..\\Content\\Routes.xml\r\n"
                             "\r\n"
                             "Kuju\\Stock\\NoComma.xml\r\n";
    ScenarioFixture f("R1,NEW-1\r\n", stock);
    f.gameFile(u"Assets/Kuju/Stock/Present.bin"_s, "x");
    f.gameFile(u"Assets/Kuju/Stock/Coach.bin"_s, serialised(coachBlueprint()));
    f.gameFile(u"Content/Routes.bin"_s, "outside the Assets folder");
    f.ui.answerYes();
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);

    QVERIFY2(f.state.ProduceConsent, "the consent question was asked and answered");
    const QByteArray variant = deserialised(f.readGame(u"Assets/Kuju/Stock/Coach_DO.bin"_s));
    QVERIFY2(variant.contains("Driver1") && !variant.contains("Passenger1"), variant.constData());
    QCOMPARE(f.ui.reports.size(), 1);
    QCOMPARE(f.ui.reports.first(), kHeading + u"Kuju\\Stock\\Absent.bin\r\n"
                                              u"..\\..\\Content\\Routes.bin\r\n"
                                              u"\\..\\..\\Content\\Routes.bin\r\n"
                                              u"Kuju\\Stock\\NoComma.bin\r\n"_s);
    QCOMPARE(f.ui.texts().last(), kInstalled);
    QVERIFY(!QFile::exists(f.package + u"/Tempfiles"_s));
}

void TestScenario::nothingMissingShowsNoReport()
{
    ScenarioFixture f("R1\r\n", "Kuju\\Stock\\Present.xml,0,0,,,,,,,,,\r\n");
    f.gameFile(u"Assets/kuju/STOCK/present.BIN"_s, "x");
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QVERIFY(f.ui.reports.isEmpty());
    QCOMPARE(f.ui.texts(), QStringList{kInstalled});
}

void TestScenario::pathsAreReadAsWindowsReadsThem_data()
{
    // Windows reads a run of "\" as one: after the route folder's name, inside a required
    // path, and where the required path is joined to "<game>\Assets\".
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QByteArray>("stock");
    QTest::newRow("route folder with one trailing separator, doubled one inside a path")
        << QByteArray("R1\\,NEW-1\r\n")
        << QByteArray("Kuju\\\\Stock\\Present.xml,0,0,,,,,,,,,\r\n");
    QTest::newRow("route folder with two trailing separators, path with a leading one")
        << QByteArray("\"R1\\\\\",NEW-1\r\n")
        << QByteArray("\\Kuju\\Stock\\Present.xml,0,0,,,,,,,,,\r\n");
    QTest::newRow("route folder with three trailing separators, path with two leading ones")
        << QByteArray("R1\\\\\\,NEW-1\r\n")
        << QByteArray("\\\\Kuju\\Stock\\Present.XML,0,0,,,,,,,,,\r\n");
}

void TestScenario::pathsAreReadAsWindowsReadsThem()
{
    QFETCH(QByteArray, keys);
    QFETCH(QByteArray, stock);
    ScenarioFixture f(keys, stock);
    f.gameFile(u"Assets/Kuju/Stock/Present.bin"_s, "x");
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QVERIFY(f.ui.reports.isEmpty());
    QCOMPARE(f.count("NEW-1"), 1);
}

void TestScenario::packageLinksLeadNowhereOutside()
{
#ifdef Q_OS_UNIX
    ScenarioFixture f("R1,NEW-1\r\n", "Kuju\\Stock\\Coach_DO.xml,0,0,,,,,,,,,\r\n");
    f.gameFile(u"Assets/Kuju/Stock/Coach.bin"_s, serialised(coachBlueprint()));
    writeFile(f.root + u"/private/notes.txt"_s, "private");
    // A working copy and a work folder that lead out of the package, as a hostile package
    // could ship them.
    QVERIFY(QFile::link(f.root + u"/private/notes.txt"_s, f.package + u"/Scenarios.xml"_s));
    QVERIFY(QFile::link(f.root + u"/private"_s, f.package + u"/Tempfiles"_s));
    const auto outside = snapshot(f.root + u"/private"_s);
    f.ui.answerYes();
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QCOMPARE(snapshot(f.root + u"/private"_s), outside);
    QCOMPARE(f.count("NEW-1"), 1);
    QVERIFY(f.gameHas(u"Assets/Kuju/Stock/Coach_DO.bin"_s));
#else
    QSKIP("symbolic links are a POSIX matter here");
#endif
}

void TestScenario::missingListWithItsBackupIsOfferedBack()
{
    ScenarioFixture f;
    const QString route = f.game + u'/' + kRoute;
    QVERIFY(QFile::rename(route + u"Scenarios.bin"_s, route + u"Scenarios.bak1"_s));
    f.gameFile(kRoute + u"Scenarios.bak"_s, serialised(scenarioList({"OLDEST"})));
    f.ui.answerYes();
    QCOMPARE(f.install(PackageKind::Scenario), Outcome::Completed);
    QVERIFY2(f.ui.texts().first().contains(u"backup Scenarios.bak1 is there"_s),
             qPrintable(f.ui.texts().first()));
    QCOMPARE(f.list(), canonicalXml(scenarioList({"OLD-A", "OLD-B", "NEW-1"})));
    QCOMPARE(deserialised(f.readGame(kRoute + u"Scenarios.bak2"_s)),
             canonicalXml(scenarioList({"OLD-A", "OLD-B"})));
}

QTEST_GUILESS_MAIN(TestScenario)
#include "tst_scenario.moc"
