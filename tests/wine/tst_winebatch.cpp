// Batch files against Wine itself: the package's RS-Install.bat through Wine's cmd, its exit
// status as the install's verdict, a prefix without a drive for the game, and the read-only
// recovery, all with Wine installed.
#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "InstallFixture.h"
#include "WineEnvironment.h"
#include "batch/BatchInterpreter.h"
#include "install/BatchFileRunner.h"
#include "journal/FileChanges.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;
using Outcome = InstallOperation::Outcome;

namespace {

const RunOptions kNormalWindow{true, WindowStyle::NormalFocus};

// Copies, renames and deletes in the game folder, with names that hold spaces.
const QByteArray kPackageBatch = "@echo off\r\n"
                                 "copy \"Assets\\Kuju\\Coach Old.bin\" \"Assets\\Kuju\\Coach "
                                 "New.bin\"\r\n"
                                 "ren Assets\\Kuju\\Notes.txt Readme.txt\r\n"
                                 "del Assets\\Kuju\\Obsolete.txt\r\n"
                                 "md \"Assets\\New Folder\"\r\n"
                                 "copy Assets\\Kuju\\*.txt \"Assets\\New Folder\"\r\n";

void layGame(const InstallFixture& f)
{
    f.gameFile(u"Assets/Kuju/Coach Old.bin"_s, "coach");
    f.gameFile(u"Assets/Kuju/Notes.txt"_s, "notes");
    f.gameFile(u"Assets/Kuju/Obsolete.txt"_s, "old");
    // What "cmd /c del_blueprints.bat" would delete, were the file named without its folder.
    f.gameFile(u"_blueprints.bat"_s, "keep");
}

QString parentFor(const WineEnvironment& wine, bool insideDriveC)
{
    return insideDriveC ? wine.prefix() + u"/drive_c"_s : QDir::tempPath();
}

} // namespace

class TestWineBatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void packageBatchRunsInWinesCmdAsInOurs_data();
    void packageBatchRunsInWinesCmdAsInOurs();
    void exitStatusOfWinesCmdDecidesTheInstall_data();
    void exitStatusOfWinesCmdDecidesTheInstall();
    void withoutADriveForTheGameOurInterpreterRunsIt_data();
    void withoutADriveForTheGameOurInterpreterRunsIt();
    void readOnlyRecoveryWithWineInstalled();
};

void TestWineBatch::packageBatchRunsInWinesCmdAsInOurs_data()
{
    QTest::addColumn<bool>("insideDriveC");
    QTest::addColumn<QString>("batchName");
    QTest::newRow("inside drive_c") << true << u"RS-Install.bat"_s;
    QTest::newRow("outside, through Z:") << false << u"RS-Install.bat"_s;
    QTest::newRow("a name that starts with a command") << true << u"del_blueprints.bat"_s;
}

void TestWineBatch::packageBatchRunsInWinesCmdAsInOurs()
{
    QFETCH(bool, insideDriveC);
    QFETCH(QString, batchName);
    const WineEnvironment wine;
    VELTRANE_REQUIRE_WINE(wine);
    InstallFixture underWine(parentFor(wine, insideDriveC) + u"/veltrane wine XXXXXX"_s);
    InstallFixture ours;
    for (const InstallFixture* f : {&underWine, &ours}) {
        layGame(*f);
        f->gameFile(batchName, kPackageBatch);
    }

    {
        EnvironmentGuard environment;
        wine.use(environment, wine.prefix());
        FileChanges files;
        const ProcessResult result =
            BatchFileRunner(underWine.ui, files, {host(underWine.game)})
                .run(host(underWine.game + u'/' + batchName), host(underWine.game), kNormalWindow);
        QVERIFY2(result.succeeded(), qPrintable(result.failure()));
        QVERIFY2(result.processId != QCoreApplication::applicationPid(), "Wine's cmd ran it");
    }
    FileChanges files;
    BatchInterpreter interpreter(ours.ui, files, {host(ours.game)});
    QVERIFY(interpreter.runFile(ours.game + u'/' + batchName, ours.game));
    QCOMPARE(ours.ui.texts(), QStringList());

    const auto result = ours.gameSnapshot();
    QCOMPARE(result.value(u"Assets/Kuju/Coach New.bin"_s), QByteArray("coach"));
    QCOMPARE(result.value(u"Assets/New Folder/Readme.txt"_s), QByteArray("notes"));
    QVERIFY(!result.contains(u"Assets/Kuju/Obsolete.txt"_s));
    QCOMPARE(underWine.gameSnapshot(), result);
}

void TestWineBatch::exitStatusOfWinesCmdDecidesTheInstall_data()
{
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<QString>("failure"); // empty: the install completes
    QTest::newRow("ends well") << QByteArray("ren a.txt b.txt\r\n") << QString();
    QTest::newRow("exit /b 7") << QByteArray("ren a.txt b.txt\r\nexit /b 7\r\n")
                               << u"exit code 7"_s;
    QTest::newRow("last command fails")
        << QByteArray("ren a.txt b.txt\r\ncopy missing.txt x.txt\r\n") << u"exit code 1"_s;
}

