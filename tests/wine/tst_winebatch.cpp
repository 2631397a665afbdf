// Batch files with Wine installed: ours runs what it can, confined to the game, and Wine's cmd
// only what ours cannot, after a Yes, with what it made undone and what it changed named; the
// exit status recorded, not judged; a prefix without a drive for the game; the read-only
// recovery.
#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "InstallFixture.h"
#include "WineEnvironment.h"
#include "batch/BatchInterpreter.h"
#include "install/BatchFileRunner.h"
#include "journal/FileChanges.h"
#include "journal/UndoOperation.h"
#include "platform/ProgramLauncher.h"

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

const QString kTemplate = QDir::tempPath() + u"/veltrane wine XXXXXX"_s;
const QString kBatch = u"Rail Simulator/RS-Install.bat"_s;

} // namespace

class TestWineBatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void winesCmdDoesWhatOursDoes_data();
    void winesCmdDoesWhatOursDoes();
    void hostileBatchFileChangesNothingOutside_data();
    void hostileBatchFileChangesNothingOutside();
    void whatWinesCmdMadeIsUndoneAndWhatItChangedNamed_data();
    void whatWinesCmdMadeIsUndoneAndWhatItChangedNamed();
    void exitStatusIsRecordedNotJudged_data();
    void exitStatusIsRecordedNotJudged();
    void demoAssetPackageIsOursAndUndoneByteForByte();
    void withoutADriveForTheGameOurInterpreterRunsIt_data();
    void withoutADriveForTheGameOurInterpreterRunsIt();
    void readOnlyRecoveryWithWineInstalled();
};

void TestWineBatch::winesCmdDoesWhatOursDoes_data()
{
    QTest::addColumn<bool>("insideDriveC");
    QTest::addColumn<QString>("batchName");
    QTest::newRow("inside drive_c") << true << u"RS-Install.bat"_s;
    QTest::newRow("outside, through Z:") << false << u"RS-Install.bat"_s;
    QTest::newRow("a name that starts with a command") << true << u"del_blueprints.bat"_s;
}

void TestWineBatch::winesCmdDoesWhatOursDoes()
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
        // The full path: "cmd /c del_blueprints.bat" would run "del _blueprints.bat".
        const ProcessResult result =
            ProgramLauncher::run(Program{HostPath::fromHost(u"cmd"_s), true},
                                 {ProgramArgument::plain(u"/c"_s),
                                  ProgramArgument::file(host(underWine.game + u'/' + batchName))},
                                 host(underWine.game), kNormalWindow, underWine.ui);
        QVERIFY2(result.succeeded(), qPrintable(result.failure()));
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

void TestWineBatch::hostileBatchFileChangesNothingOutside_data()
{
    // SECRET and OUTSIDE stand for a file and a folder outside the game, written as Wine's
    // programs reach them, through Z:. Each file first makes a folder in the game.
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<bool>("asked"); // answered No
    QTest::newRow("DEL through Z:") << QByteArray("md Made\r\ndel \"SECRET\"\r\n") << false;
    QTest::newRow("COPY out of the game through Z:")
        << QByteArray("md Made\r\ncopy Assets\\Kuju\\Notes.txt \"OUTSIDE\\stolen.txt\"\r\n")
        << false;
    QTest::newRow("DEL through Z: beside a line ours cannot run")
        << QByteArray("md Made\r\nstart notepad.exe\r\ndel \"SECRET\"\r\n") << false;
    QTest::newRow("START") << QByteArray("md Made\r\nstart cmd /c del \"SECRET\"\r\n") << true;
    QTest::newRow("REG ADD") << QByteArray(
                                    "md Made\r\nreg add HKCU\\Software\\Veltrane /v x /d y /f\r\n")
                             << true;
    QTest::newRow("FOR /F")
        << QByteArray("md Made\r\nfor /f \"delims=\" %%f in (\"SECRET\") do del \"%%f\"\r\n")
        << true;
}

