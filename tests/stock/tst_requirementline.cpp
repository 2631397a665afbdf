#include "stock/CodeTemplate.h"
#include "stock/RequirementLine.h"

#include <QTest>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

// Path, two lamp numbers, six code texts, three common values.
QString line(const QString& lamp1, const QString& lamp2, const QString& common3 = u"c3"_s)
{
    return u"Kuju\\Coach_1234.xml,"_s + lamp1 + u',' + lamp2 + u",t1,t2,t3,t4,t5,t6,c1,c2,"_s +
           common3;
}

const QString kTemplate = u"[Headlamp|444444|555555|666666|777777|111111|222222|333333]"_s;

} // namespace

class TestRequirementLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splitsTwelveFieldsKeepingCommasOfTheLast();
    void tooFewCommasFail_data();
    void tooFewCommasFail();
    void lampNumbers_data();
    void lampNumbers();
    void lampNumbersOutsideSixteenBitsOverflow_data();
    void lampNumbersOutsideSixteenBitsOverflow();
    void stockPathEndsInBin();

    void fillRules_data();
    void fillRules();
    void firstLampZeroWithSecondSetIsRejected();
    void replacementsIgnoreCaseAndNeverRescan();
    void laterPlaceholderInAValueIsReplacedAgain();
    void afterEachRunsOncePerReplacement();
};

void TestRequirementLine::splitsTwelveFieldsKeepingCommasOfTheLast()
{
    const RequirementLine parsed(u" Kuju\\A_1.bin , 1,2,a,,c,d,e,f,g,h,x, y ,z"_s);
    QCOMPARE(parsed.field(1), u" Kuju\\A_1.bin "_s);
    QCOMPARE(parsed.field(2), u" 1"_s);
    QCOMPARE(parsed.field(5), QString());
    QCOMPARE(parsed.field(11), u"h"_s);
    QCOMPARE(parsed.field(12), u"x, y ,z"_s);
    QCOMPARE(parsed.lampNumber1(), qint16(1));
    QCOMPARE(parsed.lampNumber2(), qint16(2));

    // Exactly eleven commas: the last field is empty, not missing.
    const RequirementLine bare(u",,,,,,,,,,,"_s);
    QCOMPARE(bare.field(12), QString());
    QCOMPARE(bare.lampNumber1(), qint16(0));
}

void TestRequirementLine::tooFewCommasFail_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ten commas") << u"Kuju\\A_1.bin,1,2,a,b,c,d,e,f,g,h"_s;
    QTest::newRow("no comma") << u"Kuju\\A_1.bin"_s;
    QTest::newRow("empty") << QString();
}

void TestRequirementLine::tooFewCommasFail()
{
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, RequirementLine{text});
}

void TestRequirementLine::lampNumbers_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("expected");
    QTest::newRow("2.5 to even below") << u"2.5"_s << 2;
    QTest::newRow("3.5 to even above") << u"3.5"_s << 4;
    QTest::newRow("-2.5") << u"-2.5"_s << -2;
    QTest::newRow("2.51") << u"2.51"_s << 3;
    QTest::newRow("7x stops at x") << u"7x"_s << 7;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("no number") << u"x7"_s << 0;
    QTest::newRow("blanks inside") << u" 1 2 "_s << 12;
    QTest::newRow("exponent") << u"1e2"_s << 100;
    QTest::newRow("exponent without digits") << u"3e"_s << 3;
    QTest::newRow("second point stops") << u"1.5.9"_s << 2;
    QTest::newRow("tiny beyond what a double holds") << u"0."_s + QString(400, u'0') + u"1"_s << 0;
    QTest::newRow("hexadecimal") << u"&H1F"_s << 31;
    QTest::newRow("largest") << u"32767"_s << 32767;
    QTest::newRow("smallest") << u"-32768.5"_s << -32768;
}

void TestRequirementLine::lampNumbers()
{
    QFETCH(QString, field);
    QFETCH(int, expected);
    const RequirementLine parsed(line(field, u"0"_s));
    QCOMPARE(int(parsed.lampNumber1()), expected);
    const RequirementLine second(line(u"0"_s, field));
    QCOMPARE(int(second.lampNumber2()), expected);
}

void TestRequirementLine::lampNumbersOutsideSixteenBitsOverflow_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("32768") << u"32768"_s;
    QTest::newRow("32767.5 rounds out") << u"32767.5"_s;
    QTest::newRow("-32769") << u"-32769"_s;
    QTest::newRow("huge exponent") << u"1e999"_s;
    QTest::newRow("many digits outweigh a small exponent")
        << u"1"_s + QString(400, u'0') + u"e-5"_s;
}

