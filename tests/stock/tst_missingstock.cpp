#include "FileFixture.h"
#include "StockFixture.h"
#include "stock/MissingStockResolver.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

const QString kName = u"Mk1 Coach"_s;
const QStringList kCrew = {u"Driver1"_s, u"Driver2"_s, u"Passenger"_s};
const QByteArray kCodeTemplate = "<Inserted d:type=\"cDeltaString\">Headlamp</Inserted>";
const QString kLine = u"path,1,0,a,b,c,d,e,f,g,h,i"_s;

QString question(const QString& missingName, const QString& baseName)
{
    return u"Although you do not appear to have "_s + missingName + u"\r\nYou do have "_s +
           baseName +
           u".bin - Do you wish me to automatically\r\nproduce the missing stock where "
           u"possible?"_s;
}

// Resolves one missing path below Assets.
bool resolve(StockFixture& f, MissingStockResolver& resolver, const QString& relative,
             const QString& line = kLine)
{
    return resolver.resolve(f.assets(relative), line);
}

} // namespace

class TestMissingStock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void consentIsAskedUntilYes();
    void suffixChoosesTheMaker_data();
    void suffixChoosesTheMaker();
    void notAVariantAsksNothing_data();
    void notAVariantAsksNothing();
    void failedMakerLeavesTheItemMissing();
    void pathsLeavingAssetsAreRefused_data();
    void pathsLeavingAssetsAreRefused();
};

void TestMissingStock::consentIsAskedUntilYes()
{
    StockFixture f;
    for (const QString& base : {u"Coach"_s, u"Wagon"_s, u"Van"_s})
        f.blueprint(u"Kuju/"_s + base + u".bin"_s, blueprintXml(base, kCrew));
    MissingStockResolver resolver(f.context);

    f.ui.answerNo();
    QVERIFY(!resolve(f, resolver, u"Kuju/Coach_DO.bin"_s));
    QCOMPARE(f.ui.shown.size(), 1);
    QCOMPARE(f.ui.shown[0].text, question(u"Coach_DO"_s, u"Coach"_s));
    QVERIFY(f.ui.shown[0].question);
    QVERIFY(!f.state.ProduceConsent);
    QVERIFY(!f.assetExists(u"Kuju/Coach_DO.bin"_s));
    QCOMPARE(f.serialiserRuns().size(), 0);

    f.ui.answerYes();
    QVERIFY(resolve(f, resolver, u"Kuju/Wagon_DR.bin"_s));
    QCOMPARE(f.ui.shown.size(), 2);
    QCOMPARE(f.ui.shown[1].text, question(u"Wagon_DR"_s, u"Wagon"_s));
    QVERIFY(f.state.ProduceConsent);

    // Never again in this run, also for the item refused before and in a new resolver.
    QVERIFY(resolve(f, resolver, u"Kuju/Van_PO.bin"_s));
    QVERIFY(resolve(f, resolver, u"Kuju/Coach_DO.bin"_s));
    MissingStockResolver later(f.context);
    QVERIFY(resolve(f, later, u"Kuju/Coach_1.bin"_s));
    QCOMPARE(f.ui.shown.size(), 2);
    for (const QString& made : {u"Wagon_DR"_s, u"Van_PO"_s, u"Coach_DO"_s, u"Coach_1"_s})
        QVERIFY2(!f.installedXml(u"Kuju/"_s + made + u".bin"_s).isEmpty(), qPrintable(made));
}

void TestMissingStock::suffixChoosesTheMaker_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("variant"); // file name without ".bin"
    QTest::addColumn<QStringList>("children");
    QTest::addColumn<bool>("inserted"); // the number maker's template went in
    QTest::newRow("last underscore counts")
        << u"Kuju/My_Coach_DF.bin"_s << u"Kuju/My_Coach.bin"_s << u"My_Coach_DF"_s
        << QStringList{u"Driver1"_s, u"Passenger"_s} << false;
    QTest::newRow("lower case crew suffix keeps its case")
        << u"Kuju/Coach_do.bin"_s << u"Kuju/Coach.bin"_s << u"Coach_do"_s
        << QStringList{u"Driver1"_s, u"Driver2"_s} << false;
    QTest::newRow("_Dead") << u"Coach_Dead.bin"_s << u"Coach.bin"_s << u"Coach_Dead"_s
                           << QStringList() << false;
    QTest::newRow("_DEAD") << u"Coach_DEAD.bin"_s << u"Coach.bin"_s << u"Coach_DEAD"_s
                           << QStringList() << false;
    QTest::newRow("only a whole suffix is a crew suffix")
        << u"Coach_DFX.bin"_s << u"Coach.bin"_s << u"Coach_DFX"_s << kCrew << true;
    QTest::newRow("bare underscore")
        << u"Kuju/Coach_.bin"_s << u"Kuju/Coach.bin"_s << u"Coach_"_s << kCrew << true;
    QTest::newRow("number suffix with a dash")
        << u"Coach_XP-Pass.bin"_s << u"Coach.bin"_s << u"Coach_XP-Pass"_s << kCrew << true;
    QTest::newRow("any extension letters") << u"Coach_DO.XYZ"_s << u"Coach.bin"_s << u"Coach_DO"_s
                                           << QStringList{u"Driver1"_s, u"Driver2"_s} << false;
}

