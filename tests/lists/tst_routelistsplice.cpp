#include "lists/FreeFormatReader.h"
#include "lists/RouteListSplice.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

QString record(const QString& id, const QString& name)
{
    return u"\t\t<cRouteProperties d:id=\"1\">\r\n\t\t\t<DevString>"_s + id +
           u"</DevString>\r\n\t\t\t<English>"_s + name +
           u"</English>\r\n\t\t</cRouteProperties>\r\n"_s;
}

QString list(const QStringList& records)
{
    return u"<?xml version=\"1.0\"?>\r\n<cRouteList>\r\n\t<Record>\r\n"_s +
           records.join(QString()) + u"\t</Record>\r\n</cRouteList>\r\n"_s;
}

} // namespace

class TestRouteListSplice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void markerValues();
    void markerProblems_data();
    void markerProblems();
    void newRouteBecomesTheLastRecord();
    void appendReplacesTheClosingIndentationByOneTab();
    void emptyListTakesItsFirstRoute();
    void knownRouteIsReplacedWhereItStands();
    void identifierMatchesAnywhereIgnoringCase();
    void listProblems_data();
    void listProblems();
    void freeFormatItems_data();
    void freeFormatItems();
};

void TestRouteListSplice::markerValues()
{
    const QString marker = record(u"abc-1"_s, u"Demo Valley"_s);
    QCOMPARE(RouteListSplice::routeName(marker).value(), u"Demo Valley"_s);
    QCOMPARE(RouteListSplice::routeIdentifier(marker).value(), u"abc-1"_s);
    // The name runs from the last ">" before the closing tag.
    const auto attributed = RouteListSplice::routeName(
        u"<english d:type=\"cDeltaString\"><b>Bold</b> Line</ENGLISH>"_s);
    QCOMPARE(attributed.value(), u" Line"_s);
    const auto empty = RouteListSplice::routeName(u"<English></English>"_s);
    QCOMPARE(empty.value(), QString());
}

void TestRouteListSplice::markerProblems_data()
{
    QTest::addColumn<QString>("marker");
    QTest::newRow("no DevString") << u"<English>x</English>"_s;
    QTest::newRow("unclosed DevString") << u"<DevString>abc"_s;
    QTest::newRow("empty DevString") << u"<DevString> </DevString>"_s;
    QTest::newRow("empty text") << QString();
}

void TestRouteListSplice::markerProblems()
{
    QFETCH(QString, marker);
    const auto id = RouteListSplice::routeIdentifier(marker);
    QVERIFY(!id.ok());
    QVERIFY(id.message().contains(u"DevString"_s));
}

void TestRouteListSplice::newRouteBecomesTheLastRecord()
{
    const QString old = list({record(u"r1"_s, u"One"_s), record(u"r2"_s, u"Two"_s)});
    const QString marker = record(u"r3"_s, u"Three"_s);
    const auto result = RouteListSplice::splice(old, marker, u"r3"_s);
    QVERIFY(result.ok());
    QCOMPARE(result.value(), list({record(u"r1"_s, u"One"_s), record(u"r2"_s, u"Two"_s), marker}));
}

void TestRouteListSplice::appendReplacesTheClosingIndentationByOneTab()
{
    const QString old = u"<L>\r\n\t<Record>\r\n\t\t<cRouteProperties>a</cRouteProperties>\r\n"
                        u"        </Record>\r\n</L>\r\n"_s;
    const auto result = RouteListSplice::splice(old, u"\t\tNEW\r\n"_s, u"zzz"_s);
    QCOMPARE(result.value(), u"<L>\r\n\t<Record>\r\n\t\t<cRouteProperties>a</cRouteProperties>\r\n"
                             u"\t\tNEW\r\n\t</Record>\r\n</L>\r\n"_s);
}

void TestRouteListSplice::emptyListTakesItsFirstRoute()
{
    const QString marker = record(u"r1"_s, u"One"_s);
    const QString empty = u"<?xml version=\"1.0\"?>\r\n<cRouteList>\r\n\t<record/>\r\n"
                          u"</cRouteList>\r\n"_s;
    const auto result = RouteListSplice::splice(empty, marker, u"r1"_s);
    QVERIFY2(result.ok(), qPrintable(result.message()));
    QCOMPARE(result.value(), list({marker}).replace(u"Record>"_s, u"record>"_s));
    // Once opened, the list is spliced as any other: the same route replaces itself.
    QCOMPARE(RouteListSplice::splice(result.value(), marker, u"r1"_s).value(), result.value());
}

