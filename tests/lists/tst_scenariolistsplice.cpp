// The text work on a route's scenario list: removal of earlier records and insertion of
// the new one.
#include "lists/ScenarioListSplice.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>

using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

QString record(const QString& id)
{
    return u"\t\t<cScenarioProperties>\r\n\t\t\t<DevString>"_s + id +
           u"</DevString>\r\n\t\t</cScenarioProperties>\r\n"_s;
}

QString list(const QStringList& ids)
{
    QString text = u"<cScenarioList>\r\n\t<Record>\r\n"_s;
    for (const QString& id : ids)
        text += record(id);
    return text + u"\t</Record>\r\n</cScenarioList>\r\n"_s;
}

// A record in the game's shape: its id in the ID element, its name in the DisplayName one.
QString namedRecord(const QString& id, const QString& name)
{
    return u"\t\t<cScenarioProperties d:id=\"7\">\r\n\t\t\t<ID>\r\n\t\t\t\t<cGUID>\r\n"
           u"\t\t\t\t\t<DevString d:type=\"cDeltaString\">"_s +
           id +
           u"</DevString>\r\n\t\t\t\t</cGUID>\r\n\t\t\t</ID>\r\n\t\t\t<DisplayName>\r\n"
           u"\t\t\t\t<Localisation-cUserLocalisedString>\r\n"
           u"\t\t\t\t\t<English d:type=\"cDeltaString\">"_s +
           name +
           u"</English>\r\n\t\t\t\t</Localisation-cUserLocalisedString>\r\n"
           u"\t\t\t</DisplayName>\r\n\t\t</cScenarioProperties>\r\n"_s;
}

// Three scenarios, one of whose ids begins with another's.
QString namedList()
{
    return u"<cScenarioList>\r\n\t<Record>\r\n"_s + namedRecord(u"ID-10"_s, u"Quarry Empties"_s) +
           namedRecord(u"ID-1"_s, u"Morning Stopper"_s) +
           namedRecord(u"ID-2"_s, u"Evening Stopper"_s) + u"\t</Record>\r\n</cScenarioList>\r\n"_s;
}

// The DevString texts left in a list, in order.
QStringList idsIn(const QString& text)
{
    QStringList ids;
    static const QRegularExpression devString(u"<DevString[^>]*>([^<]*)</DevString>"_s);
    for (const auto& match : devString.globalMatch(text))
        ids.append(match.captured(1));
    return ids;
}

// The records kept for keys, as "id by key: name", each checked to open where it says.
QStringList described(const QString& text, const QList<ScenarioListSplice::ForeignRecord>& kept)
{
    QStringList lines;
    for (const auto& record : kept) {
        const QString opening = text.mid(record.start, 20);
        lines.append(opening.compare(u"<cScenarioProperties"_s, Qt::CaseInsensitive) == 0
                         ? record.id + u" by "_s + record.key + u": "_s + record.name
                         : u"not at a record: "_s + opening);
    }
    return lines;
}

// The records an edit cut out, as "id: name", in the order they went.
QStringList removedLines(const QList<ScenarioListSplice::ForeignRecord>& removed)
{
    QStringList lines;
    for (const auto& record : removed)
        lines.append(record.id + u": "_s + record.name);
    return lines;
}

} // namespace

class TestScenarioListSplice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void removal_data();
    void removal();
    void keyOutsideEveryRecordIsAProblem_data();
    void keyOutsideEveryRecordIsAProblem();
    void recordsOfOtherScenariosStayUnlessRemovable_data();
    void recordsOfOtherScenariosStayUnlessRemovable();
    void quickRemovalAgreesWithThePlainOne();
    void insertion_data();
    void insertion();
};

