#include "FileFixture.h"
#include "StockFixture.h"
#include "stock/CrewVariantMaker.h"
#include "stock/NumberVariantMaker.h"

#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;
using Icon = UserInterface::Icon;

namespace {

const QString kName = u"Mk1 Coach"_s;
// Both kinds of duplicate: the same name twice, and the same name in another case.
const QStringList kCrew = {u"Driver1"_s,   u"DRIVER2"_s, u"fireman"_s, u"Passenger"_s,
                           u"passenger"_s, u"Driver1"_s, u"Coupling"_s};

// Exactly these two lines: the serialiser's reason goes to the log only.
QString conversionMessage(const QString& variant)
{
    return u"Serz.exe could not convert file "_s + variant +
           u".bin\r\nThis is a limitation of Serz.exe and out of my control."_s;
}

// The last failure the install's log received names the serialiser and why it failed.
bool logsTheReason(const WorkReport& report)
{
    const QString prefix = u"the serialiser could not convert it: "_s;
    const QString reason =
        report.failures().isEmpty() ? QString() : report.failures().last().reason;
    return reason.startsWith(prefix) && reason.size() > prefix.size();
}

bool isErrorFor(const QString& text, const QString& baseAndSuffix)
{
    return text.startsWith(u"An error "_s) &&
           text.endsWith(u" occurred while trying to create\r\n"_s + baseAndSuffix);
}

// The base list with the entries at the given indexes cut: their indentation and line
// break stay behind as a blank line.
QString crewResult(const QString& displayName, const QList<int>& removed)
{
    QString children;
    for (int i = 0; i < kCrew.size(); ++i)
        children += removed.contains(i) ? u"\t\t\t\t\r\n"_s : childEntry(kCrew[i]);
    QString xml = blueprintXml(kName, {});
    xml.replace(u"\t\t\t<Children>\r\n"_s, u"\t\t\t<Children>\r\n"_s + children);
    return withDisplayName(xml, displayName);
}

const QByteArray kCodeTemplate =
    "\t<cEntityContainerBlueprint-sChild d:id=\"9\">\r\n"
    "\t\t\t\t\t<ChildName d:type=\"cDeltaString\">Headlamp</ChildName>\r\n"
    "\t\t\t\t\t<Data d:type=\"cDeltaString\">444444;555555;666666;777777;111111;222222;333333"
    "</Data>\r\n"
    "\t\t\t\t</cEntityContainerBlueprint-sChild>\r\n\t\t\t";

QString numberLine(const QString& lamps)
{
    return u"Kuju\\Coach_4567.xml,"_s + lamps + u",A1,A2,A3,B1,B2,B3,x,y,z,w"_s;
}

// The base with fragment in front of the tab that precedes the first entry.
QString numberResult(const QStringList& children, const QString& fragment,
                     const QString& displayName)
{
    QString xml = withDisplayName(blueprintXml(kName, children), displayName);
    const QString firstEntry = u"\t\t\t\t<cEntityContainerBlueprint-sChild"_s;
    const qsizetype at = xml.indexOf(firstEntry);
    return xml.left(at + 3) + fragment + xml.mid(at + 3);
}

QString filledCopy(const QString& lamp, const QString& direction, const QString& codes)
{
    QString copy = QString::fromLatin1(kCodeTemplate);
    return copy.replace(u"Headlamp"_s, lamp)
        .replace(u"444444;555555;666666;777777;111111;222222;333333"_s,
                 u"x;y;z,w;"_s + direction + u';' + codes);
}

// Each way the serialiser can fail (a failSerialiser mode, or "missing" for none at all),
// with whether it fails while the base is turned into text (else while the variant is made).
void serialiserFailureRows()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<bool>("toText");
    const std::pair<const char*, const char*> failures[] = {
        {"serialiser missing", "missing"},    {"no XML", "xml:none"},
        {"empty XML", "xml:empty"},           {"crash to XML", "xml:crash"},
        {"garbage XML", "xml:garbage"},       {"no blueprint", "bin:none"},
        {"crash to blueprint", "bin:crash"},  {"empty blueprint", "bin:empty"},
        {"garbage blueprint", "bin:garbage"}, {"garbage blueprint, exit 0", "bin:garbage0"},
        {"half a blueprint", "bin:half"}};
    for (const auto& [name, mode] : failures)
        QTest::newRow(name) << QByteArray(mode) << !QByteArray(mode).startsWith("bin:");
}

} // namespace