void TestRouteListSplice::knownRouteIsReplacedWhereItStands()
{
    const QString old =
        list({record(u"r1"_s, u"One"_s), record(u"r2"_s, u"Two"_s), record(u"r3"_s, u"Three"_s)});
    const QString marker = record(u"r2"_s, u"Two again"_s);
    const auto result = RouteListSplice::splice(old, marker, u"r2"_s);
    QVERIFY(result.ok());
    QCOMPARE(result.value(),
             list({record(u"r1"_s, u"One"_s), marker, record(u"r3"_s, u"Three"_s)}));
    // Installing the same marker again changes nothing more.
    QCOMPARE(RouteListSplice::splice(result.value(), marker, u"r2"_s).value(), result.value());
}

void TestRouteListSplice::identifierMatchesAnywhereIgnoringCase()
{
    // The first occurrence decides, even when it is not in a DevString element.
    const QString first = record(u"x"_s, u"Mentions ROUTE-B here"_s);
    const QString second = record(u"route-b"_s, u"B"_s);
    const QString old = list({first, second});
    const auto result = RouteListSplice::splice(old, u"\t\tNEW\r\n"_s, u"Route-B"_s);
    QCOMPARE(result.value(), list({u"\t\tNEW\r\n"_s, second}));
}

void TestRouteListSplice::listProblems_data()
{
    QTest::addColumn<QString>("old");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("mentioned");
    QTest::newRow("no closing Record")
        << u"<cRouteList>\r\n\t<Records/>\r\n</cRouteList>"_s << u"new"_s << u"</Record>"_s;
    QTest::newRow("two empty lists")
        << u"<L>\r\n\t<Record/>\r\n\t<Record/>\r\n</L>"_s << u"new"_s << u"</Record>"_s;
    QTest::newRow("identifier in an empty list")
        << u"<L>\r\n\t<Record/>new\r\n</L>"_s << u"new"_s << u"outside any"_s;
    QTest::newRow("identifier before any record")
        << u"<L id=\"r1\">\r\n"_s + list({record(u"r2"_s, u"Two"_s)}) << u"r1"_s
        << u"outside any"_s;
    QTest::newRow("identifier between records")
        << list({record(u"a"_s, u"A"_s)}).replace(u"\t</Record>"_s, u"r9\t</Record>"_s) << u"r9"_s
        << u"outside any"_s;
    QTest::newRow("unclosed record")
        << u"<Record>\r\n\t\t<cRouteProperties>r1\r\n</Record>"_s << u"r1"_s << u"outside any"_s;
}

void TestRouteListSplice::listProblems()
{
    QFETCH(QString, old);
    QFETCH(QString, identifier);
    QFETCH(QString, mentioned);
    const auto result = RouteListSplice::splice(old, record(u"n"_s, u"N"_s), identifier);
    QVERIFY(!result.ok());
    QVERIFY2(result.message().contains(mentioned), qPrintable(result.message()));
}

void TestRouteListSplice::freeFormatItems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("commas and lines") << u"a,b\r\nc\r\n"_s << QStringList{u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("quotes keep commas")
        << u"\"Route, old\",\"k1\"\r\n"_s << QStringList{u"Route, old"_s, u"k1"_s};
    QTest::newRow("leading blanks skipped") << u"  a,\t b \r\n"_s << QStringList{u"a"_s, u"b "_s};
    QTest::newRow("no final line end") << u"a\nb"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("empty item") << u"a,,b"_s << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("unclosed quote") << u"\"abc"_s << QStringList{u"abc"_s};
    QTest::newRow("empty") << QString() << QStringList{};
}

void TestRouteListSplice::freeFormatItems()
{
    QFETCH(QString, text);
    QFETCH(QStringList, items);
    QCOMPARE(FreeFormatReader::items(text), items);
}

QTEST_GUILESS_MAIN(TestRouteListSplice)
#include "tst_routelistsplice.moc"
