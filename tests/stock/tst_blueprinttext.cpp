#include "StockFixture.h"
#include "stock/BlueprintText.h"

#include <QTest>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

class TestBlueprintText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void childNamesWalkTheWholeDocument();
    void childNamesNeedAChildrenList();
    void childNamesStopAtAnUnclosedElement();
    void removeChildEntryCutsOnlyTheEntry();
    void removeChildEntryLeavesNamesOutsideTheList();
    void removeChildrenElementCutsFromTheLineBreak();
    void removeChildrenElementWithoutLineBreakChangesNothing();
    void insertChildrenGoesBeforeTheLastIndentation();
    void insertChildrenIntoAnEmptyOrTightList();
    void insertChildrenFailsWithoutAList();
    void displayNameIsTheFirstNameElement();
    void setDisplayNameRewritesTheSixElements();
    void setDisplayNameNeedsANameElementWithAttributes();
};

void TestBlueprintText::childNamesWalkTheWholeDocument()
{
    // The search is not limited to the list: a name before it counts too, in document order.
    const QString doc = u"<ChildName>Early</ChildName><Children>"_s + childEntry(u"Driver1"_s) +
                        childEntry(u"Pass"_s) + u"</Children><CHILDNAME a=\"1\">Late</childname>"_s;
    QStringList names;
    BlueprintText::childNames(doc, names);
    QCOMPARE(names, (QStringList{u"Early"_s, u"Driver1"_s, u"Pass"_s, u"Late"_s}));
}

void TestBlueprintText::childNamesNeedAChildrenList()
{
    QStringList names;
    BlueprintText::childNames(u"<ChildName>Driver1</ChildName>"_s, names);
    QVERIFY(names.isEmpty());
    BlueprintText::childNames(QString(), names);
    QVERIFY(names.isEmpty());
}

void TestBlueprintText::childNamesStopAtAnUnclosedElement()
{
    const QString doc = u"<Children><ChildName>A</ChildName><ChildName>B</Children>"_s;
    QStringList names;
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, BlueprintText::childNames(doc, names));
    QCOMPARE(names, QStringList{u"A"_s});
}

void TestBlueprintText::removeChildEntryCutsOnlyTheEntry()
{
    const QString head = u"x\r\n\t\t\t<Children>\r\n"_s;
    const QString tail = u"\t\t\t</Children>\r\n"_s;
    QString doc = head + childEntry(u"Driver1"_s) + childEntry(u"Driver10"_s) + tail;
    // Exact name, any case: "driver1" must not take the Driver10 entry.
    QVERIFY(BlueprintText::removeChildEntry(doc, u"driver1"_s));
    QCOMPARE(doc, head + u"\t\t\t\t\r\n"_s + childEntry(u"Driver10"_s) + tail);
    QVERIFY(!BlueprintText::removeChildEntry(doc, u"Driver1"_s));
    QCOMPARE(childNamesIn(doc), QStringList{u"Driver10"_s});
}

void TestBlueprintText::removeChildEntryLeavesNamesOutsideTheList()
{
    const QString outside = u"<cEntityContainerBlueprint-sChild><ChildName>Driver1</ChildName>"
                            u"</cEntityContainerBlueprint-sChild>"_s;
    QString before = outside + u"<Children></Children>"_s;
    QVERIFY(!BlueprintText::removeChildEntry(before, u"Driver1"_s));
    QCOMPARE(before, outside + u"<Children></Children>"_s);

    QString after = u"<Children>"_s + childEntry(u"Pass"_s) + u"</Children><x>Driver1</x>"_s;
    const QString unchanged = after;
    QVERIFY(!BlueprintText::removeChildEntry(after, u"Driver1"_s));
    QCOMPARE(after, unchanged);

    QString none = childEntry(u"Driver1"_s);
    QVERIFY(!BlueprintText::removeChildEntry(none, u"Driver1"_s));
    QCOMPARE(none, childEntry(u"Driver1"_s));
}

void TestBlueprintText::removeChildrenElementCutsFromTheLineBreak()
{
    QString doc = u"<a>\r\n\t<Children>\r\n"_s + childEntry(u"Driver1"_s) +
                  u"\t</Children>\r\n\t<b/>\r\n</a>"_s;
    QVERIFY(BlueprintText::removeChildrenElement(doc));
    QCOMPARE(doc, u"<a>\r\n\t<b/>\r\n</a>"_s);
}