class TestVariantMakers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void crewRemovals_data();
    void crewRemovals();
    void crewBaseWithoutChildrenKeepsItsChildren_data();
    void crewBaseWithoutChildrenKeepsItsChildren();
    void crewRunsTheSerialiserInBothDirections();
    void crewReplacesAnExistingVariant();
    void crewSerialiserFailures_data();
    void crewSerialiserFailures();
    void crewNeverInstallsAnEarlierRunsOutput();
    void anEarlierBaseCopyNeverStandsInForThisBase();

    void numberFillsAndInsertsTheTemplate_data();
    void numberFillsAndInsertsTheTemplate();
    void numberWithoutCodeTemplateOnlyRenames();
    void numberLineFailuresEndBeforeAnyFileWork_data();
    void numberLineFailuresEndBeforeAnyFileWork();
    void numberRejectsUnfillableLampsAndBasesWithoutChildren();
    void numberSerialiserFailures_data();
    void numberSerialiserFailures();
    void numberNeverInstallsAnEarlierRunsOutput();
};

void TestVariantMakers::crewRemovals_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QList<int>>("removed"); // indexes into kCrew
    QTest::newRow("_df: Driver2") << u"_df"_s << QList<int>{1};
    QTest::newRow("_Dr: both Driver1") << u"_Dr"_s << QList<int>{0, 5};
    QTest::newRow("_PO: every driver") << u"_PO"_s << QList<int>{0, 1, 5};
    QTest::newRow("_mt: drivers and passengers") << u"_mt"_s << QList<int>{0, 1, 3, 4, 5};
    QTest::newRow("_nD: drivers and fireman") << u"_nD"_s << QList<int>{0, 1, 2, 5};
    QTest::newRow("_DO: both passengers") << u"_DO"_s << QList<int>{3, 4};
}

void TestVariantMakers::crewRemovals()
{
    QFETCH(QString, suffix);
    QFETCH(QList<int>, removed);
    StockFixture f;
    const QString base = blueprintXml(kName, kCrew);
    f.blueprint(u"Kuju/Stock/Coach.bin"_s, base);
    CrewVariantMaker maker(f.context);
    bool produced = maker.make(f.assetsFolder(u"Kuju/Stock/x"_s), u"Coach"_s, suffix);

    QCOMPARE(f.messages(), QStringList());
    QVERIFY(produced);
    QCOMPARE(f.state.VariantName, u"Coach"_s + suffix);
    QCOMPARE(f.installedXml(u"Kuju/Stock/Coach"_s + suffix + u".bin"_s),
             canonical(crewResult(kName + suffix, removed)));
    QCOMPARE(f.installedXml(u"Kuju/Stock/Coach.bin"_s), canonical(base));
}

void TestVariantMakers::crewBaseWithoutChildrenKeepsItsChildren_data()
{
    QTest::addColumn<QString>("suffix");
    for (const QString& suffix : {u"_DF"_s, u"_DR"_s, u"_PO"_s, u"_MT"_s, u"_ND"_s, u"_DO"_s})
        QTest::newRow(qPrintable(suffix)) << suffix;
    QTest::newRow("_dead") << u"_dead"_s;
}

void TestVariantMakers::crewBaseWithoutChildrenKeepsItsChildren()
{
    QFETCH(QString, suffix);
    StockFixture f;
    // Child names outside a children list are never cut.
    QString base = blueprintXml(kName, {}, false);
    base.replace(u"\t\t\t<Mass"_s, childEntry(u"Driver1 Passenger"_s) + u"\t\t\t<Mass"_s);
    f.blueprint(u"Coach.bin"_s, base);
    CrewVariantMaker maker(f.context);
    bool produced = maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, suffix);

    QCOMPARE(f.messages(), QStringList());
    QVERIFY(produced);
    QCOMPARE(f.installedXml(u"Coach"_s + suffix + u".bin"_s),
             canonical(withDisplayName(base, kName + suffix)));
}

