#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "ScriptedUserInterface.h"
#include "platform/ProgramSearch.h"
#include "platform/SerzConversion.h"
#include "platform/Shell.h"
#include "util/ProcessRunner.h"

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

QString buildDir()
{
    return qEnvironmentVariable("VELTRANE_BUILD_DIR");
}

void makeExecutable(const QString& path, const QByteArray& script)
{
    writeFile(path, script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadOther | QFile::ExeOther);
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void missingProgramReturnsAtOnce();
    void quickProgramStillTakesOneStep();
    void windowBreathesWhileProgramRuns();
    void serzCommandForms();
    void pathsWithSpacesReachTheSerialiser();
    void currentFolderComesFirst();
    void windowsProgramRunsUnderWine();
    void windowsProgramWithoutWineIsNotFound();
    void nativeSerialiserIsTheFallback();
    void attribMakesTheTreeWritable();
    void batchFileWithoutWineRunsInOurInterpreter();

private:
    QTemporaryDir* m_dir = nullptr;
    EnvironmentGuard m_environment;
    QString m_bin; // a folder on PATH that the test fills
};

void TestShell::init()
{
    m_dir = new QTemporaryDir;
    m_bin = m_dir->path() + u"/bin"_s;
    makeFolder(m_bin);
    // Only our folder and the system's basic tools; no Wine unless a test adds one.
    m_environment.set("PATH", QFile::encodeName(m_bin) + ":/usr/bin:/bin");
    m_environment.set("WINEPREFIX", QFile::encodeName(m_dir->path() + u"/prefix"_s));
}

void TestShell::cleanup()
{
    m_environment.restore();
    delete m_dir;
}

void TestShell::missingProgramReturnsAtOnce()
{
    ScriptedUserInterface ui;
    Shell shell(ui, {});
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(shell.ShellAndWait(u"no-such-program.exe \"a b\""_s, true, 0, m_dir->path()), 0);
    // Every wait step lets the window breathe, so no pump means no step was waited. The
    // time bound is loose: a loaded machine (sanitizers, parallel tests) is slow to search.
    QCOMPARE(ui.eventPumps, 0);
    QVERIFY2(timer.elapsed() < 10 * ProcessRunner::kStepMilliseconds, "no waiting without a start");
    QVERIFY(ui.shown.isEmpty());
}

void TestShell::quickProgramStillTakesOneStep()
{
    ScriptedUserInterface ui;
    Shell shell(ui, {});
    QElapsedTimer timer;
    timer.start();
    QVERIFY(shell.ShellAndWait(u"true"_s, true, 0, m_dir->path()) > 0);
    QVERIFY(timer.elapsed() >= ProcessRunner::kStepMilliseconds);
    QVERIFY(ui.eventPumps >= 1);
}

void TestShell::windowBreathesWhileProgramRuns()
{
    ScriptedUserInterface ui;
    ui.onProcessEvents = [] { QCoreApplication::processEvents(); };
    bool fired = false;
    QTimer::singleShot(100, [&fired] { fired = true; });
    Shell shell(ui, {});
    QVERIFY(shell.ShellAndWait(u"sleep 0.4"_s, true, 0, m_dir->path()) > 0);
    QVERIFY2(fired, "a timer fires during the wait");
    QVERIFY(ui.eventPumps >= 6);
}

void TestShell::serzCommandForms()
{
    QCOMPARE(SerzConversion::toXmlCommand(u"C:\\a b\\x.bin"_s, u"C:\\a b\\x.xml"_s),
             u"serz.exe \"C:\\a b\\x.bin\" xml:\"C:\\a b\\x.xml\""_s);
    QCOMPARE(SerzConversion::toBinCommand(u"C:\\p\\Scenarios.xml"_s, u"D:\\g\\Scenarios.bin"_s),
             u"serz.exe \"C:\\p\\Scenarios.xml\" bin:\"D:\\g\\Scenarios.bin\""_s);
    QCOMPARE(Shell::splitCommand(u"serz.exe \"C:\\a b\\x.bin\" xml:\"C:\\a b\\x.xml\""_s),
             (QStringList{u"serz.exe"_s, u"C:\\a b\\x.bin"_s, u"xml:C:\\a b\\x.xml"_s}));
    QCOMPARE(SerzConversion::workFile(u"/p"_s, u"Coach.bin"_s), u"/p\\Tempfiles\\Coach.bin"_s);
}

void TestShell::pathsWithSpacesReachTheSerialiser()
{
    const QString substitute = buildDir() + u"/substitute"_s;
    QVERIFY2(QFile::exists(substitute + u"/serz"_s), "the build provides the substitute");
    m_environment.set("PATH", QFile::encodeName(substitute) + ":/usr/bin:/bin");
    const QString log = m_dir->path() + u"/args.log"_s;
    m_environment.set("VELTRANE_SUBSTITUTE_LOG", QFile::encodeName(log));

    const QString program = m_dir->path() + u"/My Package"_s;
    const QString game = m_dir->path() + u"/Program Files/Rail Simulator"_s;
    writeFile(program + u"/in.xml"_s, "<?xml?>\r\n<x/>\r\n");
    makeFolder(game + u"/Content"_s);

    ScriptedUserInterface ui;
    Shell shell(ui, {});
    const QString gameBin = game + u"\\Content\\Scenarios.bin"_s;
    SerzConversion::run(shell, ui, SerzConversion::toBinCommand(program + u"\\in.xml"_s, gameBin),
                        program);
    SerzConversion::run(shell, ui, SerzConversion::toXmlCommand(gameBin, program + u"\\out.xml"_s),
                        program);

    QVERIFY(readFile(game + u"/Content/Scenarios.bin"_s).startsWith(kSubstituteMagic));
    QCOMPARE(readFile(program + u"/out.xml"_s), QByteArray("<?xml?>\r\n<x/>\r\n"));
    const QList<QByteArray> lines = readFile(log).split('\n');
    QCOMPARE(lines.value(0), QFile::encodeName(program + u"/in.xml"_s));
    QCOMPARE(lines.value(1), "bin:" + QFile::encodeName(game + u"/Content/Scenarios.bin"_s));
    QCOMPARE(lines.value(4), "xml:" + QFile::encodeName(program + u"/out.xml"_s));
}

