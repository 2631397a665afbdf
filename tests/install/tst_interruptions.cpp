// Installs killed at every point where they let the window breathe, and at random moments:
// every file of the game is then its old self or its new one, and the route list and the
// route's scenario list are whole.
#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "InstallFixture.h"
#include "ScriptedUserInterface.h"
#include "journal/UndoOperation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <filesystem>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

const QString kRouteFolder = u"Content/Routes/R1/"_s;

QString probe()
{
    return qEnvironmentVariable("VELTRANE_BUILD_DIR") + u"/tests/install-probe"_s;
}

void copyTree(const QString& from, const QString& to)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::remove_all(QFile::encodeName(to).toStdString(), error);
    fs::copy(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(),
             fs::copy_options::recursive, error);
    if (error)
        qFatal("cannot copy the test game: %s", error.message().c_str());
}

// Work files of the install, which the game does not read: a file under a passing name that
// never took its name, and the cache-clearing batch file.
bool isWorkFile(const QString& relative)
{
    static const QRegularExpression passing(u"(^|/)\\.[^/]*\\.veltrane-[^/]*$"_s);
    return passing.match(relative).hasMatch() || relative.endsWith(u"del_blueprints.bat"_s);
}

const QByteArray kCoach =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<cBlueprintLoader>\r\n\t<Blueprint>\r\n"
    "\t\t<cWagonBlueprint>\r\n\t\t\t<Name d:type=\"cDeltaString\">Coach</Name>\r\n"
    "\t\t\t<DisplayName>\r\n\t\t\t\t<English d:type=\"cDeltaString\">Coach</English>\r\n"
    "\t\t\t</DisplayName>\r\n\t\t\t<Children>\r\n\t\t\t\t<cEntityContainerBlueprint-sChild>\r\n"
    "\t\t\t\t\t<ChildName d:type=\"cDeltaString\">Passenger1</ChildName>\r\n"
    "\t\t\t\t</cEntityContainerBlueprint-sChild>\r\n\t\t\t</Children>\r\n"
    "\t\t</cWagonBlueprint>\r\n\t</Blueprint>\r\n</cBlueprintLoader>\r\n";

// A game with a large route list, a route with a large scenario list, and a tree of assets
// that the package replaces half of; the package, whose scenario needs rolling stock that is
// made from a base; and the game as a complete install leaves it.
class Interrupted {
public:
    Interrupted(const QString& kind, int assets) : m_kind(kind)
    {
        m_environment.set("VELTRANE_SUBSTITUTE_FAIL", QByteArray());
        QStringList routes;
        for (int i = 0; i < 12000; ++i)
            routes.append(u"route-"_s + QString::number(i));
        writeFile(m_template + u"/Content/Routes.xml"_s, InstallFixture::routeList(routes));
        QByteArray scenarios = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                               "<cScenarioList d:id=\"1\">\r\n\t<Record>\r\n";
        for (int i = 0; i < 1500; ++i)
            scenarios += "\t\t<cScenarioProperties d:id=\"5\">\r\n\t\t\t<DevString "
                         "d:type=\"cDeltaString\">SC-" +
                         QByteArray::number(i) + "</DevString>\r\n\t\t</cScenarioProperties>\r\n";
        scenarios += "\t</Record>\r\n</cScenarioList>\r\n";
        writeFile(m_template + u'/' + kRouteFolder + u"Scenarios.bin"_s, serialised(scenarios));
        for (int i = 0; i < assets; ++i) {
            const QString name = u"Assets/Kuju/Stock%1/Wagon%2.bin"_s.arg(i / 100).arg(i);
            writeFile(m_template + u'/' + name, QByteArray(1000 + i % 97, char('a' + i % 26)));
            if (i % 2 == 0)
                writeFile(m_package + u"/Rail Simulator/"_s + name, QByteArray(2000 + i % 89, 'N'));
        }
        writeFile(m_template + u"/Assets/Kuju/Stock/Coach.bin"_s, serialised(kCoach));
        writeFile(m_template + u"/Assets/Kuju/Blueprints.pak"_s, "cache");
        writeFile(m_package + u"/Rail Simulator/Assets/Kuju/New/Tank.bin"_s, "new tank");
        writeFile(m_package + u"/Veltrane.xxx"_s,
                  InstallFixture::routeRecord(u"route-77"_s, u"Seventy-seven"_s));
        writeFile(m_package + u"/Scenario.yyy"_s, "R1,SC-5\r\n");
        writeFile(m_package + u"/Scenario.zzz"_s,
                  "\t\t<cScenarioProperties d:id=\"5\">\r\n\t\t\t<DevString "
                  "d:type=\"cDeltaString\">SC-NEW</DevString>\r\n\t\t</cScenarioProperties>\r\n");
        writeFile(m_package + u"/Scenario.qqq"_s, "Kuju\\Stock\\Coach_DO.xml,0,0,,,,,,,,,\r\n");
        m_before = gameFiles(m_template);

        copyTree(m_template, m_game);
        QProcess whole;
        QElapsedTimer took;
        took.start();
        whole.start(probe(), {m_package, m_game, m_kind});
        if (!whole.waitForFinished(120000) || whole.exitCode() != 0)
            qFatal("the install does not complete: %s", whole.readAllStandardError().constData());
        m_eventPoints = whole.readAllStandardOutput().trimmed().toLong();
        m_wholeMs = int(took.elapsed());
        m_after = gameFiles(m_game);
    }