void TestVariantMakers::crewRunsTheSerialiserInBothDirections()
{
    StockFixture f;
    const QString base = blueprintXml(kName, kCrew);
    f.blueprint(u"Kuju/Coach.bin"_s, base);
    CrewVariantMaker maker(f.context);
    bool produced = maker.make(f.assetsFolder(u"Kuju/x"_s), u"Coach"_s, u"_Dead"_s);

    QVERIFY(produced);
    QCOMPARE(f.installedXml(u"Kuju/Coach_Dead.bin"_s),
             canonical(withDisplayName(blueprintXml(kName, {}, false), kName + u"_Dead"_s)));
    const QString work = f.package + u"/Tempfiles/"_s;
    const QList<QStringList> runs = f.serialiserRuns();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0], (QStringList{work + u"Coach.bin"_s, u"xml:"_s + work + u"Coach.xml"_s}));
    QCOMPARE(runs[1],
             (QStringList{work + u"Coach_Dead.xml"_s, u"bin:"_s + work + u"Coach_Dead.bin"_s}));
    // The work files stay for the scenario install to delete.
    QVERIFY(QFileInfo(work + u"Coach_Dead.xml"_s).isFile());
}

void TestVariantMakers::crewReplacesAnExistingVariant()
{
    StockFixture f;
    f.blueprint(u"Coach.bin"_s, blueprintXml(kName, kCrew));
    writeFile(f.game + u"/Assets/Coach_DF.bin"_s, "an old, broken variant");
    CrewVariantMaker maker(f.context);
    bool produced = maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, u"_DF"_s);
    QCOMPARE(f.messages(), QStringList());
    QVERIFY(produced);
    QCOMPARE(f.installedXml(u"Coach_DF.bin"_s), canonical(crewResult(kName + u"_DF"_s, {1})));
}

void TestVariantMakers::crewSerialiserFailures_data()
{
    serialiserFailureRows();
}

void TestVariantMakers::crewSerialiserFailures()
{
    QFETCH(QByteArray, mode);
    QFETCH(bool, toText);
    StockFixture f;
    f.blueprint(u"Coach.bin"_s, blueprintXml(kName, kCrew));
    if (mode == "missing")
        f.removeSerialiser();
    else
        f.failSerialiser(mode);
    CrewVariantMaker maker(f.context);
    bool produced = maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, u"_DF"_s);

    QVERIFY2(!produced, "a variant that was not installed must stay in the report");
    QVERIFY(!f.assetExists(u"Coach_DF.bin"_s));
    const QStringList messages = f.messages();
    QVERIFY(!messages.isEmpty());
    QCOMPARE(messages.last(), conversionMessage(u"Coach_DF"_s));
    QVERIFY(logsTheReason(f.report));
    const bool anyError = std::any_of(messages.begin(), messages.end(), [](const QString& m) {
        return isErrorFor(m, u"Coach\\_DF"_s);
    });
    // A base that never became text is an error; the conversion message follows it.
    QCOMPARE(anyError, toText);
    for (const auto& shown : f.ui.shown)
        QCOMPARE(shown.icon, Icon::Exclamation);
    QVERIFY2(f.report.hasFailures(), "the install's last message must name it");
}

void TestVariantMakers::crewNeverInstallsAnEarlierRunsOutput()
{
    StockFixture f;
    f.blueprint(u"Coach.bin"_s, blueprintXml(kName, kCrew));
    CrewVariantMaker maker(f.context);
    bool produced = maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, u"_DF"_s);
    QVERIFY(produced);
    QVERIFY(QFile::remove(f.game + u"/Assets/Coach_DF.bin"_s));

    // The first run's Coach.xml and Coach_DF.bin are still in the work folder.
    f.removeSerialiser();
    produced = maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, u"_DF"_s);
    QVERIFY(!produced);
    QVERIFY(!f.assetExists(u"Coach_DF.bin"_s));
    QCOMPARE(f.messages().last(), conversionMessage(u"Coach_DF"_s));
}