void TestShell::currentFolderComesFirst()
{
    const QString here = m_dir->path() + u"/here"_s;
    makeExecutable(here + u"/tool"_s, "#!/bin/sh\n");
    makeExecutable(m_bin + u"/tool"_s, "#!/bin/sh\n");
    auto found = ProgramSearch::find(u"TOOL.exe"_s, here);
    QVERIFY(found);
    QCOMPARE(found->path, here + u"/tool"_s);
    found = ProgramSearch::find(u"tool"_s, m_dir->path());
    QVERIFY(found);
    QCOMPARE(found->path, m_bin + u"/tool"_s);
    QVERIFY(!ProgramSearch::find(u"nothing"_s, here));
}

void TestShell::windowsProgramRunsUnderWine()
{
    const QString log = m_dir->path() + u"/wine.log"_s;
    makeExecutable(m_bin + u"/wine"_s,
                   "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                       QFile::encodeName(log) + "'\npwd >> '" + QFile::encodeName(log) + "'\n");
    const QString prefix = m_dir->path() + u"/prefix"_s;
    writeFile(prefix + u"/drive_c/windows/system32/Serz.exe"_s, "MZ fake");
    makeFolder(prefix + u"/dosdevices"_s);
    QVERIFY(QFile::link(u"../drive_c"_s, prefix + u"/dosdevices/c:"_s));
    makeFolder(prefix + u"/drive_c/Program Files/Rail Simulator/Content"_s);
    const QString program = m_dir->path() + u"/pkg dir"_s;
    makeFolder(program);

    ScriptedUserInterface ui;
    Shell shell(ui, {});
    QVERIFY(shell.ShellAndWait(SerzConversion::toXmlCommand(
                                   u"c:\\program files\\Rail Simulator\\Content\\Scenarios.bin"_s,
                                   program + u"\\Scenarios.xml"_s),
                               true, 0, program) > 0);
    const QStringList lines = QString::fromUtf8(readFile(log)).split(u'\n');
    QCOMPARE(QFileInfo(lines.value(0)).canonicalFilePath(),
             QFileInfo(prefix + u"/drive_c/windows/system32/Serz.exe"_s).canonicalFilePath());
    QCOMPARE(lines.value(1), u"C:\\Program Files\\Rail Simulator\\Content\\Scenarios.bin"_s);
    QString expectedOut = u"xml:Z:"_s + program + u"/Scenarios.xml"_s;
    expectedOut.replace(u'/', u'\\');
    QCOMPARE(lines.value(2), expectedOut);
    QCOMPARE(lines.value(3), program);
}

void TestShell::windowsProgramWithoutWineIsNotFound()
{
    writeFile(m_bin + u"/serz.exe"_s, "MZ fake");
    QVERIFY(!ProgramSearch::find(u"serz.exe"_s, m_dir->path()));
}

void TestShell::nativeSerialiserIsTheFallback()
{
    const QString log = m_dir->path() + u"/native.log"_s;
    makeExecutable(m_bin + u"/veltrane-serz"_s,
                   "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + QFile::encodeName(log) + "'\n");
    ScriptedUserInterface ui;
    Shell shell(ui, {});
    QVERIFY(shell.ShellAndWait(u"serz.exe \"/a b\\x.bin\" xml:\"/a b\\x.xml\""_s, true, 0,
                               m_dir->path()) > 0);
    QCOMPARE(readFile(log), QByteArray("/a b/x.bin\nxml:/a b/x.xml\n"));
}

void TestShell::attribMakesTheTreeWritable()
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
    Shell shell(ui, {});
    const QString command = u"ATTRIB -h -r -s \""_s + game + u"\\*.*\" /s /d"_s;
    QVERIFY(shell.ShellAndWait(command, true, 1, game) > 0);
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

void TestShell::batchFileWithoutWineRunsInOurInterpreter()
{
    const QString game = m_dir->path() + u"/game"_s;
    writeFile(game + u"/Assets/del_blueprints.bat"_s, "DEL Blueprints.PAK /S\r\n");
    writeFile(game + u"/Assets/Kuju/blueprints.pak"_s, "cache");
    writeFile(game + u"/Assets/Kuju/Other.bin"_s, "keep");
    ScriptedUserInterface ui;
    Shell shell(ui, {game});
    QVERIFY(shell.ShellAndWait(u"del_blueprints.bat"_s, true, 1, game + u"\\Assets"_s) > 0);
    QVERIFY(!QFile::exists(game + u"/Assets/Kuju/blueprints.pak"_s));
    QVERIFY(QFile::exists(game + u"/Assets/Kuju/Other.bin"_s));
}

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
