#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "ScriptedUserInterface.h"
#include "platform/AttributeClearer.h"
#include "platform/ProcessRunner.h"
#include "platform/ProgramSearch.h"
#include "platform/Wine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

void makeExecutable(const QString& path, const QByteArray& script)
{
    writeFile(path, script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadOther | QFile::ExeOther);
}

} // namespace

class TestPrograms : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void missingProgramReturnsAtOnce();
    void quickProgramStillTakesOneStep();
    void windowBreathesWhileProgramRuns();
    void exitStatusIsReported();
    void programIsEndedByItsTimeLimitOrAClose_data();
    void programIsEndedByItsTimeLimitOrAClose();
    void currentFolderComesFirst();
    void windowsProgramIsFoundInThePrefix();
    void windowsPathsFollowThePrefixsDrives_data();
    void windowsPathsFollowThePrefixsDrives();
    void windowsProgramWithoutWineIsNotFound();
    void attribMakesTheTreeWritable();

private:
    QTemporaryDir* m_dir = nullptr;
    EnvironmentGuard m_environment;
    QString m_bin; // a folder on PATH that the test fills
};

void TestPrograms::init()
{
    m_dir = new QTemporaryDir;
    m_bin = m_dir->path() + u"/bin"_s;
    makeFolder(m_bin);
    // Only our folder: no Wine, installed or not, unless a test adds one.
    m_environment.set("PATH", QFile::encodeName(m_bin));
    m_environment.set("WINEPREFIX", QFile::encodeName(m_dir->path() + u"/prefix"_s));
}

void TestPrograms::cleanup()
{
    m_environment.restore();
    delete m_dir;
}

void TestPrograms::missingProgramReturnsAtOnce()
{
    ScriptedUserInterface ui;
    QElapsedTimer timer;
    timer.start();
    const ProcessResult result =
        ProcessRunner::run(HostPath::fromHost(m_bin + u"/no-such-program"_s), {u"a b"_s},
                           HostPath::fromHost(m_dir->path()), RunOptions{}, ui);
    QVERIFY(!result.started());
    QVERIFY(!result.succeeded());
    // Every wait step lets the window breathe, so no pump means no step was waited. The
    // time bound is loose: a loaded machine (sanitizers, parallel tests) is slow to start.
    QCOMPARE(ui.eventPumps, 0);
    QVERIFY2(timer.elapsed() < 10 * ProcessRunner::kStepMilliseconds, "no waiting without a start");
    QVERIFY(!ProgramSearch::find(u"no-such-program.exe"_s, HostPath::fromHost(m_dir->path())));
}

void TestPrograms::quickProgramStillTakesOneStep()
{
    ScriptedUserInterface ui;
    QElapsedTimer timer;
    timer.start();
    const ProcessResult result =
        ProcessRunner::run(HostPath::fromHost(u"/bin/true"_s), {},
                           HostPath::fromHost(m_dir->path()), RunOptions{}, ui);
    QVERIFY(result.succeeded());
    QVERIFY(timer.elapsed() >= ProcessRunner::kStepMilliseconds);
    QVERIFY(ui.eventPumps >= 1);
}

void TestPrograms::windowBreathesWhileProgramRuns()
{
    ScriptedUserInterface ui;
    ui.onProcessEvents = [] { QCoreApplication::processEvents(); };
    bool fired = false;
    QTimer::singleShot(100, [&fired] { fired = true; });
    QVERIFY(ProcessRunner::run(HostPath::fromHost(u"/bin/sleep"_s), {u"0.4"_s},
                               HostPath::fromHost(m_dir->path()), RunOptions{}, ui)
                .succeeded());
    QVERIFY2(fired, "a timer fires during the wait");
    QVERIFY(ui.eventPumps >= 6);
    // Without pumping, the window is left alone.
    ScriptedUserInterface still;
    ProcessRunner::run(HostPath::fromHost(u"/bin/true"_s), {}, HostPath::fromHost(m_dir->path()),
                       RunOptions{false, WindowStyle::Hidden}, still);
    QCOMPARE(still.eventPumps, 0);
}