void TestVariantMakers::anEarlierBaseCopyNeverStandsInForThisBase()
{
    StockFixture f;
    f.blueprint(u"Coach.bin"_s, blueprintXml(kName, kCrew));
    // Left by a run on a base of the same name in another folder, and not writable.
    f.packageFile(u"Tempfiles/Coach.bin"_s, serialised(blueprintXml(u"Other"_s, {}).toUtf8()));
    QVERIFY(QFile::setPermissions(f.package + u"/Tempfiles/Coach.bin"_s, QFile::ReadOwner));
    UnprivilegedScope unprivileged(f.root);
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));

    CrewVariantMaker maker(f.context);
    bool produced = maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, u"_DF"_s);
    QCOMPARE(f.messages(), QStringList());
    QVERIFY(produced);
    QCOMPARE(f.installedXml(u"Coach_DF.bin"_s), canonical(crewResult(kName + u"_DF"_s, {1})));
}

void TestVariantMakers::numberFillsAndInsertsTheTemplate_data()
{
    QTest::addColumn<QString>("lamps");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("1 and 2: two copies")
        << u"1,2"_s << u"_4567"_s
        << filledCopy(u"Headlamp 1"_s, u"1.0000"_s, u"A1;A2;A3"_s) +
               filledCopy(u"Headlamp 2"_s, u"1.0000"_s, u"B1;B2;B3"_s);
    QTest::newRow("5 and 0: one head lamp")
        << u"5,0"_s << u"_xp-Pass"_s << filledCopy(u"Headlamp 5"_s, u"1.0000"_s, u"A1;A2;A3"_s);
    QTest::newRow("0 and 0: one tail lamp")
        << u"0,0"_s << u"_"_s << filledCopy(u"Taillamp"_s, u"-1.0000"_s, u"A1;A2;A3"_s);
}

void TestVariantMakers::numberFillsAndInsertsTheTemplate()
{
    QFETCH(QString, lamps);
    QFETCH(QString, suffix);
    QFETCH(QString, fragment);
    StockFixture f;
    const QStringList children = {u"Driver1"_s, u"Passenger"_s};
    f.blueprint(u"Kuju/Coach.bin"_s, blueprintXml(kName, children));
    f.packageFile(u"UKCode.txt"_s, kCodeTemplate);
    writeFile(f.game + u"/Assets/Kuju/Coach"_s + suffix + u".bin"_s, "an old variant");
    NumberVariantMaker maker(f.context);
    bool produced = maker.make(f.assetsFolder(u"Kuju/x"_s), u"Coach"_s, suffix, numberLine(lamps));

    QCOMPARE(f.messages(), QStringList());
    QVERIFY(produced);
    QCOMPARE(f.state.VariantName, u"Coach"_s + suffix);
    QCOMPARE(f.installedXml(u"Kuju/Coach"_s + suffix + u".bin"_s),
             canonical(numberResult(children, fragment, kName + suffix)));
}

void TestVariantMakers::numberWithoutCodeTemplateOnlyRenames()
{
    StockFixture f;
    const QStringList children = {u"Driver1"_s};
    f.blueprint(u"Coach.bin"_s, blueprintXml(kName, children));
    NumberVariantMaker maker(f.context);
    bool produced =
        maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, u"_1234"_s, numberLine(u"1,2"_s));
    QCOMPARE(f.messages(), QStringList());
    QVERIFY(produced);
    QCOMPARE(f.installedXml(u"Coach_1234.bin"_s),
             canonical(withDisplayName(blueprintXml(kName, children), kName + u"_1234"_s)));
}

void TestVariantMakers::numberLineFailuresEndBeforeAnyFileWork_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("ten commas") << u"Kuju\\Coach_1.bin,1,2,a,b,c,d,e,f,g,h"_s;
    QTest::newRow("lamp number overflow") << numberLine(u"40000,1"_s);
    QTest::newRow("empty line") << QString();
}