void TestBlueprintText::removeChildrenElementWithoutLineBreakChangesNothing()
{
    for (const QString& original :
         {u"<a><Children><ChildName>x</ChildName></Children></a>"_s, u"<Children></Children>"_s,
          u"<a>\r\n<b/></a>"_s, u"<a>\r\n<Children>"_s}) {
        QString doc = original;
        QVERIFY(!BlueprintText::removeChildrenElement(doc));
        QCOMPARE(doc, original);
    }
}

void TestBlueprintText::insertChildrenGoesBeforeTheLastIndentation()
{
    const QString head = u"<a>\r\n\t\t\t<Children>\r\n\t\t\t"_s;
    const QString rest = u"\t<cEntityContainerBlueprint-sChild/>\r\n\t\t\t</Children>\r\n</a>"_s;
    QString doc = head + rest;
    BlueprintText::insertChildren(doc, u"[F]"_s);
    QCOMPARE(doc, head + u"[F]"_s + rest);
}

void TestBlueprintText::insertChildrenIntoAnEmptyOrTightList()
{
    // The entry right after the tag: right after the tag, never inside it.
    QString tight = u"<children><e/></children>"_s;
    BlueprintText::insertChildren(tight, u"[F]"_s);
    QCOMPARE(tight, u"<children>[F]<e/></children>"_s);

    QString empty = u"<Children>\r\n\t</Children>"_s;
    BlueprintText::insertChildren(empty, u"[F]"_s);
    QCOMPARE(empty, u"<Children>\r\n[F]\t</Children>"_s);

    QString noFragment = u"<Children>\r\n\t<e/></Children>"_s;
    BlueprintText::insertChildren(noFragment, QString());
    QCOMPARE(noFragment, u"<Children>\r\n\t<e/></Children>"_s);
}

void TestBlueprintText::insertChildrenFailsWithoutAList()
{
    for (const QString& original :
         {QString(), u"<a>\r\n\t<b/>\r\n</a>"_s, u"<a><Children/></a>"_s, u"<a><Children>"_s}) {
        QString doc = original;
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 BlueprintText::insertChildren(doc, u"[F]"_s));
        QCOMPARE(doc, original);
    }
}

void TestBlueprintText::displayNameIsTheFirstNameElement()
{
    QCOMPARE(BlueprintText::displayName(blueprintXml(u"Mk1 &amp; <b>"_s, {})), u"Mk1 &amp; <b>"_s);
    // A longer tag that begins with "Name" is the first one.
    QCOMPARE(BlueprintText::displayName(u"<NameTag>t</NameTag><Name>n</Name>"_s), u"t"_s);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, BlueprintText::displayName(u"<a/>"_s));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, BlueprintText::displayName(u"<Name>x"_s));
}

void TestBlueprintText::setDisplayNameRewritesTheSixElements()
{
    QString doc = blueprintXml(u"Mk1"_s, {u"Driver1"_s});
    BlueprintText::setDisplayName(doc, u"Mk1_DF"_s);
    QString expected = blueprintXml(u"Mk1_DF"_s, {u"Driver1"_s});
    expected.replace(u">English name<"_s, u">Mk1_DF<"_s)
        .replace(u">Nom<"_s, u">Mk1_DF<"_s)
        .replace(u"\"></Italian>"_s, u"\">Mk1_DF</Italian>"_s)
        .replace(u">Wagen<"_s, u">Mk1_DF<"_s)
        .replace(u">Coche<"_s, u">Mk1_DF<"_s);
    QCOMPARE(doc, expected);
}

void TestBlueprintText::setDisplayNameNeedsANameElementWithAttributes()
{
    // "<Name>" has no blank after the tag, so nothing is rewritten, languages included.
    const QString original = u"<Name>n</Name><English>e</English>"_s;
    QString doc = original;
    BlueprintText::setDisplayName(doc, u"x"_s);
    QCOMPARE(doc, original);

    // A missing language ends the chain: the ones after it stay.
    QString gap = u"<Name a=\"1\">n</Name><English>e</English><Italian>i</Italian>"
                  u"<German>g</German><Spanish>s</Spanish>"_s;
    BlueprintText::setDisplayName(gap, u"x"_s);
    QCOMPARE(gap, u"<Name a=\"1\">x</Name><English>x</English><Italian>i</Italian>"
                  u"<German>g</German><Spanish>s</Spanish>"_s);
}

QTEST_GUILESS_MAIN(TestBlueprintText)
#include "tst_blueprinttext.moc"