void TestWineBatch::exitStatusOfWinesCmdDecidesTheInstall()
{
    QFETCH(QByteArray, batch);
    QFETCH(QString, failure);
    const WineEnvironment wine;
    VELTRANE_REQUIRE_WINE(wine);
    InstallFixture f(QDir::tempPath() + u"/veltrane wine XXXXXX"_s);
    f.gameFile(u"a.txt"_s, "a");
    f.gameFile(u"Assets/Kuju/BluePrints.pak"_s, "cache");
    f.packageFile(u"Rail Simulator/RS-Install.bat"_s, batch);
    EnvironmentGuard environment;
    wine.use(environment, wine.prefix());

    const Outcome outcome = f.install(PackageKind::Assets);
    QVERIFY2(f.gameHas(u"b.txt"_s), "Wine's cmd ran the file");
    QVERIFY(!f.gameHas(u"RS-Install.bat"_s));
    QVERIFY2(!f.gameHas(u"Assets/Kuju/BluePrints.pak"_s), "the caches are cleared all the same");
    QVERIFY(!f.gameHas(u"Assets/del_blueprints.bat"_s));
    if (failure.isEmpty()) {
        QCOMPARE(outcome, Outcome::Completed);
        QCOMPARE(f.ui.texts(), QStringList{kInstalled});
    } else {
        QCOMPARE(outcome, Outcome::Incomplete);
        const QString last = f.ui.texts().last();
        QVERIFY2(last.contains(u"Running the package's batch file RS-Install.bat"_s) &&
                     last.contains(failure),
                 qPrintable(last));
    }
}

void TestWineBatch::withoutADriveForTheGameOurInterpreterRunsIt_data()
{
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<bool>("runsHere");
    QTest::newRow("common commands") << QByteArray("copy a.txt b.txt\r\n") << true;
    QTest::newRow("a line only Windows runs") << QByteArray("setup.exe /quiet\r\n") << false;
}

void TestWineBatch::withoutADriveForTheGameOurInterpreterRunsIt()
{
    QFETCH(QByteArray, batch);
    QFETCH(bool, runsHere);
    const WineEnvironment wine;
    VELTRANE_REQUIRE_WINE(wine);
    // Outside drive_c, and the prefix has no Z: drive: no Windows path leads to the game.
    InstallFixture f(QDir::tempPath() + u"/veltrane wine XXXXXX"_s);
    f.gameFile(u"a.txt"_s, "a");
    f.gameFile(u"Assets/Kuju/Blueprints.PAK"_s, "cache");
    f.packageFile(u"Rail Simulator/RS-Install.bat"_s, batch);
    EnvironmentGuard environment;
    wine.use(environment, wine.prefixWithoutZ());

    const Outcome outcome = f.install(PackageKind::Assets);
    QVERIFY(!f.gameHas(u"Assets/Kuju/Blueprints.PAK"_s));
    if (runsHere) {
        QCOMPARE(outcome, Outcome::Completed);
        QCOMPARE(f.ui.texts(), QStringList{kInstalled});
        QCOMPARE(f.readGame(u"b.txt"_s), QByteArray("a"));
    } else {
        QCOMPARE(outcome, Outcome::Incomplete);
        const QString refusal = f.ui.texts().first();
        QVERIFY2(refusal.contains(u"No drive of the Wine prefix holds "_s +
                                  QDir::toNativeSeparators(f.game)) &&
                     refusal.contains(u"setup.exe"_s),
                 qPrintable(refusal));
        QVERIFY(f.ui.texts().last().contains(u"RS-Install.bat"_s));
    }
}

void TestWineBatch::readOnlyRecoveryWithWineInstalled()
{
#ifdef Q_OS_UNIX
    const WineEnvironment wine;
    VELTRANE_REQUIRE_WINE(wine);
    InstallFixture f(QDir::tempPath() + u"/veltrane wine XXXXXX"_s);
    f.gameFile(u"Assets/Kuju/Coach.bin"_s, "old");
    f.gameFile(u"Assets/Kuju/Blueprints.pak"_s, "cache");
    f.packageFile(u"Rail Simulator/Assets/Kuju/Coach.bin"_s, "new");
    // Left by an earlier install that ended at the same read-only file.
    f.gameFile(u"RS-Install.bat"_s, "echo %COMSPEC%> comspec.txt\r\n");
    ::chmod(QFile::encodeName(f.game + u"/Assets/Kuju/Coach.bin"_s).constData(), 0444);
    UnprivilegedScope unprivileged(f.root);
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));
    EnvironmentGuard environment;
    wine.use(environment, wine.prefix());

    f.ui.answerYes();
    QCOMPARE(f.install(PackageKind::Assets), Outcome::Incomplete);
    const QStringList texts = f.ui.texts();
    QCOMPARE(texts.size(), 3);
    QCOMPARE(texts.at(1), u"All files are now Read/Write"_s);
    QVERIFY2(texts.at(2).contains(u"Copying the package's files"_s) &&
                 texts.at(2).contains(u"RS-Install.bat was run"_s),
             qPrintable(texts.at(2)));
    QVERIFY(QFileInfo(f.game + u"/Assets/Kuju/Coach.bin"_s).isWritable());
    // The steps after the copy ran, the batch file in Wine's cmd.
    QCOMPARE(f.readGame(u"comspec.txt"_s).trimmed().toLower(),
             QByteArray("c:\\windows\\system32\\cmd.exe"));
    QVERIFY(!f.gameHas(u"RS-Install.bat"_s));
    QVERIFY(!f.gameHas(u"Assets/Kuju/Blueprints.pak"_s));
#else
    QSKIP("file modes are a POSIX matter");
#endif
}

QTEST_GUILESS_MAIN(TestWineBatch)
#include "tst_winebatch.moc"