void TestScenarioListSplice::removal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("expected");
    const QString gap = u"\t\t\r\n"_s; // what a removed record leaves
    QTest::newRow("first of three")
        << list({u"ID-A"_s, u"ID-B"_s, u"ID-C"_s}) << QStringList{u"id-a"_s}
        << list({u"ID-B"_s, u"ID-C"_s}).replace(u"<Record>\r\n"_s, u"<Record>\r\n"_s + gap);
    QTest::newRow("keys in turn, any case")
        << list({u"ID-A"_s, u"ID-B"_s, u"ID-C"_s})
        << QStringList{u"id-c"_s, u""_s, u"nowhere"_s, u"ID-A"_s}
        << u"<cScenarioList>\r\n\t<Record>\r\n"_s + gap + record(u"ID-B"_s) + gap +
               u"\t</Record>\r\n</cScenarioList>\r\n"_s;
    QTest::newRow("only the first occurrence of a key")
        << list({u"ID-X"_s, u"ID-X"_s}) << QStringList{u"id-x"_s}
        << u"<cScenarioList>\r\n\t<Record>\r\n"_s + gap + record(u"ID-X"_s) +
               u"\t</Record>\r\n</cScenarioList>\r\n"_s;
    QTest::newRow("tags in other case")
        << u"<R>\r\n\t<CSCENARIOPROPERTIES>k</cscenarioproperties>\r\n</Record>"_s
        << QStringList{u"K"_s} << u"<R>\r\n\t\r\n</Record>"_s;
    // Keys too long for the one-pass search together are searched one by one.
    const QString longKey = u"L"_s.repeated(6000);
    QTest::newRow("keys longer than the one-pass search holds")
        << list({u"ID-A"_s, longKey + u'1', longKey + u'2'})
        << QStringList{longKey + u'2', longKey + u'1'}
        << list({u"ID-A"_s}).replace(u"\t</Record>"_s, gap + gap + u"\t</Record>"_s);
    QTest::newRow("the key in the record's attributes")
        << u"<cScenarioProperties id=\"k7\">x</cScenarioProperties>;"_s << QStringList{u"K7"_s}
        << u";"_s;
}

void TestScenarioListSplice::removal()
{
    QFETCH(QString, text);
    QFETCH(QStringList, keys);
    QFETCH(QString, expected);
    const auto result = ScenarioListSplice::removeRecords(text, keys);
    QVERIFY2(result.ok(), qPrintable(result.problem));
    QCOMPARE(result.text, expected);
}

void TestScenarioListSplice::keyOutsideEveryRecordIsAProblem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::newRow("before the first record") << list({u"A"_s}) << u"cScenarioList"_s;
    QTest::newRow("between records")
        << u"<cScenarioProperties>a</cScenarioProperties> here <cScenarioProperties>b"
           u"</cScenarioProperties>"_s
        << u"here"_s;
    QTest::newRow("in a record never closed") << u"<cScenarioProperties>key"_s << u"key"_s;
    QTest::newRow("inside the opening tag's name") << list({u"A"_s}) << u"cScenarioProp"_s;
}

void TestScenarioListSplice::keyOutsideEveryRecordIsAProblem()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    const auto result = ScenarioListSplice::removeRecords(text, {key});
    QVERIFY(!result.ok());
    QVERIFY2(result.problem.contains(key), qPrintable(result.problem));
}

void TestScenarioListSplice::recordsOfOtherScenariosStayUnlessRemovable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("removable"); // ids whose records may go
    QTest::addColumn<QStringList>("left");      // ids left in the list
    QTest::addColumn<QStringList>("kept");
    const QString three = namedList();
    QTest::newRow("own id, in any case") << three << QStringList{u"id-2"_s} << QStringList{}
                                         << QStringList{u"ID-10"_s, u"ID-1"_s} << QStringList{};
    QTest::newRow("a tag every record has")
        << three << QStringList{u"DisplayName"_s} << QStringList{}
        << QStringList{u"ID-10"_s, u"ID-1"_s, u"ID-2"_s}
        << QStringList{u"ID-10 by DisplayName: Quarry Empties"_s};
    QTest::newRow("a tag every record has, the record removable")
        << three << QStringList{u"DisplayName"_s} << QStringList{u"ID-10"_s}
        << QStringList{u"ID-1"_s, u"ID-2"_s} << QStringList{};
    QTest::newRow("another scenario's name")
        << three << QStringList{u"evening stopper"_s} << QStringList{}
        << QStringList{u"ID-10"_s, u"ID-1"_s, u"ID-2"_s}
        << QStringList{u"ID-2 by evening stopper: Evening Stopper"_s};
    QTest::newRow("the beginning of a longer id goes on to its own record")
        << three << QStringList{u"ID-1"_s} << QStringList{} << QStringList{u"ID-10"_s, u"ID-2"_s}
        << QStringList{u"ID-10 by ID-1: Quarry Empties"_s};
    QTest::newRow("a name leads to the record of another key")
        << three << QStringList{u"Morning Stopper"_s, u"id-1"_s} << QStringList{}
        << QStringList{u"ID-10"_s, u"ID-2"_s} << QStringList{u"ID-10 by id-1: Quarry Empties"_s};
    QTest::newRow("a record two keys reach is listed once")
        << three << QStringList{u"DisplayName"_s, u"English"_s} << QStringList{}
        << QStringList{u"ID-10"_s, u"ID-1"_s, u"ID-2"_s}
        << QStringList{u"ID-10 by DisplayName: Quarry Empties"_s};
    QTest::newRow("an id outside the ID element is none")
        << list({u"X"_s}) << QStringList{u"X"_s} << QStringList{} << QStringList{u"X"_s}
        << QStringList{u" by X: "_s};
}

