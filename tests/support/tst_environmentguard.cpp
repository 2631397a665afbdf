#include "EnvironmentGuard.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane::test;

namespace {

// The test's own variables, by short name; the state lists the set ones as "A=value".
const QByteArray kPrefix = "VELTRANE_GUARD_TEST_";
const QList<QByteArray> kNames = {"A", "B"};

QStringList state()
{
    QStringList set;
    for (const QByteArray& name : kNames) {
        if (qEnvironmentVariableIsSet(kPrefix + name))
            set.append(QString::fromLatin1(name + '=' + qgetenv(kPrefix + name)));
    }
    return set;
}

// Only the test's variables, set as listed ("A=value").
void prepare(const QStringList& set)
{
    for (const QByteArray& name : kNames)
        qunsetenv(kPrefix + name);
    for (const QString& entry : set)
        qputenv(kPrefix + entry.section(u'=', 0, 0).toLatin1(), entry.section(u'=', 1).toLatin1());
}

// "A=value" sets A through the guard, "-A" unsets it.
void apply(const QStringList& steps, EnvironmentGuard& guard)
{
    for (const QString& step : steps) {
        if (step.startsWith(u'-'))
            guard.unset(kPrefix + step.mid(1).toLatin1());
        else
            guard.set(kPrefix + step.section(u'=', 0, 0).toLatin1(),
                      step.section(u'=', 1).toLatin1());
    }
}

} // namespace

class TestEnvironmentGuard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void putsEveryVariableBack_data();
    void putsEveryVariableBack();
};

void TestEnvironmentGuard::putsEveryVariableBack_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("during");

    QTest::newRow("unset, then set")
        << QStringList() << QStringList{u"A=new"_s} << QStringList{u"A=new"_s};
    QTest::newRow("unset, then unset") << QStringList() << QStringList{u"-A"_s} << QStringList();
    QTest::newRow("empty is not unset")
        << QStringList{u"A="_s} << QStringList{u"A=new"_s} << QStringList{u"A=new"_s};
    QTest::newRow("set twice goes back to the first value")
        << QStringList{u"A=old"_s} << QStringList{u"A=1"_s, u"A=2"_s} << QStringList{u"A=2"_s};
    QTest::newRow("unset after a set")
        << QStringList{u"A=old"_s} << QStringList{u"A=1"_s, u"-A"_s} << QStringList();
    QTest::newRow("set after an unset")
        << QStringList() << QStringList{u"-A"_s, u"A=1"_s} << QStringList{u"A=1"_s};
    QTest::newRow("two variables")
        << QStringList{u"B=old"_s} << QStringList{u"A=1"_s, u"B=2"_s, u"-B"_s}
        << QStringList{u"A=1"_s};
}

void TestEnvironmentGuard::putsEveryVariableBack()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, during);
    prepare(before);
    QCOMPARE(state(), before);
    {
        EnvironmentGuard guard;
        apply(steps, guard);
        QCOMPARE(state(), during);
    }
    QCOMPARE(state(), before);
}

QTEST_GUILESS_MAIN(TestEnvironmentGuard)
#include "tst_environmentguard.moc"
