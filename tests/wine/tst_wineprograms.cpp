// Windows programs against Wine itself: the Windows stand-in serialiser (built with MinGW)
// run by the program's own launcher and by a scenario install whose missing stock both
// variant makers produce, with the window breathing, exit statuses coming through, and
// programs that never end ended.
#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "InstallFixture.h"
#include "StockFixture.h"
#include "WineEnvironment.h"
#include "platform/ProgramLauncher.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;
using Outcome = InstallOperation::Outcome;

namespace {

QByteArray record(const QByteArray& id)
{
    return "\t\t<cScenarioProperties d:id=\"5\">\r\n\t\t\t<ID>\r\n\t\t\t\t<DevString "
           "d:type=\"cDeltaString\">" +
           id + "</DevString>\r\n\t\t\t</ID>\r\n\t\t</cScenarioProperties>\r\n";
}

QByteArray scenarioList(const QByteArray& id)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<cScenarioList d:id=\"1\">\r\n"
           "\t<Record>\r\n" +
           record(id) + "\t</Record>\r\n</cScenarioList>\r\n";
}

const QByteArray kCodeTemplate =
    "\t<cEntityContainerBlueprint-sChild d:id=\"9\">\r\n"
    "\t\t\t\t\t<ChildName d:type=\"cDeltaString\">Headlamp</ChildName>\r\n"
    "\t\t\t\t\t<Data d:type=\"cDeltaString\">444444;555555;666666;777777;111111;222222;333333"
    "</Data>\r\n"
    "\t\t\t\t</cEntityContainerBlueprint-sChild>\r\n\t\t\t";

// A scenario whose two missing coaches the crew maker and the number maker make.
void layScenario(InstallFixture& f)
{
    f.gameFile(u"Content/Routes/R1/Scenarios.bin"_s, serialised(scenarioList("OLD-A")));
    f.gameFile(u"Assets/Kuju/Stock/Coach.bin"_s,
               serialised(blueprintXml(u"Mk1 Coach"_s, {u"Driver1"_s, u"Passenger1"_s}).toUtf8()));
    f.packageFile(u"Scenario.yyy"_s, "R1,\"NEW-1\"\r\n");
    f.packageFile(u"Scenario.zzz"_s, record("NEW-1"));
    f.packageFile(u"Scenario.qqq"_s,
                  "Kuju\\Stock\\Coach_DO.xml,0,0,,,,,,,,,\r\n"
                  "Kuju\\Stock\\Coach_4567.xml,1,2,A1,A2,A3,B1,B2,B3,x,y,z,w\r\n");
    f.packageFile(u"UKCode.txt"_s, kCodeTemplate);
    f.ui.answerYes();
}

struct WindowsRun {
    QString folder;
    QStringList arguments;
};

// What the Windows stand-in saw of each run, from its lines of the log.
QList<WindowsRun> windowsRuns(const QString& log)
{
    QList<WindowsRun> runs;
    for (const QByteArray& line : readFile(log).split('\n')) {
        const QString text = QString::fromUtf8(line);
        if (text.startsWith(u"windows folder: "_s))
            runs.append({text.mid(16), {}});
        else if (text.startsWith(u"windows argument: "_s) && !runs.isEmpty())
            runs.last().arguments.append(text.mid(18));
    }
    return runs;
}

// Whether a process of this host was started from a path that holds text.
bool processRunsFrom(const QString& text)
{
    QDirIterator it(u"/proc"_s, QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile cmdline(it.next() + u"/cmdline"_s);
        if (cmdline.open(QIODevice::ReadOnly) &&
            QString::fromLocal8Bit(cmdline.readAll()).contains(text))
            return true;
    }
    return false;
}

} // namespace

class TestWinePrograms : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void windowBreathesWhileAWineProgramRuns();
    void endOfAWineProgram_data();
    void endOfAWineProgram();
    void scenarioInstallRunsTheSerialiserThroughWine_data();
    void scenarioInstallRunsTheSerialiserThroughWine();

private:
    // The stand-in under a name of this test's own, and a blueprint to convert, in a folder
    // outside the prefix; the environment of a user with Wine.
    struct Run {
        QTemporaryDir dir{QDir::tempPath() + u"/veltrane wine XXXXXX"_s};
        Program program;
        HostPath input;
        HostPath output;
        EnvironmentGuard environment;
    };
    bool prepare(Run& run) const;

    WineEnvironment m_wine;
};