void TestScenarioListSplice::recordsOfOtherScenariosStayUnlessRemovable()
{
    QFETCH(QString, text);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, removable);
    QFETCH(QStringList, left);
    QFETCH(QStringList, kept);
    ScenarioListSplice::Removable starts;
    for (const QString& id : removable)
        starts.insert(text.lastIndexOf(u"<cScenarioProperties"_s, text.indexOf(u'>' + id + u'<')));
    const auto result = ScenarioListSplice::removeRecords(text, keys, starts);
    QVERIFY2(result.ok(), qPrintable(result.problem));
    QCOMPARE(idsIn(result.text), left);
    QCOMPARE(described(text, result.kept), kept);
    // The plain way and the whole edit agree.
    const auto plain = ScenarioListSplice::removeRecordsOneByOne(text, keys, starts);
    QCOMPARE(plain.text, result.text);
    QCOMPARE(described(text, plain.kept), kept);
    const auto edited = ScenarioListSplice::edit(text, keys, namedRecord(u"N"_s, u"New"_s), starts);
    QCOMPARE(idsIn(edited.text), left + QStringList{u"N"_s});
    QCOMPARE(described(text, edited.kept), kept);
    // Each record that went is named once, with its own id and name.
    QStringList gone = idsIn(text);
    for (const QString& id : std::as_const(left))
        gone.removeOne(id);
    QStringList removedIds;
    for (const auto& record : result.removed)
        removedIds.append(record.id);
    std::sort(gone.begin(), gone.end());
    std::sort(removedIds.begin(), removedIds.end());
    QCOMPARE(removedIds, gone);
    QCOMPARE(removedLines(plain.removed), removedLines(result.removed));
    QCOMPARE(removedLines(edited.removed), removedLines(result.removed));
}

void TestScenarioListSplice::quickRemovalAgreesWithThePlainOne()
{
    // Short records of few letters and short keys, so that keys and tags often form where a
    // removal joins the text, or occur between and inside tags.
    QRandomGenerator random(20261207);
    const QString letters = u"ab\t\r\n>\u00C9\u0178\u20AC"_s;
    const QStringList fragments{u"<cScenario"_s, u"Properties"_s, u"</Record>"_s, u"</rec"_s,
                                u"ord>"_s};
    const auto some = [&](int most) {
        QString text;
        for (int n = int(random.bounded(most + 1)); n > 0; --n) {
            if (random.bounded(10) == 0)
                text += fragments[random.bounded(int(fragments.size()))];
            else
                text += letters[random.bounded(int(letters.size()))];
        }
        return text;
    };
    const auto lines = [](const QList<ScenarioListSplice::ForeignRecord>& kept) {
        QStringList out;
        for (const auto& record : kept)
            out.append(QString::number(record.start) + u'|' + record.key + u'|' + record.id + u'|' +
                       record.name);
        return out;
    };
    int removedSomething = 0;
    int problems = 0;
    int keptSomething = 0;
    for (int round = 0; round < 4000; ++round) {
        QString text = some(3);
        QStringList ids;
        for (int r = int(random.bounded(6)); r > 0; --r) {
            text += random.bounded(4) == 0 ? u"<cScenario"_s : u"<cScenarioProperties"_s;
            text += some(2);
            if (random.bounded(2) == 0) {
                ids.append(some(2));
                text += u"<ID><DevString>"_s + ids.last() + u"</DevString></ID>"_s;
            }
            text += some(2);
            text += random.bounded(6) == 0 ? u"Properties"_s : u"</cScenarioProperties>"_s;
            text += some(3);
        }
        if (random.bounded(3) > 0)
            text += random.bounded(4) == 0 ? u"\r\n\t<Record/>\r\n"_s : u"\r\n\t</Record>\r\n"_s;
        QStringList keys;
        for (int k = int(random.bounded(5)); k > 0; --k)
            keys.append(random.bounded(8) == 0   ? u"ties<"_s
                        : random.bounded(3) == 0 ? ids.value(random.bounded(int(ids.size()) + 1))
                                                 : some(3));
        const QString record = random.bounded(2) ? u"R\r\n"_s : u"R"_s;

        const auto quick = ScenarioListSplice::removeRecords(text, keys);
        const auto plain = ScenarioListSplice::removeRecordsOneByOne(text, keys);
        QCOMPARE(quick.problem, plain.problem);
        QCOMPARE(quick.text, plain.text);
        const auto edited = ScenarioListSplice::edit(text, keys, record);
        const auto inserted =
            plain.ok() ? ScenarioListSplice::insertRecord(plain.text, record) : plain;
        QCOMPARE(edited.problem, inserted.problem);
        QCOMPARE(edited.text, inserted.text);
        removedSomething += plain.ok() && plain.text != text;
        problems += !plain.ok();

        // Some records removable, the others kept unless their id is one of the keys.
        ScenarioListSplice::Removable removable;
        for (qsizetype at = text.indexOf(u"<cScenarioProperties"_s, 0, Qt::CaseInsensitive);
             at >= 0; at = text.indexOf(u"<cScenarioProperties"_s, at + 1, Qt::CaseInsensitive)) {
            if (random.bounded(2) == 0)
                removable.insert(at);
        }
        const auto guardedQuick = ScenarioListSplice::removeRecords(text, keys, removable);
        const auto guardedPlain = ScenarioListSplice::removeRecordsOneByOne(text, keys, removable);
        QCOMPARE(guardedQuick.problem, guardedPlain.problem);
        QCOMPARE(guardedQuick.text, guardedPlain.text);
        QCOMPARE(lines(guardedQuick.kept), lines(guardedPlain.kept));
        QCOMPARE(removedLines(guardedQuick.removed), removedLines(guardedPlain.removed));
        const auto guardedEdit = ScenarioListSplice::edit(text, keys, record, removable);
        const auto guardedInserted =
            guardedPlain.ok() ? ScenarioListSplice::insertRecord(guardedPlain.text, record)
                              : guardedPlain;
        QCOMPARE(guardedEdit.problem, guardedInserted.problem);
        QCOMPARE(guardedEdit.text, guardedInserted.text);
        if (guardedEdit.ok())
            QCOMPARE(lines(guardedEdit.kept), lines(guardedPlain.kept));
        keptSomething += !guardedPlain.kept.isEmpty();
    }
    // Every kind of outcome was really tried.
    QVERIFY2(removedSomething > 150, qPrintable(QString::number(removedSomething)));
    QVERIFY2(problems > 150, qPrintable(QString::number(problems)));
    QVERIFY2(keptSomething > 100, qPrintable(QString::number(keptSomething)));
}