void TestVariantMakers::numberLineFailuresEndBeforeAnyFileWork()
{
    QFETCH(QString, line);
    StockFixture f;
    f.blueprint(u"Coach.bin"_s, blueprintXml(kName, {u"Driver1"_s}));
    f.packageFile(u"UKCode.txt"_s, kCodeTemplate);
    NumberVariantMaker maker(f.context);
    bool produced = maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, u"_1"_s, line);

    QCOMPARE(f.ui.shown.size(), 1);
    QVERIFY2(isErrorFor(f.ui.shown[0].text, u"Coach\\_1"_s), qPrintable(f.ui.shown[0].text));
    QCOMPARE(f.ui.shown[0].icon, Icon::Exclamation);
    QVERIFY(!produced);
    QVERIFY(!f.packageHas(u"Tempfiles/Coach.bin"_s));
    QCOMPARE(f.serialiserRuns().size(), 0);
    QVERIFY(!f.assetExists(u"Coach_1.bin"_s));
}

void TestVariantMakers::numberRejectsUnfillableLampsAndBasesWithoutChildren()
{
    struct Case {
        const char* what;
        QString base;
        QString lamps;
    };
    const QList<Case> cases = {
        {"first lamp 0, second set", blueprintXml(kName, {u"Driver1"_s}), u"0,3"_s},
        {"no children list", blueprintXml(kName, {}, false), u"1,2"_s},
    };
    for (const Case& c : cases) {
        StockFixture f;
        f.blueprint(u"Coach.bin"_s, c.base);
        f.packageFile(u"UKCode.txt"_s, kCodeTemplate);
        NumberVariantMaker maker(f.context);
        bool produced =
            maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, u"_9"_s, numberLine(c.lamps));
        QVERIFY2(f.ui.shown.size() == 1 && isErrorFor(f.ui.shown[0].text, u"Coach\\_9"_s), c.what);
        QVERIFY2(!produced, c.what);
        QVERIFY2(!f.assetExists(u"Coach_9.bin"_s), c.what);
        QVERIFY2(!f.packageHas(u"Tempfiles/Coach_9.xml"_s), c.what);
    }
}

void TestVariantMakers::numberSerialiserFailures_data()
{
    serialiserFailureRows();
}

void TestVariantMakers::numberSerialiserFailures()
{
    QFETCH(QByteArray, mode);
    QFETCH(bool, toText);
    StockFixture f;
    f.blueprint(u"Coach.bin"_s, blueprintXml(kName, {u"Driver1"_s}));
    f.packageFile(u"UKCode.txt"_s, kCodeTemplate);
    if (mode == "missing")
        f.removeSerialiser();
    else
        f.failSerialiser(mode);
    NumberVariantMaker maker(f.context);
    bool produced =
        maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, u"_1234"_s, numberLine(u"1,2"_s));

    QVERIFY(!produced);
    QVERIFY(!f.assetExists(u"Coach_1234.bin"_s));
    QCOMPARE(f.ui.shown.size(), 1);
    const QString text = f.ui.shown[0].text;
    // The first failure ends the number maker: the error, or the conversion message.
    if (toText)
        QVERIFY2(isErrorFor(text, u"Coach\\_1234"_s), qPrintable(text));
    else
        QCOMPARE(text, conversionMessage(u"Coach_1234"_s));
    QCOMPARE(f.report.failures().size(), 1);
    QCOMPARE(logsTheReason(f.report), !toText);
}

void TestVariantMakers::numberNeverInstallsAnEarlierRunsOutput()
{
    StockFixture f;
    f.blueprint(u"Coach.bin"_s, blueprintXml(kName, {u"Driver1"_s}));
    NumberVariantMaker maker(f.context);
    bool produced =
        maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, u"_1234"_s, numberLine(u"1,0"_s));
    QVERIFY(produced);
    QVERIFY(QFile::remove(f.game + u"/Assets/Coach_1234.bin"_s));

    f.failSerialiser("none");
    produced =
        maker.make(f.assetsFolder(u"Coach.bin"_s), u"Coach"_s, u"_1234"_s, numberLine(u"1,0"_s));
    QVERIFY(!produced);
    QVERIFY(!f.assetExists(u"Coach_1234.bin"_s));
    QCOMPARE(f.ui.shown.size(), 1);
}

QTEST_GUILESS_MAIN(TestVariantMakers)
#include "tst_variantmakers.moc"