void TestRequirementLine::lampNumbersOutsideSixteenBitsOverflow()
{
    QFETCH(QString, field);
    QVERIFY_THROWS_EXCEPTION(std::overflow_error, RequirementLine{line(field, u"1"_s)});
    QVERIFY_THROWS_EXCEPTION(std::overflow_error, RequirementLine{line(u"1"_s, field)});
}

void TestRequirementLine::stockPathEndsInBin()
{
    QCOMPARE(RequirementLine::stockPath(u"Kuju\\Coach_1.XML,1,2"_s), u"Kuju\\Coach_1.bin"_s);
    QCOMPARE(RequirementLine::stockPath(u"Kuju\\Coach_1.bin"_s), u"Kuju\\Coach_1.bin"_s);
}

void TestRequirementLine::fillRules_data()
{
    QTest::addColumn<QString>("lamp1");
    QTest::addColumn<QString>("lamp2");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("0 and 0: one tail lamp copy")
        << u"0"_s << u"0"_s << u"[Taillamp|c1|c2|c3|-1.0000|t1|t2|t3]"_s;
    QTest::newRow("5 and 0: one head lamp copy")
        << u"5"_s << u"0"_s << u"[Headlamp 5|c1|c2|c3|1.0000|t1|t2|t3]"_s;
    QTest::newRow("1 and 2: two copies, first one first")
        << u"1"_s << u"2"_s
        << u"[Headlamp 1|c1|c2|c3|1.0000|t1|t2|t3][Headlamp 2|c1|c2|c3|1.0000|t4|t5|t6]"_s;
    QTest::newRow("negative lamp numbers")
        << u"-3"_s << u"-4"_s
        << u"[Headlamp-3|c1|c2|c3|1.0000|t1|t2|t3][Headlamp-4|c1|c2|c3|1.0000|t4|t5|t6]"_s;
}

void TestRequirementLine::fillRules()
{
    QFETCH(QString, lamp1);
    QFETCH(QString, lamp2);
    QFETCH(QString, fragment);
    QCOMPARE(CodeTemplate::fill(kTemplate, RequirementLine(line(lamp1, lamp2))), fragment);
}

void TestRequirementLine::firstLampZeroWithSecondSetIsRejected()
{
    // No rule covers it; inserting the template unfilled would put placeholders in a game file.
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                             CodeTemplate::fill(kTemplate, RequirementLine(line(u"0"_s, u"3"_s))));
    QVERIFY_THROWS_EXCEPTION(
        std::invalid_argument,
        CodeTemplate::fill(kTemplate, RequirementLine(line(u"0.4"_s, u"2.6"_s))));
}

void TestRequirementLine::replacementsIgnoreCaseAndNeverRescan()
{
    // Every occurrence, in any case; a value holding its own placeholder does not loop.
    const RequirementLine parsed(u"p,1,0,Headlamp 111111,t2,t3,t4,t5,t6,c1,c2,c3"_s);
    QCOMPARE(CodeTemplate::fill(u"headlamp HEADLAMP 111111 111111"_s, parsed),
             u"Headlamp 1 Headlamp 1 Headlamp 111111 Headlamp 111111"_s);
}

void TestRequirementLine::laterPlaceholderInAValueIsReplacedAgain()
{
    // Common value 1 runs before the code texts, so the code text lands inside it; the
    // first code text runs after 777777, so its "777777" stays.
    const RequirementLine parsed(u"p,0,0,777777,t2,t3,t4,t5,t6,<111111>,c2,c3"_s);
    QCOMPARE(CodeTemplate::fill(u"444444/111111"_s, parsed), u"<777777>/777777"_s);
}

void TestRequirementLine::afterEachRunsOncePerReplacement()
{
    int oneCopy = 0;
    CodeTemplate::fill(kTemplate, RequirementLine(line(u"1"_s, u"0"_s)), [&] { ++oneCopy; });
    QCOMPARE(oneCopy, 8);
    int twoCopies = 0;
    CodeTemplate::fill(kTemplate, RequirementLine(line(u"1"_s, u"2"_s)), [&] { ++twoCopies; });
    QCOMPARE(twoCopies, 16);
}

QTEST_GUILESS_MAIN(TestRequirementLine)
#include "tst_requirementline.moc"