void TestWineBatch::hostileBatchFileChangesNothingOutside()
{
    QFETCH(QByteArray, batch);
    QFETCH(bool, asked);
    const WineEnvironment wine;
    VELTRANE_REQUIRE_WINE(wine);
    InstallFixture f(kTemplate);
    layGame(f);
    const QString outside = f.root + u"/outside"_s;
    writeFile(outside + u"/secret.txt"_s, "secret");
    batch.replace("SECRET", wine.windowsForm(outside + u"/secret.txt"_s).toUtf8());
    batch.replace("OUTSIDE", wine.windowsForm(outside).toUtf8());
    f.packageFile(kBatch, batch);
    const auto before = f.gameSnapshot();
    EnvironmentGuard environment;
    wine.use(environment, wine.prefix());
    if (asked)
        f.ui.answerNo();

    QCOMPARE(f.install(PackageKind::Assets), Outcome::Incomplete);
    QCOMPARE(snapshot(outside), (QMap<QString, QByteArray>{{u"secret.txt"_s, "secret"}}));
    QVERIFY2(!QFileInfo::exists(f.game + u"/Made"_s), "no line of the file ran");
    QCOMPARE(f.gameSnapshot(), before);
    QCOMPARE(f.ui.shown.first().question, asked);
    const QString last = f.ui.texts().last();
    QVERIFY2(last.contains(u"RS-Install.bat: it was not run: "_s), qPrintable(last));
}

void TestWineBatch::whatWinesCmdMadeIsUndoneAndWhatItChangedNamed_data()
{
    // Each file has a line ours cannot run (VER, or a redirection), answered Yes.
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<QString>("named"); // what the undo names as not put back
    QTest::newRow("a folder and a file made")
        << QByteArray("ver\r\nmd Assets\\Made\r\necho made> Assets\\Made\\new.txt\r\n")
        << QString();
    QTest::newRow("files the package brought, changed")
        << QByteArray("echo changed> Assets\\Pkg\\New.txt\r\n"
                      "echo changed> Assets\\Kuju\\Replaced.txt\r\n")
        << QString();
    QTest::newRow("a file of the game changed")
        << QByteArray("echo changed> Assets\\Kuju\\Game.txt\r\n") << u"Game.txt (changed)"_s;
    QTest::newRow("a file of the game removed")
        << QByteArray("ver\r\ndel Assets\\Kuju\\Game.txt\r\n") << u"Game.txt (removed)"_s;
}

void TestWineBatch::whatWinesCmdMadeIsUndoneAndWhatItChangedNamed()
{
    QFETCH(QByteArray, batch);
    QFETCH(QString, named);
    const WineEnvironment wine;
    VELTRANE_REQUIRE_WINE(wine);
    InstallFixture f(kTemplate);
    f.gameFile(u"Assets/Kuju/Game.txt"_s, "game");
    f.gameFile(u"Assets/Kuju/Replaced.txt"_s, "old");
    f.packageFile(u"Rail Simulator/Assets/Kuju/Replaced.txt"_s, "new");
    f.packageFile(u"Rail Simulator/Assets/Pkg/New.txt"_s, "new");
    f.packageFile(kBatch, batch);
    auto before = withoutCaches(f.gameSnapshot());
    EnvironmentGuard environment;
    wine.use(environment, wine.prefix());
    f.ui.answerYes();
    QCOMPARE(f.install(PackageKind::Assets), Outcome::Completed);
    QVERIFY2(f.ui.shown.first().question, "Wine's cmd ran it after a Yes");
    QVERIFY(withoutCaches(f.gameSnapshot()) != before);

    f.ui.answerYes();
    const UndoOperation::Outcome undone = UndoOperation(f.ui).undo(host(f.game), 0);
    const QString told = f.ui.texts().last();
    QCOMPARE(undone,
             named.isEmpty() ? UndoOperation::Outcome::Undone : UndoOperation::Outcome::Partly);
    auto after = withoutCaches(f.gameSnapshot());
    if (!named.isEmpty()) {
        QVERIFY2(told.contains(QDir::toNativeSeparators(f.game + u"/Assets/Kuju/"_s + named)),
                 qPrintable(told));
        before.remove(u"Assets/Kuju/Game.txt"_s);
        after.remove(u"Assets/Kuju/Game.txt"_s);
    }
    QCOMPARE(after, before);
    QVERIFY2(!QFileInfo::exists(f.game + u"/Assets/Made"_s) &&
                 !QFileInfo::exists(f.game + u"/Assets/Pkg"_s),
             "the folders made are gone");
}

