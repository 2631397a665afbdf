#include "util/TaggedText.h"

#include <QTest>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace veltrane;

class TestTaggedText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void getDetailReadsOneElement();
    void getDetailWalksAChain();
    void getDetailWithoutOpeningTagLeavesValue();
    void getDetailFailsOnUnclosedElementsAndBadPositions();
    void selfClosingAndNestedElements();
    void putDetailReplacesOnlyTheValue();
    void shorterReplacementSkipsTheNextElement();
    void longerReplacementFindsTheNextElement();
    void failedPutDetailFailsTheRestOfTheChain();
};

void TestTaggedText::getDetailReadsOneElement()
{
    const QString doc = u"<x><Name>Old</Name></x>"_s;
    qint32 position = 1;
    QString value = u"before"_s;
    TaggedText::readValue(doc, position, u"Name"_s, value);
    QCOMPARE(value, u"Old"_s);
    QCOMPARE(position, 13);

    // Any letter case, attributes, and longer names that begin with the tag.
    position = 1;
    TaggedText::readValue(u"<NAME d:type=\"cDeltaString\">Coach</name>"_s, position, u"name"_s,
                          value);
    QCOMPARE(value, u"Coach"_s);
    position = 1;
    TaggedText::readValue(u"<Names><Name>a</Name></Names>"_s, position, u"Name"_s, value);
    QCOMPARE(value, u"<Name>a"_s);
    position = 1;
    TaggedText::readValue(u"<Name></Name>"_s, position, u"Name"_s, value);
    QCOMPARE(value, QString());
}

void TestTaggedText::getDetailWalksAChain()
{
    const QString doc = u"<C><ChildName>Driver1</ChildName><ChildName>Pass</ChildName></C>"_s;
    QStringList names;
    qint32 position = 1;
    QString value;
    for (;;) {
        TaggedText::readValue(doc, position, u"ChildName"_s, value);
        if (position == 0)
            break;
        names.append(value);
    }
    QCOMPARE(names, (QStringList{u"Driver1"_s, u"Pass"_s}));
}

void TestTaggedText::getDetailWithoutOpeningTagLeavesValue()
{
    qint32 position = 5;
    QString value = u"kept"_s;
    TaggedText::readValue(u"<Name>x</Name>"_s, position, u"Name"_s, value);
    QCOMPARE(position, 0);
    QCOMPARE(value, u"kept"_s);
    position = 400;
    TaggedText::readValue(u"<Name>x</Name>"_s, position, u"Name"_s, value);
    QCOMPARE(position, 0);
}

void TestTaggedText::getDetailFailsOnUnclosedElementsAndBadPositions()
{
    for (const QString& doc : {u"<Name>x"_s, u"<Name x"_s}) {
        qint32 position = 1;
        QString value = u"kept"_s;
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 TaggedText::readValue(doc, position, u"Name"_s, value));
        QCOMPARE(position, 1);
        QCOMPARE(value, u"kept"_s);
    }
    qint32 zero = 0;
    QString value;
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                             TaggedText::readValue(u"<Name>x</Name>"_s, zero, u"Name"_s, value));
}

void TestTaggedText::selfClosingAndNestedElements()
{
    // A self-closing element reaches into the next element of its name.
    QString doc = u"<Name/><b/><Name>x</Name>"_s;
    qint32 position = 1;
    QString value;
    TaggedText::readValue(doc, position, u"Name"_s, value);
    QCOMPARE(value, u"<b/><Name>x"_s);
    qint32 xx = 1;
    QString lone = u"<Name/><b/>"_s;
    TaggedText::replaceValue(lone, xx, u"Name"_s, u"y"_s);
    QCOMPARE(xx, 0);
    QCOMPARE(lone, u"<Name/><b/>"_s);

    // A nested element of the same name cuts the outer one.
    position = 1;
    TaggedText::readValue(u"<E><E>in</E>out</E>"_s, position, u"E"_s, value);
    QCOMPARE(value, u"<E>in"_s);
}

void TestTaggedText::putDetailReplacesOnlyTheValue()
{
    QString doc = u"<x><Name d:type=\"cDeltaString\">Old</Name><English></English></x>"_s;
    qint32 xx = 1;
    TaggedText::replaceValue(doc, xx, u"Name"_s, u"Brand new"_s);
    QCOMPARE(doc, u"<x><Name d:type=\"cDeltaString\">Brand new</Name><English></English></x>"_s);
    QCOMPARE(xx, 35); // where "</Name" stood before the edit
    TaggedText::replaceValue(doc, xx, u"English"_s, u"Brand new"_s);
    QCOMPARE(
        doc,
        u"<x><Name d:type=\"cDeltaString\">Brand new</Name><English>Brand new</English></x>"_s);
}

void TestTaggedText::shorterReplacementSkipsTheNextElement()
{
    // The returned position lies past the new closing tag by the difference in length, so
    // the next opening tag that now starts before it is skipped.
    QString doc = u"<Name>LongOldValue</Name><English>e1</English><English>e2</English>"_s;
    qint32 xx = 1;
    TaggedText::replaceValue(doc, xx, u"Name"_s, u"N"_s);
    QCOMPARE(xx, 19);
    TaggedText::replaceValue(doc, xx, u"English"_s, u"X"_s);
    QCOMPARE(doc, u"<Name>N</Name><English>e1</English><English>X</English>"_s);
}

void TestTaggedText::longerReplacementFindsTheNextElement()
{
    QString doc = u"<Name>a</Name><English>e1</English><English>e2</English>"_s;
    qint32 xx = 1;
    TaggedText::replaceValue(doc, xx, u"Name"_s, u"a much longer name"_s);
    TaggedText::replaceValue(doc, xx, u"English"_s, u"X"_s);
    QCOMPARE(doc, u"<Name>a much longer name</Name><English>X</English><English>e2</English>"_s);
}

void TestTaggedText::failedPutDetailFailsTheRestOfTheChain()
{
    const QString original = u"<Name>a</Name><English>e</English>"_s;
    QString doc = original;
    qint32 xx = 1;
    TaggedText::replaceValue(doc, xx, u"Missing"_s, u"X"_s);
    QCOMPARE(xx, 0);
    TaggedText::replaceValue(doc, xx, u"English"_s, u"X"_s);
    QCOMPARE(xx, 0);
    QCOMPARE(doc, original);
    xx = -3;
    TaggedText::replaceValue(doc, xx, u"Name"_s, u"X"_s);
    QCOMPARE(xx, 0);
    QCOMPARE(doc, original);
}

QTEST_GUILESS_MAIN(TestTaggedText)
#include "tst_taggedtext.moc"
