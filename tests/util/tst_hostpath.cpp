#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "util/HostPath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

QString hostOf(const QString& programPath)
{
    return HostPath::fromProgramPath(programPath).toString();
}

} // namespace

class TestHostPath : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void backslashesAndLetterCase();
    void exactNameWinsOverOtherCase();
    void missingTailKeepsItsLetters();
    void driveLettersLiveInTheWinePrefix();
    void homeWineIsTheDefaultPrefix();

private:
    QTemporaryDir* m_dir = nullptr;
    EnvironmentGuard m_environment;
};

void TestHostPath::init()
{
    m_dir = new QTemporaryDir;
}

void TestHostPath::cleanup()
{
    delete m_dir;
    m_environment.restore();
}

void TestHostPath::backslashesAndLetterCase()
{
#ifdef Q_OS_WIN
    QSKIP("Windows paths are used as they are");
#endif
    const QString root = m_dir->path();
    writeFile(root + u"/assets/kuju/RailSimulatorUS/blueprints.pak"_s, "x");
    const QString mapped = hostOf(root + u"\\Assets\\Kuju\\RailSimulatorUS\\Blueprints.PAK"_s);
    QCOMPARE(mapped, root + u"/assets/kuju/RailSimulatorUS/blueprints.pak"_s);
    QVERIFY(QFile::exists(mapped));
    QCOMPARE(shownPath(root + u"\\ASSETS"_s), root + u"/assets"_s);
}

void TestHostPath::exactNameWinsOverOtherCase()
{
#ifdef Q_OS_WIN
    QSKIP("Windows paths are used as they are");
#endif
    const QString root = m_dir->path();
    makeFolder(root + u"/Content"_s);
    makeFolder(root + u"/content"_s);
    QCOMPARE(hostOf(root + u"\\content"_s), root + u"/content"_s);
    QCOMPARE(hostOf(root + u"\\Content"_s), root + u"/Content"_s);
    // A trailing separator goes, whether the folder exists or not.
    QCOMPARE(hostOf(root + u"\\Content\\"_s), root + u"/Content"_s);
    QCOMPARE(hostOf(root + u"\\Absent\\"_s), root + u"/Absent"_s);
}

void TestHostPath::missingTailKeepsItsLetters()
{
#ifdef Q_OS_WIN
    QSKIP("Windows paths are used as they are");
#endif
    const QString root = m_dir->path();
    makeFolder(root + u"/content/routes"_s);
    QCOMPARE(hostOf(root + u"\\Content\\Routes\\NewRoute\\Scenarios.bin"_s),
             root + u"/content/routes/NewRoute/Scenarios.bin"_s);
    QCOMPARE(hostOf(root + u"\\Content\\..\\CONTENT"_s), root + u"/content/../content"_s);
}

void TestHostPath::driveLettersLiveInTheWinePrefix()
{
#ifdef Q_OS_WIN
    QSKIP("drive letters are the system's own on Windows");
#endif
    const QString prefix = m_dir->path() + u"/prefix"_s;
    makeFolder(prefix + u"/drive_c/Program Files/Rail Simulator"_s);
    makeFolder(prefix + u"/dosdevices"_s);
    QVERIFY(QFile::link(u"../drive_c"_s, prefix + u"/dosdevices/c:"_s));
    writeFile(prefix + u"/drive_c/Program Files/Rail Simulator/RailSim.exe"_s, "MZ");
    m_environment.set("WINEPREFIX", QFile::encodeName(prefix));

    const QString mapped = hostOf(u"c:\\program files\\Rail Simulator\\RailSim.exe"_s);
    QCOMPARE(mapped, prefix + u"/dosdevices/c:/Program Files/Rail Simulator/RailSim.exe"_s);
    QVERIFY(QFile::exists(mapped));
    QCOMPARE(hostOf(u"C:"_s), prefix + u"/dosdevices/c:"_s);
    QCOMPARE(hostOf(u"D:\\x"_s), prefix + u"/dosdevices/d:/x"_s);
}

void TestHostPath::homeWineIsTheDefaultPrefix()
{
#ifdef Q_OS_WIN
    QSKIP("no Wine prefix on Windows");
#endif
    m_environment.unset("WINEPREFIX");
    QCOMPARE(HostPath::winePrefix().toString(), QDir::homePath() + u"/.wine"_s);
    m_environment.set("WINEPREFIX", "/opt/games/prefix/");
    QCOMPARE(HostPath::winePrefix().toString(), u"/opt/games/prefix"_s);
}

QTEST_GUILESS_MAIN(TestHostPath)
#include "tst_hostpath.moc"