void TestWinePrograms::init()
{
    VELTRANE_REQUIRE_WINE(m_wine);
    if (m_wine.windowsSerializer().isEmpty())
        QSKIP("the Windows stand-in serialiser was not built: MinGW (x86_64-w64-mingw32-gcc) is "
              "missing; scripts/test.sh installs it");
}

bool TestWinePrograms::prepare(Run& run) const
{
    const QString exe = run.dir.path() + u"/Serz stand-in.exe"_s;
    if (!QFile::copy(m_wine.windowsSerializer(), exe))
        return false;
    run.program = {HostPath::fromHost(exe), true};
    writeFile(run.dir.path() + u"/Tank Wagon.xml"_s, blueprintXml(u"Tank"_s, {}).toUtf8());
    run.input = HostPath::fromHost(run.dir.path() + u"/Tank Wagon.xml"_s);
    run.output = HostPath::fromHost(run.dir.path() + u"/Tank Wagon.bin"_s);
    m_wine.use(run.environment, m_wine.prefix());
    return true;
}

void TestWinePrograms::windowBreathesWhileAWineProgramRuns()
{
    Run run;
    QVERIFY(prepare(run));
    run.environment.set("VELTRANE_SUBSTITUTE_FAIL", "slow");
    ScriptedUserInterface ui;
    ui.onProcessEvents = [] { QCoreApplication::processEvents(); };
    bool fired = false;
    QTimer::singleShot(300, [&fired] { fired = true; });
    const ProcessResult result = ProgramLauncher::run(
        run.program,
        {ProgramArgument::file(run.input), ProgramArgument::file(run.output, u"bin:"_s)},
        HostPath::fromHost(run.dir.path()), RunOptions{}, ui);
    QVERIFY2(result.succeeded(), qPrintable(result.failure()));
    QVERIFY2(fired, "a timer fires while the Windows program runs");
    // The stand-in waits a second before it converts: twenty steps of 50 ms.
    QVERIFY2(ui.eventPumps >= 15, qPrintable(QString::number(ui.eventPumps)));
}

void TestWinePrograms::endOfAWineProgram_data()
{
    QTest::addColumn<QByteArray>("mode");     // VELTRANE_SUBSTITUTE_FAIL
    QTest::addColumn<int>("exitCode");        // -1: ended by us
    QTest::addColumn<QString>("errorOutput"); // part of what it said
    QTest::addColumn<bool>("byClose");
    QTest::newRow("ends well") << QByteArray() << 0 << QString() << false;
    QTest::newRow("fails, saying why")
        << QByteArray("garbage") << 1 << u"something went wrong"_s << false;
    QTest::newRow("crashes") << QByteArray("crash") << 128 + 6 << QString() << false;
    QTest::newRow("never ends: time limit") << QByteArray("hang") << -1 << QString() << false;
    QTest::newRow("never ends: window closed") << QByteArray("hang") << -1 << QString() << true;
}

void TestWinePrograms::endOfAWineProgram()
{
    QFETCH(QByteArray, mode);
    QFETCH(int, exitCode);
    QFETCH(QString, errorOutput);
    QFETCH(bool, byClose);
    Run run;
    QVERIFY(prepare(run));
    if (!mode.isEmpty())
        run.environment.set("VELTRANE_SUBSTITUTE_FAIL", mode);
    ScriptedUserInterface ui;
    RunOptions options;
    options.keepErrorOutput = true;
    options.endOnClose = byClose;
    // Only the program that never ends meets a limit: Wine may take seconds to start one.
    options.timeLimit = exitCode < 0 && !byClose ? 3000 : 0;
    // A close at the second breath, once Wine had time to start the program.
    ui.onProcessEvents = [&ui] {
        if (ui.eventPumps == 20)
            ui.requestClose();
    };
    QElapsedTimer timer;
    timer.start();
    const ProcessResult result = ProgramLauncher::run(
        run.program,
        {ProgramArgument::file(run.input), ProgramArgument::file(run.output, u"bin:"_s)},
        HostPath::fromHost(run.dir.path()), options, ui);

    QVERIFY2(timer.elapsed() < 60'000, "a program that never ends does not keep the tests");
    QVERIFY2(!processRunsFrom(run.dir.path()), "nothing of the program is left running");
    QVERIFY(result.started());
    if (exitCode < 0) {
        QCOMPARE(result.timedOut, !byClose);
        QCOMPARE(result.endedByClose, byClose);
        QVERIFY(!result.succeeded());
        return;
    }
    QVERIFY2(result.exitedNormally, qPrintable(result.failure()));
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.succeeded(), exitCode == 0);
    QVERIFY2(result.errorOutput.contains(errorOutput), qPrintable(result.errorOutput));
    if (exitCode == 0)
        QVERIFY(!deserialised(readFile(run.output.toString())).isNull());
}