    long eventPoints() const { return m_eventPoints; }
    // How long the whole install took.
    int wholeMs() const { return m_wholeMs; }

    // Runs the install on a fresh game, ended after its Nth breath, or by the test after
    // afterMs; the failures of the game left behind, empty when there is none.
    QStringList interrupt(long killAt, int afterMs = -1, bool freshGame = true)
    {
        if (freshGame)
            copyTree(m_template, m_game);
        m_killed = false;
        QProcess run;
        QStringList arguments{m_package, m_game, m_kind};
        if (killAt > 0)
            arguments.append(QString::number(killAt));
        run.start(probe(), arguments);
        run.waitForStarted();
        if (afterMs >= 0 && !run.waitForFinished(afterMs))
            run.kill();
        run.waitForFinished(120000);
        m_killed = run.exitStatus() == QProcess::CrashExit;
        return damage();
    }

    // Takes the install cut short back as the program does when it starts again, answering
    // Yes; the files that are not as they were before the install.
    QStringList rollBack()
    {
        ScriptedUserInterface ui;
        ui.answerYes();
        // A run that ended before its kill point finished: it is undone instead.
        if (m_killed)
            UndoOperation(ui).offerRollback(HostPath::fromHost(m_game));
        else
            UndoOperation(ui).undo(HostPath::fromHost(m_game), 0);
        const QMap<QString, QByteArray> now = gameFiles(m_game);
        QStringList differing;
        for (auto it = m_before.cbegin(); it != m_before.cend(); ++it) {
            // The game rebuilds its blueprint caches; they are not kept.
            if (!it.key().endsWith(u"Blueprints.pak"_s) && now.value(it.key()) != it.value())
                differing.append(it.key());
        }
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            if (!m_before.contains(it.key()))
                differing.append(it.key() + u" is new"_s);
        }
        // Nor a folder the install made, nor a file under a passing name, stays behind.
        const QStringList before = namesBesideCaches(m_template);
        for (const QString& name : namesBesideCaches(m_game)) {
            if (!before.contains(name))
                differing.append(name + u" is left"_s);
        }
        return differing;
    }

private:
    // Every name below root, folders and hidden files too, but the program's own folder and
    // the blueprint caches.
    static QStringList namesBesideCaches(const QString& root)
    {
        QStringList names = entriesBelow(root);
        names.removeIf([](const QString& name) {
            return name.startsWith(u".veltrane/"_s) ||
                   name.contains(u"blueprints.pak"_s, Qt::CaseInsensitive);
        });
        return names;
    }

    QStringList damage() const
    {
        QStringList found;
        const QMap<QString, QByteArray> now = gameFiles(m_game);
        QStringList names = m_before.keys() + m_after.keys() + now.keys();
        names.removeDuplicates();
        for (const QString& name : std::as_const(names)) {
            if (isWorkFile(name))
                continue;
            const auto current = now.constFind(name);
            const auto old = m_before.constFind(name);
            const auto made = m_after.constFind(name);
            const bool asBefore = current == now.constEnd()
                                      ? old == m_before.constEnd()
                                      : old != m_before.constEnd() && *old == *current;
            const bool asAfter = current == now.constEnd()
                                     ? made == m_after.constEnd()
                                     : made != m_after.constEnd() && *made == *current;
            if (!asBefore && !asAfter)
                found.append(name);
        }
        // The lists must be there, whole, at every moment.
        for (const QString& list : {u"Content/Routes.xml"_s, kRouteFolder + u"Scenarios.bin"_s}) {
            if (!now.contains(list))
                found.append(list + u" is missing"_s);
        }
        return found;
    }

    QTemporaryDir m_dir;
    QString m_template = m_dir.path() + u"/template"_s;
    QString m_game = m_dir.path() + u"/Rail Simulator"_s;
    QString m_package = m_dir.path() + u"/package"_s;
    QString m_kind;
    EnvironmentGuard m_environment;
    QMap<QString, QByteArray> m_before;
    QMap<QString, QByteArray> m_after;
    long m_eventPoints = 0;
    int m_wholeMs = 0;
    bool m_killed = false;
};

} // namespace