void TestScenarioListSplice::insertion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("newRecord");
    QTest::addColumn<QString>("expected"); // empty: a problem
    QTest::newRow("after the last record")
        << list({u"A"_s}) << record(u"N"_s) << list({u"A"_s, u"N"_s});
    QTest::newRow("into an empty list") << list({}) << record(u"N"_s)
                                        << u"<cScenarioList>\r\n\t<Record>\r\n"_s + record(u"N"_s) +
                                               u"\t</Record>\r\n</cScenarioList>\r\n"_s;
    QTest::newRow("record without a line end keeps the list's")
        << list({u"A"_s}) << u"<cScenarioProperties/>"_s
        << u"<cScenarioList>\r\n\t<Record>\r\n"_s + record(u"A"_s) +
               u"<cScenarioProperties/>\r\n\t</Record>\r\n</cScenarioList>\r\n"_s;
    QTest::newRow("the last closing Record, any case")
        << u"<a>\r\n\t<Record>\r\n\t\t<b/>\r\n\t</Record>\r\n\t<Record>\r\n\t\t<c/>\r\n\t</RECORD>"_s
        << u"N\r\n"_s
        << u"<a>\r\n\t<Record>\r\n\t\t<b/>\r\n\t</Record>\r\n\t<Record>\r\n\t\t<c/>\r\nN\r\n\t</RECORD>"_s;
    QTest::newRow("a tag right before the closing one")
        << u"<Record><b/></Record>"_s << u"N"_s << u"<Record><b/>N</Record>"_s;
    QTest::newRow("empty list, opened")
        << u"<L>\r\n\t<Record/>\r\n</L>\r\n"_s << u"\t\tN\r\n"_s
        << u"<L>\r\n\t<Record>\r\n\t\tN\r\n\t</Record>\r\n</L>\r\n"_s;
    QTest::newRow("empty list in other letter case, not on a line of its own")
        << u"<L><record/></L>"_s << u"N"_s << u"<L><record>\r\nN\r\n</record></L>"_s;
    QTest::newRow("no closing Record") << u"<Records/>\r\n"_s << u"N"_s << QString();
    QTest::newRow("two empty lists") << u"<Record/><Record/>"_s << u"N"_s << QString();
    QTest::newRow("nothing before the closing Record") << u"</Record>"_s << u"N"_s << QString();
}

void TestScenarioListSplice::insertion()
{
    QFETCH(QString, text);
    QFETCH(QString, newRecord);
    QFETCH(QString, expected);
    const auto result = ScenarioListSplice::insertRecord(text, newRecord);
    QCOMPARE(result.ok(), !expected.isEmpty());
    QCOMPARE(result.text, expected);
}

QTEST_GUILESS_MAIN(TestScenarioListSplice)
#include "tst_scenariolistsplice.moc"