void TestMissingStock::suffixChoosesTheMaker()
{
    QFETCH(QString, missing);
    QFETCH(QString, base);
    QFETCH(QString, variant);
    QFETCH(QStringList, children);
    QFETCH(bool, inserted);
    StockFixture f;
    f.blueprint(base, blueprintXml(kName, kCrew));
    f.packageFile(u"UKCode.txt"_s, kCodeTemplate);
    f.state.ProduceConsent = true;
    MissingStockResolver resolver(f.context);

    QVERIFY(resolve(f, resolver, missing));
    QCOMPARE(f.messages(), QStringList());
    QCOMPARE(f.state.VariantName, variant);
    const QString folder = base.contains(u'/') ? base.left(base.lastIndexOf(u'/') + 1) : QString();
    const QString xml = f.installedXml(folder + variant + u".bin"_s);
    QVERIFY2(!xml.isEmpty(), "the variant lies beside its base");
    QCOMPARE(childNamesIn(xml), children);
    QCOMPARE(xml.contains(u"<Inserted "_s), inserted);
    QVERIFY(xml.contains(u'>' + kName + variant.mid(variant.lastIndexOf(u'_')) + u"</Name>"_s));
}

void TestMissingStock::notAVariantAsksNothing_data()
{
    QTest::addColumn<QString>("missing"); // below Assets
    // A trap for a split over the whole path: Kuju/My.bin exists.
    QTest::newRow("underscore in the folder only") << u"Kuju/My_Stock/Coach.bin"_s;
    QTest::newRow("no underscore") << u"Kuju/Coach.bin"_s;
    QTest::newRow("base absent") << u"Kuju/Wagon_DF.bin"_s;
    QTest::newRow("base in another folder") << u"Other/Coach_DF.bin"_s;
    QTest::newRow("name shorter than an extension") << u"Kuju/_D"_s;
}

void TestMissingStock::notAVariantAsksNothing()
{
    QFETCH(QString, missing);
    StockFixture f;
    f.blueprint(u"Kuju/My.bin"_s, blueprintXml(kName, kCrew));
    f.blueprint(u"Kuju/Coach.bin"_s, blueprintXml(kName, kCrew));
    f.blueprint(u"Kuju/My_Stock/Other.bin"_s, blueprintXml(kName, kCrew));
    makeFolder(f.game + u"/Assets/Other"_s);
    const auto before = snapshot(f.root);
    MissingStockResolver resolver(f.context);

    QVERIFY(!resolve(f, resolver, missing));
    QVERIFY(f.ui.shown.isEmpty());
    QCOMPARE(snapshot(f.root), before);
    QVERIFY(!f.state.ProduceConsent);
}

void TestMissingStock::failedMakerLeavesTheItemMissing()
{
    StockFixture f;
    f.blueprint(u"Coach.bin"_s, blueprintXml(kName, kCrew));
    f.removeSerialiser();
    MissingStockResolver resolver(f.context);
    f.ui.answerYes();
    QVERIFY(!resolve(f, resolver, u"Coach_DF.bin"_s));
    QVERIFY(!resolve(f, resolver, u"Coach_1234.bin"_s));
    QVERIFY(!f.assetExists(u"Coach_DF.bin"_s));
    QVERIFY(!f.assetExists(u"Coach_1234.bin"_s));
    // The question, then the makers' own reports.
    QVERIFY(f.ui.shown.size() > 2);
    QVERIFY(f.ui.shown[0].question);
}

void TestMissingStock::pathsLeavingAssetsAreRefused_data()
{
    QTest::addColumn<QString>("missing"); // appended to GamePath
    QTest::newRow("up from Assets") << u"\\Assets\\..\\Coach_DF.bin"_s;
    QTest::newRow("up from a subfolder") << u"\\Assets\\Kuju\\..\\..\\Coach_DF.bin"_s;
    QTest::newRow("up with forward slashes") << u"\\Assets\\Kuju/../../Coach_DF.bin"_s;
    QTest::newRow("up with trailing dots") << u"\\Assets\\... \\Coach_DF.bin"_s;
    QTest::newRow("a drive after Assets") << u"\\Assets\\C:\\Coach_DF.bin"_s;
    QTest::newRow("a leading backslash after Assets") << u"\\Assets\\\\Coach_DF.bin"_s;
    QTest::newRow("not below Assets") << u"\\Coach_DF.bin"_s;
    QTest::newRow("a link out of Assets") << u"\\Assets\\Linked\\Coach_DF.bin"_s;
}

void TestMissingStock::pathsLeavingAssetsAreRefused()
{
    QFETCH(QString, missing);
    StockFixture f;
    // Bases wherever the path could lead: the game folder, Assets, and outside the game.
    writeFile(f.game + u"/Coach.bin"_s, serialised(blueprintXml(kName, kCrew).toUtf8()));
    f.blueprint(u"Coach.bin"_s, blueprintXml(kName, kCrew));
    writeFile(f.root + u"/outside/Coach.bin"_s, serialised(blueprintXml(kName, kCrew).toUtf8()));
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(f.root + u"/outside"_s, f.game + u"/Assets/Linked"_s));
#endif
    f.state.ProduceConsent = true;
    const auto before = snapshot(f.root);
    MissingStockResolver resolver(f.context);

    QVERIFY(!resolver.resolve(f.state.GamePath + missing, kLine));
    QCOMPARE(f.ui.texts(), QStringList());
    QCOMPARE(f.serialiserRuns().size(), 0);
    QCOMPARE(snapshot(f.root), before);
    QVERIFY(!QDir(f.package + u"/Tempfiles"_s).exists());
}

QTEST_GUILESS_MAIN(TestMissingStock)
#include "tst_missingstock.moc"