class TestInterruptions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void killedAtEveryBreathLeavesEveryFileWhole_data();
    void killedAtEveryBreathLeavesEveryFileWhole();
    void killedInstallIsTakenBackWhole_data();
    void killedInstallIsTakenBackWhole();

private:
    EnvironmentGuard m_environment;
};

void TestInterruptions::initTestCase()
{
    QVERIFY2(QFile::exists(probe()), "the build provides install-probe");
    // The stand-in serialiser only, and no Wine: batch files run in our interpreter.
    m_environment.set(
        "PATH", QFile::encodeName(qEnvironmentVariable("VELTRANE_BUILD_DIR") + u"/substitute"_s));
}

void TestInterruptions::killedAtEveryBreathLeavesEveryFileWhole_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("route") << u"route"_s;
    QTest::newRow("scenario") << u"scenario"_s;
}

void TestInterruptions::killedAtEveryBreathLeavesEveryFileWhole()
{
    QFETCH(QString, kind);
    Interrupted install(kind, 24);
    QVERIFY(install.eventPoints() > 10);
    // The serialiser's runs take a step more or less from run to run, which moves the later
    // breaths: two rounds meet each of them.
    for (int round = 0; round < 2; ++round) {
        for (long point = 1; point <= install.eventPoints(); ++point) {
            const QStringList damaged = install.interrupt(point);
            QVERIFY2(damaged.isEmpty(), qPrintable(u"killed at breath "_s + QString::number(point) +
                                                   u": "_s + damaged.join(u", "_s)));
        }
    }
    // Between breaths, too: while a file is copied, a list written, a serialiser runs.
    for (int i = 0; i < 10; ++i) {
        const int after = int(QRandomGenerator::global()->bounded(1500));
        const QStringList damaged = install.interrupt(0, after);
        QVERIFY2(damaged.isEmpty(), qPrintable(u"killed after "_s + QString::number(after) +
                                               u" ms: "_s + damaged.join(u", "_s)));
    }
}

void TestInterruptions::killedInstallIsTakenBackWhole_data()
{
    killedAtEveryBreathLeavesEveryFileWhole_data();
}

void TestInterruptions::killedInstallIsTakenBackWhole()
{
    QFETCH(QString, kind);
    Interrupted install(kind, 2000);
    constexpr long kPoints = 50;
    const long last = install.eventPoints();
    QVERIFY(last > kPoints);
    install.interrupt(1);
    QVERIFY(install.rollBack().isEmpty());
    for (long k = 0; k < kPoints; ++k) {
        const long point = 1 + k * (last - 1) / (kPoints - 1);
        // Each roll back leaves the game as it was: the next install starts from there.
        QStringList damaged = install.interrupt(point, -1, false);
        if (damaged.isEmpty())
            damaged = install.rollBack();
        QVERIFY2(damaged.isEmpty(),
                 qPrintable(u"killed at breath "_s + QString::number(point) + u" of "_s +
                            QString::number(last) + u": "_s + damaged.mid(0, 10).join(u", "_s)));
    }
    // And in the middle of a change: a file half copied under its passing name.
    for (int i = 0; i < 10; ++i) {
        const int after = int(QRandomGenerator::global()->bounded(qMax(install.wholeMs(), 1)));
        QStringList damaged = install.interrupt(0, after, false);
        if (damaged.isEmpty())
            damaged = install.rollBack();
        QVERIFY2(damaged.isEmpty(), qPrintable(u"killed after "_s + QString::number(after) +
                                               u" ms: "_s + damaged.mid(0, 10).join(u", "_s)));
    }
}

QTEST_GUILESS_MAIN(TestInterruptions)
#include "tst_interruptions.moc"