void TestWineBatch::exitStatusIsRecordedNotJudged_data()
{
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<bool>("toWine"); // VER is a line ours cannot run
    QTest::addColumn<int>("status");
    QTest::newRow("ours, a DEL that finds nothing")
        << QByteArray("ren a.txt b.txt\r\ndel nothing-here.txt\r\n") << false << 0;
    QTest::newRow("ours, EXIT /B 7")
        << QByteArray("ren a.txt b.txt\r\nexit /b 7\r\n") << false << 7;
    // Wine's cmd leaves 0 after a DEL that found nothing, as Windows' does.
    QTest::newRow("Wine's, a COPY that finds nothing")
        << QByteArray("ver\r\nren a.txt b.txt\r\ncopy nothing-here.txt x.txt\r\n") << true << 1;
    QTest::newRow("Wine's, EXIT /B 7")
        << QByteArray("ver\r\nren a.txt b.txt\r\nexit /b 7\r\n") << true << 7;
}

void TestWineBatch::exitStatusIsRecordedNotJudged()
{
    QFETCH(QByteArray, batch);
    QFETCH(bool, toWine);
    QFETCH(int, status);
    const WineEnvironment wine;
    VELTRANE_REQUIRE_WINE(wine);
    InstallFixture f(kTemplate);
    f.gameFile(u"a.txt"_s, "a");
    f.gameFile(u"Assets/Kuju/BluePrints.pak"_s, "cache");
    f.packageFile(kBatch, batch);
    EnvironmentGuard environment;
    wine.use(environment, wine.prefix());
    if (toWine)
        f.ui.answerYes();

    QCOMPARE(f.install(PackageKind::Assets), Outcome::Completed);
    QCOMPARE(f.ui.texts().last(), kInstalled);
    QVERIFY2(f.gameHas(u"b.txt"_s), "the file ran");
    QVERIFY(!f.gameHas(u"RS-Install.bat"_s));
    QVERIFY2(!f.gameHas(u"Assets/Kuju/BluePrints.pak"_s), "the caches are cleared all the same");
    const QString note = u"RS-Install.bat ended with exit status "_s + QString::number(status);
    QCOMPARE(f.ui.notes, QStringList{note});
    QVERIFY2(f.logs().value(0).contains(u"note      "_s + note + u'\n'),
             qPrintable(f.logs().value(0)));
}

void TestWineBatch::demoAssetPackageIsOursAndUndoneByteForByte()
{
    const WineEnvironment wine;
    VELTRANE_REQUIRE_WINE(wine);
    InstallFixture f(kTemplate);
    f.layOutDemoGame();
    f.copyDemoPackage(u"assets"_s);
    const auto before = withoutCaches(f.gameSnapshot());
    EnvironmentGuard environment;
    wine.use(environment, wine.prefix());

    QCOMPARE(f.install(PackageKind::Assets), Outcome::Completed);
    QCOMPARE(f.ui.texts(), QStringList{kInstalled});
    QVERIFY2(!f.logs().value(0).contains(u"program   started"_s), "no program ran it");
    QVERIFY(f.gameHas(u"Assets/DemoWorks/Wagons/Tank/Docs/ReadMe.txt"_s));
    f.ui.answerYes();
    QCOMPARE(UndoOperation(f.ui).undo(host(f.game), 0), UndoOperation::Outcome::Undone);
    QCOMPARE(withoutCaches(f.gameSnapshot()), before);
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
    InstallFixture f(kTemplate);
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
    InstallFixture f(kTemplate);
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

    // Read/Write, then Wine's cmd for a line with a redirection.
    f.ui.answerYes(2);
    QCOMPARE(f.install(PackageKind::Assets), Outcome::Incomplete);
    const QStringList texts = f.ui.texts();
    QCOMPARE(texts.size(), 4);
    QCOMPARE(texts.at(1), u"All files are now Read/Write"_s);
    QVERIFY2(texts.at(3).contains(u"Copying the package's files"_s) &&
                 texts.at(3).contains(u"RS-Install.bat was run"_s),
             qPrintable(texts.at(3)));
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