void TestPrograms::exitStatusIsReported()
{
    makeExecutable(m_bin + u"/fails"_s, "#!/bin/sh\nexit 3\n");
    makeExecutable(m_bin + u"/crashes"_s, "#!/bin/sh\nkill -9 $$\n");
    ScriptedUserInterface ui;
    const HostPath here = HostPath::fromHost(m_dir->path());
    const ProcessResult failed =
        ProcessRunner::run(HostPath::fromHost(m_bin + u"/fails"_s), {}, here, RunOptions{}, ui);
    QVERIFY(failed.started() && failed.exitedNormally);
    QCOMPARE(failed.exitCode, 3);
    QVERIFY(!failed.succeeded());
    const ProcessResult crashed =
        ProcessRunner::run(HostPath::fromHost(m_bin + u"/crashes"_s), {}, here, RunOptions{}, ui);
    QVERIFY(crashed.started());
    QVERIFY(!crashed.exitedNormally);
    QVERIFY(!crashed.succeeded());
}

void TestPrograms::programIsEndedByItsTimeLimitOrAClose_data()
{
    QTest::addColumn<bool>("byClose");
    QTest::newRow("time limit") << false;
    QTest::newRow("window closed") << true;
}

void TestPrograms::programIsEndedByItsTimeLimitOrAClose()
{
    QFETCH(bool, byClose);
    ScriptedUserInterface ui;
    RunOptions options;
    if (byClose) {
        options.endOnClose = true;
        ui.onProcessEvents = [&ui] {
            if (ui.eventPumps == 3)
                ui.requestClose();
        };
    } else {
        options.timeLimit = 300;
    }
    QElapsedTimer timer;
    timer.start();
    const ProcessResult result = ProcessRunner::run(HostPath::fromHost(u"/bin/sleep"_s), {u"60"_s},
                                                    HostPath::fromHost(m_dir->path()), options, ui);
    QVERIFY2(timer.elapsed() < 10'000, "a program that never ends does not keep the install");
    QCOMPARE(result.timedOut, !byClose);
    QCOMPARE(result.endedByClose, byClose);
    QVERIFY(!result.succeeded());
    QVERIFY(!result.failure().isEmpty());
}

void TestPrograms::currentFolderComesFirst()
{
    const QString here = m_dir->path() + u"/here"_s;
    makeExecutable(here + u"/tool"_s, "#!/bin/sh\n");
    makeExecutable(m_bin + u"/tool"_s, "#!/bin/sh\n");
    auto found = ProgramSearch::find(u"TOOL.exe"_s, HostPath::fromHost(here));
    QVERIFY(found);
    QCOMPARE(found->path.toString(), here + u"/tool"_s);
    found = ProgramSearch::find(u"tool"_s, HostPath::fromHost(m_dir->path()));
    QVERIFY(found);
    QCOMPARE(found->path.toString(), m_bin + u"/tool"_s);
    QVERIFY(!ProgramSearch::find(u"nothing"_s, HostPath::fromHost(here)));
}

void TestPrograms::windowsProgramIsFoundInThePrefix()
{
    makeExecutable(m_bin + u"/wine"_s, "#!/bin/sh\n");
    const QString prefix = m_dir->path() + u"/prefix"_s;
    writeFile(prefix + u"/drive_c/windows/system32/Serz.exe"_s, "MZ fake");
    makeFolder(prefix + u"/dosdevices"_s);
    QVERIFY(QFile::link(u"../drive_c"_s, prefix + u"/dosdevices/c:"_s));
    const QString program = m_dir->path() + u"/pkg dir"_s;
    makeFolder(program);

    const auto serz = ProgramSearch::find(u"serz.exe"_s, HostPath::fromHost(program));
    QVERIFY(serz);
    QVERIFY(serz->needsWine);
    QCOMPARE(QFileInfo(serz->path.toString()).canonicalFilePath(),
             QFileInfo(prefix + u"/drive_c/windows/system32/Serz.exe"_s).canonicalFilePath());
}

void TestPrograms::windowsPathsFollowThePrefixsDrives_data()
{
    QTest::addColumn<QString>("path"); // relative to the temporary folder
    QTest::addColumn<bool>("withZ");
    QTest::addColumn<QString>("expected"); // "<here>" stands for the temporary folder
    QTest::newRow("inside drive_c")
        << u"prefix/drive_c/Program Files/Rail Simulator/Scenarios.bin"_s << true
        << u"C:\\Program Files\\Rail Simulator\\Scenarios.bin"_s;
    QTest::newRow("through the drive's own entry")
        << u"prefix/dosdevices/c:/windows"_s << true << u"C:\\windows"_s;
    QTest::newRow("the drive itself") << u"prefix/drive_c"_s << true << u"C:\\"_s;
    QTest::newRow("a drive of its own wins over Z:")
        << u"games/RS/Assets"_s << true << u"D:\\RS\\Assets"_s;
    QTest::newRow("a file yet to be made")
        << u"games/new file.xml"_s << true << u"D:\\new file.xml"_s;
    QTest::newRow("a folder that leads to a drive") << u"to games/RS"_s << true << u"D:\\RS"_s;
    QTest::newRow("anywhere else, through Z:")
        << u"pkg dir/Scenarios.xml"_s << true << u"Z:<here>\\pkg dir\\Scenarios.xml"_s;
    QTest::newRow("anywhere else, without Z:") << u"pkg dir/Scenarios.xml"_s << false << QString();
}

void TestPrograms::windowsPathsFollowThePrefixsDrives()
{
    QFETCH(QString, path);
    QFETCH(bool, withZ);
    QFETCH(QString, expected);
    const QString here = m_dir->path();
    const QString dosdevices = here + u"/prefix/dosdevices"_s;
    makeFolder(here + u"/prefix/drive_c/windows"_s);
    makeFolder(here + u"/games/RS/Assets"_s);
    makeFolder(here + u"/pkg dir"_s);
    makeFolder(dosdevices);
    QVERIFY(QFile::link(u"../drive_c"_s, dosdevices + u"/c:"_s));
    QVERIFY(QFile::link(here + u"/games"_s, dosdevices + u"/d:"_s));
    QVERIFY(QFile::link(here + u"/games"_s, here + u"/to games"_s));
    // Not a drive: the raw device of C:.
    QVERIFY(QFile::link(u"/dev/null"_s, dosdevices + u"/c::"_s));
    if (withZ)
        QVERIFY(QFile::link(u"/"_s, dosdevices + u"/z:"_s));

    const std::optional<QString> windows =
        Wine::toWindowsPath(HostPath::fromHost(here + u'/' + path));
    if (expected.isEmpty()) {
        QVERIFY2(!windows, qPrintable(windows.value_or(QString())));
        return;
    }
    QVERIFY(windows);
    QCOMPARE(*windows, QString(expected).replace(u"<here>"_s, QString(here).replace(u'/', u'\\')));
}

void TestPrograms::windowsProgramWithoutWineIsNotFound()
{
    writeFile(m_bin + u"/serz.exe"_s, "MZ fake");
    QVERIFY(!ProgramSearch::find(u"serz.exe"_s, HostPath::fromHost(m_dir->path())));
}

void TestPrograms::attribMakesTheTreeWritable()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QString game = dir.path() + u"/Rail Simulator"_s;
    writeFile(game + u"/Content/Routes.xml"_s, "list");
    writeFile(game + u"/Assets/Kuju/Coach.bin"_s, "bin");
    for (const QString& file : {u"/Content/Routes.xml"_s, u"/Assets/Kuju/Coach.bin"_s})
        ::chmod(QFile::encodeName(game + file).constData(), 0444);
    for (const QString& folder : {u"/Assets/Kuju"_s, u"/Assets"_s, u"/Content"_s, QString()})
        ::chmod(QFile::encodeName(game + folder).constData(), 0555);

    UnprivilegedScope unprivileged(dir.path());
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));
    QFile before(game + u"/Assets/Kuju/Coach.bin"_s);
    QVERIFY2(!before.open(QIODevice::WriteOnly | QIODevice::Append), "read-only to begin with");

    ScriptedUserInterface ui;
    QCOMPARE(AttributeClearer::makeWritable(HostPath::fromHost(game),
                                            RunOptions{true, WindowStyle::NormalFocus}, ui),
             QStringList());
    QVERIFY2(ui.eventPumps >= 1, "the window breathes");
    for (const QString& file : {u"/Content/Routes.xml"_s, u"/Assets/Kuju/Coach.bin"_s}) {
        QFile after(game + file);
        QVERIFY2(after.open(QIODevice::WriteOnly | QIODevice::Append), qPrintable(file));
    }
    QFile created(game + u"/Assets/new.txt"_s);
    QVERIFY2(created.open(QIODevice::WriteOnly), "folders are writable too");
#else
    QSKIP("ATTRIB is the system's own on Windows");
#endif
}

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