void TestWinePrograms::scenarioInstallRunsTheSerialiserThroughWine_data()
{
    QTest::addColumn<bool>("insideDriveC");
    QTest::addColumn<bool>("withZ");
    QTest::newRow("game and package inside drive_c") << true << true;
    QTest::newRow("outside, through Z:") << false << true;
    // No Windows path leads to the files: our own serialiser does the work.
    QTest::newRow("outside, and the prefix has no Z:") << false << false;
}

void TestWinePrograms::scenarioInstallRunsTheSerialiserThroughWine()
{
    QFETCH(bool, insideDriveC);
    QFETCH(bool, withZ);
    const QString parent = insideDriveC ? m_wine.prefix() + u"/drive_c"_s : QDir::tempPath();
    InstallFixture underWine(parent + u"/veltrane wine XXXXXX"_s);
    InstallFixture withoutWine;
    layScenario(underWine);
    layScenario(withoutWine);
    // The stand-in on the search path, as where Wine is not installed.
    QCOMPARE(withoutWine.install(PackageKind::Scenario), Outcome::Completed);

    const QString log = underWine.root + u"/serz.log"_s;
    {
        EnvironmentGuard environment;
        m_wine.use(environment, withZ ? m_wine.prefix() : m_wine.prefixWithoutZ());
        // Our own serialiser, as shipped beside the program, for what Wine cannot reach.
        const QString ours = underWine.root + u"/ours"_s;
        makeFolder(ours);
        QVERIFY(QFile::link(qEnvironmentVariable("VELTRANE_BUILD_DIR") + u"/substitute/serz"_s,
                            ours + u"/veltrane-serz"_s));
        environment.set("PATH", qgetenv("PATH") + ':' + QFile::encodeName(ours));
        environment.set("VELTRANE_SUBSTITUTE_LOG", QFile::encodeName(log));
        const Outcome outcome = underWine.install(PackageKind::Scenario);
        QVERIFY2(outcome == Outcome::Completed, qPrintable(underWine.ui.texts().join(u'\n')));
    }
    QCOMPARE(underWine.ui.texts(), withoutWine.ui.texts());
    QCOMPARE(underWine.ui.reports, withoutWine.ui.reports);

    // The list both ways, and each maker's base to text and variant back.
    QCOMPARE(readFile(log).count("--\n"), 6);
    const QList<WindowsRun> runs = windowsRuns(log);
    QCOMPARE(runs.size(), withZ ? 6 : 0);
    const QString root = m_wine.windowsForm(underWine.root) + u'\\';
    QVERIFY(root.startsWith(insideDriveC ? u"C:\\"_s : u"Z:\\"_s));
    QStringList kinds;
    for (const WindowsRun& run : runs) {
        QCOMPARE(run.folder, m_wine.windowsForm(underWine.package));
        QCOMPARE(run.arguments.size(), 2);
        QVERIFY2(run.arguments[0].startsWith(root), qPrintable(run.arguments[0]));
        kinds.append(run.arguments[1].left(4));
        QVERIFY2(run.arguments[1].mid(4).startsWith(root), qPrintable(run.arguments[1]));
    }
    QCOMPARE(kinds.count(u"xml:"_s), runs.size() / 2);
    QCOMPARE(kinds.count(u"bin:"_s), runs.size() / 2);

    // What the Windows stand-in wrote is what the Linux one writes.
    const auto game = underWine.gameSnapshot();
    QVERIFY(game.contains(u"Assets/Kuju/Stock/Coach_DO.bin"_s));
    QVERIFY(game.contains(u"Assets/Kuju/Stock/Coach_4567.bin"_s));
    QVERIFY(deserialised(game.value(u"Content/Routes/R1/Scenarios.bin"_s)).contains("NEW-1"));
    QCOMPARE(game, withoutWine.gameSnapshot());
}

QTEST_GUILESS_MAIN(TestWinePrograms)
#include "tst_wineprograms.moc"
