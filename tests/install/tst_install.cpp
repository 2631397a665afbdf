#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "InstallFixture.h"
#include "journal/FileChanges.h"
#include "journal/InstallHistory.h"
#include "tree/FolderCopy.h"
#include "util/FileError.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;
using Icon = UserInterface::Icon;
using Outcome = InstallOperation::Outcome;

namespace {

const QString kReadOnlyQuestion =
    u"Some folders/files in your copy of Rail Simulator are Read Only and cannot be "
    u"overwritten.\r\nDo you wish them to be changed to Read/Write. Once completed run this "
    u"Setup again to finish\r\ninstallation."_s;

void chmodHost(const QString& path, int mode)
{
#ifdef Q_OS_UNIX
    ::chmod(QFile::encodeName(path).constData(), mode_t(mode));
#else
    Q_UNUSED(path);
    Q_UNUSED(mode);
#endif
}

void routePackage(const InstallFixture& f, const QString& identifier, const QString& name)
{
    f.packageFile(u"Veltrane.xxx"_s, InstallFixture::routeRecord(identifier, name));
    f.packageFile(u"Rail Simulator/Content/Routes/"_s + identifier + u"/RouteProperties.xml"_s,
                  "<route/>\r\n");
}

QString confirmation(const QString& name)
{
    return u"You are about to install Route - "_s + name +
           u"\r\nInto your Rail Simulator Routes folder - Please Confirm."_s;
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void assetPackageInstallsEndToEnd();
    void wrongFoldersStopBeforeAnything_data();
    void wrongFoldersStopBeforeAnything();
    void copyMergesWhateverTheLetterCase();
    void copyDoesNotLeaveThePackageThroughLinks();
    void copyWithoutOverwriteRefusesExistingFiles();
    void delAllIgnoresFailures();
    void sameRouteTwiceReplacesItsRecord();
    void identifierInAnotherRouteAsksFirst_data();
    void identifierInAnotherRouteAsksFirst();
    void missingListWithItsBackupIsOfferedBack_data();
    void missingListWithItsBackupIsOfferedBack();
    void copyGoesOnPastWhatFails();
    void unreadablePackageFileIsNoReadOnlyQuestion();
    void packageThatMayNotBeWrittenKeepsItsWorkElsewhere();
    void recoveryThatCannotChangeEverythingSaysWhich();
    void packageBatchGoesToWineOnlyWhenOursCannotRunIt_data();
    void packageBatchGoesToWineOnlyWhenOursCannotRunIt();
    void refusedBatchFileIsNoSuccess();
    void packageFolderThatLeadsOutIsNotCopied_data();
    void packageFolderThatLeadsOutIsNotCopied();
    void newRouteLandsBeforeTheClosingLine();
    void missingRouteListStops();
    void declinedConfirmationChangesNothing();
    void damagedMarkerOrListStopsBeforeAnyChange_data();
    void damagedMarkerOrListStopsBeforeAnyChange();
    void readOnlyFileOffersRecovery_data();
    void readOnlyFileOffersRecovery();
    void readOnlyGameRootIsOfferedFirst_data();
    void readOnlyGameRootIsOfferedFirst();
    void gameHeldByAnotherProgramIsLeftAlone_data();
    void gameHeldByAnotherProgramIsLeftAlone();
    void backupThatIsAFolderIsNamedAtTheEnd();
    void refusedListWriteKeepsTheList_data();
    void refusedListWriteKeepsTheList();
    void failedWriteLeavesTheListAsItWas();
    void closingFinishesTheInstall();
};

void TestInstall::assetPackageInstallsEndToEnd()
{
    InstallFixture f;
    f.gameFile(u"Assets/Kuju/RailSimulator/Blueprints.PAK"_s, "cache");
    f.gameFile(u"Assets/Kuju/RailSimulatorUS/Stock/blueprints.pak"_s, "cache");
    f.gameFile(u"Assets/Kuju/RailSimulator/Keep.bin"_s, "game's own");
    f.packageFile(u"Rail Simulator/Assets/DemoWorks/Tank.bin"_s, "tank");
    f.packageFile(u"Rail Simulator/RS-Install.bat"_s,
                  "@ECHO OFF\r\nMD Assets\\DemoWorks\\Docs\r\n"
                  "COPY Assets\\DemoWorks\\Tank.bin Assets\\DemoWorks\\Docs\\Tank.txt\r\n");
    f.packageFile(u"AssetSetup.ggg"_s, "\"Tank\",1\r\n");

    QCOMPARE(f.install(PackageKind::Assets), Outcome::Completed);
    QCOMPARE(f.ui.texts(), QStringList{kInstalled});
    QCOMPARE(f.ui.shown.first().icon, Icon::Information);
    QCOMPARE(f.readGame(u"Assets/DemoWorks/Tank.bin"_s), QByteArray("tank"));
    QCOMPARE(f.readGame(u"Assets/DemoWorks/Docs/Tank.txt"_s), QByteArray("tank"));
    QCOMPARE(f.readGame(u"Assets/Kuju/RailSimulator/Keep.bin"_s), QByteArray("game's own"));
    QVERIFY2(!f.gameHas(u"RS-Install.bat"_s), "the package's batch file ran and is gone");
    QVERIFY(!f.gameHas(u"Assets/del_blueprints.bat"_s));
    QVERIFY(!f.gameHas(u"Assets/Kuju/RailSimulator/Blueprints.PAK"_s));
    QVERIFY(!f.gameHas(u"Assets/Kuju/RailSimulatorUS/Stock/blueprints.pak"_s));
    QCOMPARE(f.state.GamePath, f.game);
    QVERIFY2(!f.ui.busy(), "the pointer is back to default");
    QCOMPARE(f.ui.busyChanges.first(), true);
    QCOMPARE(f.ui.progressTotals.first(), 2);
    QCOMPARE(f.ui.progressTotals.last(), 0);
}

void TestInstall::wrongFoldersStopBeforeAnything_data()
{
    QTest::addColumn<QString>("game");        // relative to the temporary folder; "package" is it
    QTest::addColumn<QString>("packageFile"); // one file the package brings; empty for none
    QTest::addColumn<QString>("said");
    const QString tank = u"Rail Simulator/Assets/Kuju/Tank.bin"_s;
    QTest::newRow("no folder given") << QString() << tank << u"No game folder"_s;
    QTest::newRow("a folder typed wrong")
        << u"Rail Simulatr"_s << tank << u"Rail Simulatr does not exist"_s;
    QTest::newRow("not the game") << u"Other"_s << tank << u"does not look like"_s;
    QTest::newRow("the package itself")
        << u"package"_s << tank << u"lies inside the package folder"_s;
    QTest::newRow("inside the package")
        << u"package/Game"_s << tank << u"lies inside the package folder"_s;
    QTest::newRow("holding the package") << u"."_s << tank << u"lies inside the game folder"_s;
    QTest::newRow("a package of nothing")
        << u"Rail Simulator"_s << QString() << u"holds nothing to install"_s;
    // A journal planted for the game's own folder would be taken for one of its installs.
    QTest::newRow("the program's folder in the tree")
        << u"Rail Simulator"_s << u"Rail Simulator/.Veltrane/installs/1/journal"_s
        << u"holds Rail Simulator/.Veltrane, the name of Veltrane's own folder"_s;
    QTest::newRow("the program's folder at the top")
        << u"Rail Simulator"_s << u".VELTRANE/lock"_s << u"holds .VELTRANE,"_s;
}

void TestInstall::wrongFoldersStopBeforeAnything()
{
    QFETCH(QString, game);
    QFETCH(QString, packageFile);
    QFETCH(QString, said);
    InstallFixture f;
    makeFolder(f.root + u"/Other/Stuff"_s);
    makeFolder(f.root + u"/package/Game/Assets"_s);
    makeFolder(f.root + u"/package/Game/Content"_s);
    // The temporary folder itself looks like the game, and holds the package.
    makeFolder(f.root + u"/Assets"_s);
    makeFolder(f.root + u"/Content"_s);
    if (!packageFile.isEmpty())
        f.packageFile(packageFile, "veltrane-journal\t1\ncreate\tRailSim.exe\n");
    const auto before = snapshot(f.root);

    const QString folder = game.isEmpty() ? QString() : f.root + u'/' + game;
    QCOMPARE(f.install(PackageKind::Assets, folder), Outcome::Refused);
    QCOMPARE(f.ui.shown.size(), 1);
    QVERIFY2(f.ui.shown.first().text.contains(said), qPrintable(f.ui.shown.first().text));
    QCOMPARE(snapshot(f.root), before);
}

void TestInstall::copyMergesWhateverTheLetterCase()
{
    InstallFixture f;
    f.gameFile(u"Assets/Kuju/Coach.bin"_s, "old");
    f.packageFile(u"Rail Simulator/ASSETS/kuju/COACH.BIN"_s, "new");
    f.packageFile(u"Rail Simulator/assets/Kuju/New/Wagon.bin"_s, "wagon");
    FileChanges files;
    FolderCopy folders(f.ui, files);
    folders.copyFolder(HostPath::fromProgramPath(f.package + u"\\Rail Simulator"_s),
                       HostPath::fromProgramPath(f.game), true);
    QCOMPARE(QDir(f.game).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             (QStringList{u"Assets"_s, u"Content"_s}));
    QCOMPARE(QDir(f.game + u"/Assets"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{u"Kuju"_s});
    QCOMPARE(f.readGame(u"Assets/Kuju/Coach.bin"_s), QByteArray("new"));
    QCOMPARE(f.readGame(u"Assets/Kuju/New/Wagon.bin"_s), QByteArray("wagon"));
    QVERIFY(f.ui.eventPumps >= 2);
}

void TestInstall::copyDoesNotLeaveThePackageThroughLinks()
{
#ifdef Q_OS_UNIX
    InstallFixture f;
    writeFile(f.root + u"/secret/key.txt"_s, "secret");
    f.packageFile(u"Rail Simulator/Assets/Real.bin"_s, "real");
    const QString source = f.package + u"/Rail Simulator/Assets"_s;
    QVERIFY(QFile::link(f.root + u"/secret/key.txt"_s, source + u"/Stolen.txt"_s));
    QVERIFY(QFile::link(f.root + u"/secret"_s, source + u"/SecretFolder"_s));
    QVERIFY(QFile::link(source + u"/Real.bin"_s, source + u"/Alias.bin"_s));
    QVERIFY(QFile::link(f.package + u"/Rail Simulator"_s, source + u"/Loop"_s));

    FileChanges files;
    FolderCopy folders(f.ui, files);
    folders.copyFolder(HostPath::fromProgramPath(f.package + u"\\Rail Simulator"_s),
                       HostPath::fromProgramPath(f.game), true);
    QCOMPARE(f.readGame(u"Assets/Real.bin"_s), QByteArray("real"));
    QCOMPARE(f.readGame(u"Assets/Alias.bin"_s), QByteArray("real"));
    QVERIFY(!QFileInfo::exists(f.game + u"/Assets/Stolen.txt"_s));
    QVERIFY(!QFileInfo::exists(f.game + u"/Assets/SecretFolder"_s));
    QVERIFY(!QFileInfo::exists(f.game + u"/Assets/Loop"_s));
#else
    QSKIP("symbolic links are a POSIX matter here");
#endif
}

void TestInstall::copyWithoutOverwriteRefusesExistingFiles()
{
    InstallFixture f;
    f.gameFile(u"Assets/Coach.bin"_s, "old");
    f.packageFile(u"Rail Simulator/Assets/Coach.bin"_s, "new");
    FileChanges files;
    FolderCopy folders(f.ui, files);
    QVERIFY_THROWS_EXCEPTION(
        FileError, folders.copyFolder(HostPath::fromProgramPath(f.package + u"\\Rail Simulator"_s),
                                      HostPath::fromProgramPath(f.game), false));
    QCOMPARE(f.readGame(u"Assets/Coach.bin"_s), QByteArray("old"));
    QVERIFY_THROWS_EXCEPTION(
        FileError, folders.copyFolder(HostPath::fromProgramPath(f.package + u"\\Missing"_s),
                                      HostPath::fromProgramPath(f.game), true));
}

void TestInstall::delAllIgnoresFailures()
{
    InstallFixture f;
    FileChanges files;
    FolderCopy folders(f.ui, files);
    folders.removeFolder(HostPath::fromProgramPath(f.package + u"\\Tempfiles"_s));
    f.packageFile(u"Tempfiles/a/b.xml"_s, "x");
    chmodHost(f.package + u"/Tempfiles/a"_s, 0555);
    folders.removeFolder(HostPath::fromProgramPath(f.package + u"\\Tempfiles"_s));
    QVERIFY(!QFileInfo::exists(f.package + u"/Tempfiles"_s));
    QVERIFY(f.ui.shown.isEmpty());
}

void TestInstall::sameRouteTwiceReplacesItsRecord()
{
    InstallFixture f;
    const QByteArray original = InstallFixture::routeList({u"r1"_s, u"r2"_s});
    f.gameFile(u"Content/Routes.xml"_s, original);
    f.gameFile(u"Assets/Kuju/x.txt"_s, "x");
    routePackage(f, u"r9"_s, u"Riverside Branch"_s);

    f.ui.answerYes();
    QCOMPARE(f.install(PackageKind::Route), Outcome::Completed);
    const QByteArray afterFirst = f.readGame(u"Content/Routes.xml"_s);
    QCOMPARE(afterFirst, InstallFixture::routeList({u"r1"_s, u"r2"_s})
                             .replace("\t</Record>",
                                      InstallFixture::routeRecord(u"r9"_s, u"Riverside Branch"_s) +
                                          "\t</Record>"));
    QCOMPARE(f.readGame(u"Content/Routes.xml.bak"_s), original);
    QCOMPARE(f.ui.shown.first().text, confirmation(u"Riverside Branch"_s));
    QVERIFY(f.gameHas(u"Content/Routes/r9/RouteProperties.xml"_s));

    InstallFixture::routeRecord(u"r9"_s, u"Riverside Branch"_s);
    f.packageFile(u"Veltrane.xxx"_s, InstallFixture::routeRecord(u"R9"_s, u"Riverside 2"_s));
    f.ui.answerYes();
    QCOMPARE(f.install(PackageKind::Route), Outcome::Completed);
    const QByteArray afterSecond = f.readGame(u"Content/Routes.xml"_s);
    QCOMPARE(afterSecond.count("<cRouteProperties"), 3);
    QVERIFY(afterSecond.contains("Riverside 2"));
    QVERIFY(!afterSecond.contains("Riverside Branch"));
    QCOMPARE(f.readGame(u"Content/Routes.xml.bak"_s), afterFirst);
}

void TestInstall::identifierInAnotherRouteAsksFirst_data()
{
    QTest::addColumn<bool>("replace");
    QTest::newRow("Yes replaces that route") << true;
    QTest::newRow("No adds a route of its own") << false;
}

void TestInstall::identifierInAnotherRouteAsksFirst()
{
    QFETCH(bool, replace);
    InstallFixture f;
    // The package's identifier is the start of another route's: matched as text, it is
    // found in that route's record.
    f.gameFile(u"Content/Routes.xml"_s, InstallFixture::routeList({u"r1"_s, u"core-extra"_s}));
    routePackage(f, u"core"_s, u"Core Line"_s);
    f.ui.answerYes();
    f.ui.answer(replace);
    QCOMPARE(f.install(PackageKind::Route), Outcome::Completed);
    QVERIFY2(f.ui.texts().value(1).contains(u"Route core-extra (core-extra)"_s),
             qPrintable(f.ui.texts().value(1)));
    const QByteArray list = f.readGame(u"Content/Routes.xml"_s);
    QCOMPARE(list.count("<cRouteProperties"), replace ? 2 : 3);
    QCOMPARE(list.contains("Route core-extra"), !replace);
    QVERIFY(list.contains("Core Line"));
}

void TestInstall::missingListWithItsBackupIsOfferedBack_data()
{
    QTest::addColumn<bool>("putBack");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void TestInstall::missingListWithItsBackupIsOfferedBack()
{
    QFETCH(bool, putBack);
    InstallFixture f;
    const QByteArray backup = InstallFixture::routeList({u"r1"_s});
    // What an install cut short by an older program could leave.
    f.gameFile(u"Content/Routes.xml.bak"_s, backup);
    routePackage(f, u"r2"_s, u"Two"_s);
    f.ui.answer(putBack);
    if (putBack)
        f.ui.answerYes();
    QCOMPARE(f.install(PackageKind::Route), putBack ? Outcome::Completed : Outcome::Ended);
    QVERIFY(f.ui.texts().first().contains(u"backup Routes.xml.bak is there"_s));
    if (putBack) {
        QVERIFY(f.readGame(u"Content/Routes.xml"_s).contains("Route r1"));
        QVERIFY(f.readGame(u"Content/Routes.xml"_s).contains(">Two<"));
        QCOMPARE(f.readGame(u"Content/Routes.xml.bak"_s), backup);
    } else {
        QVERIFY(!f.gameHas(u"Content/Routes.xml"_s));
        QCOMPARE(f.ui.shown.last().icon, Icon::Critical);
    }
}

void TestInstall::copyGoesOnPastWhatFails()
{
    InstallFixture f;
    f.gameFile(u"Assets/Kuju/Blueprints.pak"_s, "cache");
    makeFolder(f.game + u"/Assets/Kuju/Coach.bin"_s); // a folder where the package has a file
    f.gameFile(u"Assets/Kuju/Stock"_s, "a file where the package has a folder");
    f.packageFile(u"Rail Simulator/Assets/Kuju/Coach.bin"_s, "coach");
    f.packageFile(u"Rail Simulator/Assets/Kuju/Stock/Wagon.bin"_s, "wagon");
    for (const char* name : {"A.bin", "Z.bin"})
        f.packageFile(u"Rail Simulator/Assets/Kuju/"_s + QLatin1String(name), name);

    QCOMPARE(f.install(PackageKind::Assets), Outcome::Incomplete);
    QCOMPARE(f.readGame(u"Assets/Kuju/A.bin"_s), QByteArray("A.bin"));
    QCOMPARE(f.readGame(u"Assets/Kuju/Z.bin"_s), QByteArray("Z.bin"));
    QVERIFY2(!f.gameHas(u"Assets/Kuju/Blueprints.pak"_s), "the steps after the copy ran");
    const QString last = f.ui.texts().last();
    QVERIFY2(!last.contains(kInstalled) && last.contains(u"Coach.bin"_s) &&
                 last.contains(u"Kuju/Stock"_s) && last.contains(u"2 files were copied"_s),
             qPrintable(last));
}

void TestInstall::unreadablePackageFileIsNoReadOnlyQuestion()
{
#ifdef Q_OS_UNIX
    InstallFixture f;
    f.packageFile(u"Rail Simulator/Assets/Kuju/Secret.bin"_s, "secret");
    f.packageFile(u"Rail Simulator/Assets/Kuju/Open.bin"_s, "open");
    chmodHost(f.package + u"/Rail Simulator/Assets/Kuju/Secret.bin"_s, 0);
    UnprivilegedScope unprivileged(f.root);
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));
    QCOMPARE(f.install(PackageKind::Assets), Outcome::Incomplete);
    QCOMPARE(f.ui.shown.size(), 1);
    QVERIFY2(f.ui.texts().first().contains(u"Secret.bin"_s) &&
                 f.ui.texts().first().contains(u"cannot be read"_s),
             qPrintable(f.ui.texts().first()));
    QCOMPARE(f.readGame(u"Assets/Kuju/Open.bin"_s), QByteArray("open"));
#else
    QSKIP("file modes are a POSIX matter");
#endif
}

void TestInstall::packageThatMayNotBeWrittenKeepsItsWorkElsewhere()
{
#ifdef Q_OS_UNIX
    // A package on a read-only medium or of another user's: the scenario's working files
    // (Scenarios.xml, Tempfiles) go to a folder of the install's own in the cache.
    InstallFixture f;
    f.layOutDemoGame();
    f.copyDemoPackage(u"scenario"_s);
    const QString cache = f.root + u"/cache"_s;
    EnvironmentGuard environment;
    environment.set("XDG_CACHE_HOME", QFile::encodeName(cache));
    environment.set("XDG_STATE_HOME", QFile::encodeName(f.root + u"/state"_s));
    const auto package = snapshot(f.package);
    UnprivilegedScope unprivileged(f.root);
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));
    unprivileged.handToAnotherUser(f.package);
    f.ui.answerYes();
    QVERIFY2(f.install(PackageKind::Scenario) == Outcome::Completed,
             qPrintable(f.ui.texts().join(u'\n')));
    QCOMPARE(snapshot(f.package), package);
    // The install's own folder is gone with it.
    const QStringList left = entriesBelow(cache);
    QVERIFY2(std::none_of(left.begin(), left.end(),
                          [](const QString& entry) {
                              return entry.contains(u"installs/"_s) &&
                                     !entry.endsWith(u"installs/"_s);
                          }),
             qPrintable(left.join(u'\n')));
#else
    QSKIP("file modes are a POSIX matter");
#endif
}

void TestInstall::recoveryThatCannotChangeEverythingSaysWhich()
{
#ifdef Q_OS_UNIX
    InstallFixture f;
    f.gameFile(u"Assets/Kuju/Coach.bin"_s, "old");
    f.packageFile(u"Rail Simulator/Assets/Kuju/Coach.bin"_s, "new");
    chmodHost(f.game + u"/Assets/Kuju/Coach.bin"_s, 0444);
    f.gameFile(u"Assets/Locked/Other.bin"_s, "someone else's");
    UnprivilegedScope unprivileged(f.root);
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));
    // Another user's file: its owner alone may change it.
    unprivileged.handToAnotherUser(f.game + u"/Assets/Locked/Other.bin"_s);
    f.ui.answerYes();
    QCOMPARE(f.install(PackageKind::Assets), Outcome::Incomplete);
    const QStringList texts = f.ui.texts();
    QVERIFY2(!texts.contains(u"All files are now Read/Write"_s), qPrintable(texts.join(u" | "_s)));
    QVERIFY2(texts.value(1).contains(u"could not be changed"_s) &&
                 texts.value(1).contains(u"Other.bin"_s),
             qPrintable(texts.value(1)));
#else
    QSKIP("file modes are a POSIX matter");
#endif
}

void TestInstall::packageBatchGoesToWineOnlyWhenOursCannotRunIt_data()
{
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<int>("answer"); // -1: no question
    QTest::addColumn<bool>("toWine");
    QTest::addColumn<QString>("failure"); // in the last message; empty: the install completes
    QTest::newRow("every line ours")
        << QByteArray("echo Tidying up\r\nmd Docs\r\n") << -1 << false << QString();
    QTest::newRow("a line ours cannot run, Yes")
        << QByteArray("start setup.exe\r\nmd Docs\r\n") << 1 << true << QString();
    QTest::newRow("a line ours cannot run, No")
        << QByteArray("start setup.exe\r\nmd Docs\r\n") << 0 << false
        << u"running it in Wine's command interpreter was declined"_s;
    QTest::newRow("a line leaving the game, with one ours cannot run")
        << QByteArray("start setup.exe\r\ndel ..\\outside.txt\r\n") << -1 << false
        << u"line 2 would change files outside the game and package folders"_s;
    QTest::newRow("a command of ours failed")
        << QByteArray("copy none.txt x.txt\r\n") << -1 << false
        << u"not done: Line 1: copy none.txt x.txt"_s;
    // The journals that make the install undoable are the program's alone.
    QTest::newRow("a command of ours reaching the program's folder")
        << QByteArray("del /s /q .veltrane\\*\r\n") << -1 << false
        << u"not done: Line 1: del /s /q .veltrane"_s;
}

void TestInstall::packageBatchGoesToWineOnlyWhenOursCannotRunIt()
{
#ifdef Q_OS_UNIX
    QFETCH(QByteArray, batch);
    QFETCH(int, answer);
    QFETCH(bool, toWine);
    QFETCH(QString, failure);
    InstallFixture f;
    f.gameFile(u"Assets/Kuju/Blueprints.PAK"_s, "cache");
    writeFile(f.root + u"/outside.txt"_s, "keep");
    f.packageFile(u"Rail Simulator/RS-Install.bat"_s, batch);
    // A Wine that notes what it is asked to run, says something on both channels and ends
    // with 3, in a prefix with drives.
    const QString log = f.root + u"/wine.log"_s;
    writeFile(f.root + u"/bin/wine"_s, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" +
                                           QFile::encodeName(log) +
                                           "'\necho \"debug $WINEDEBUG\"\necho fixme:noise >&2\n"
                                           "exit 3\n");
    chmodHost(f.root + u"/bin/wine"_s, 0755);
    makeFolder(f.root + u"/prefix/dosdevices"_s);
    QVERIFY(QFile::link(u"/"_s, f.root + u"/prefix/dosdevices/z:"_s));
    EnvironmentGuard environment;
    environment.set("PATH", QFile::encodeName(f.root + u"/bin"_s));
    environment.unset("WINEDEBUG");
    if (answer >= 0)
        f.ui.answer(answer == 1);

    const Outcome outcome = f.install(PackageKind::Assets);
    const QString installLog = f.logs().value(0);
    QVERIFY2(!f.gameHas(u"Assets/Kuju/Blueprints.PAK"_s), "the caches are cleared by ours");
    QVERIFY(!f.gameHas(u"RS-Install.bat"_s));
    QCOMPARE(readFile(f.root + u"/outside.txt"_s), QByteArray("keep"));
    QCOMPARE(InstallHistory(host(f.game)).installs().size(), 1);
    if (answer >= 0) {
        const QString question = f.ui.shown.first().text;
        QVERIFY2(question.contains(u"Line 1: start setup.exe"_s) &&
                     question.contains(u"can change any file that you may change"_s),
                 qPrintable(question));
    }
    const QString batchPath = QString(f.game + u"/RS-Install.bat"_s).replace(u'/', u'\\');
    QCOMPARE(QString::fromUtf8(readFile(log)),
             toWine ? u"cmd /c Z:"_s + batchPath + u'\n' : QString());
    if (toWine) {
        // Its output in the log, Wine's own messages off, its exit status noted, not judged.
        QVERIFY2(installLog.contains(u"output    debug -all\n"_s) &&
                     installLog.contains(u"errors    fixme:noise\n"_s),
                 qPrintable(installLog));
        QCOMPARE(f.ui.notes, QStringList{u"RS-Install.bat ended with exit status 3"_s});
    } else if (failure.isEmpty()) {
        QVERIFY2(installLog.contains(u"output    Tidying up\n"_s), qPrintable(installLog));
        QVERIFY(QFileInfo(f.game + u"/Docs"_s).isDir());
    }
    if (failure.isEmpty()) {
        QCOMPARE(outcome, Outcome::Completed);
        QCOMPARE(f.ui.texts().last(), kInstalled);
    } else {
        QCOMPARE(outcome, Outcome::Incomplete);
        const QString last = f.ui.texts().last();
        QVERIFY2(last.contains(u"RS-Install.bat: "_s) && last.contains(failure), qPrintable(last));
        QVERIFY2(!QFileInfo::exists(f.game + u"/Docs"_s), "no line of a file that was not run");
    }
#else
    QSKIP("Wine is for systems other than Windows");
#endif
}

void TestInstall::refusedBatchFileIsNoSuccess()
{
    InstallFixture f;
    f.packageFile(u"Rail Simulator/RS-Install.bat"_s, "setup.exe /quiet\r\n");
    f.packageFile(u"Rail Simulator/Assets/Kuju/Tank.bin"_s, "tank");
    QCOMPARE(f.install(PackageKind::Assets), Outcome::Incomplete);
    const QStringList texts = f.ui.texts();
    QVERIFY2(texts.first().contains(u"has not been run"_s), qPrintable(texts.first()));
    QVERIFY2(texts.last().contains(u"RS-Install.bat"_s) && !texts.contains(kInstalled),
             qPrintable(texts.last()));
}

void TestInstall::packageFolderThatLeadsOutIsNotCopied_data()
{
    QTest::addColumn<QString>("leadsTo"); // relative to the temporary folder
    QTest::newRow("a private folder") << u"private"_s;
    QTest::newRow("the game itself") << u"Rail Simulator"_s;
    QTest::newRow("above the game") << u"."_s;
}

void TestInstall::packageFolderThatLeadsOutIsNotCopied()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, leadsTo);
    InstallFixture f;
    writeFile(f.root + u"/private/Assets/secret.txt"_s, "secret");
    QVERIFY(QFile::link(f.root + u'/' + leadsTo, f.package + u"/Rail Simulator"_s));
    const auto before = f.gameSnapshot();
    QCOMPARE(f.install(PackageKind::Assets), Outcome::Incomplete);
    QVERIFY2(f.ui.texts().last().contains(u"leads out of its own folder"_s),
             qPrintable(f.ui.texts().last()));
    QCOMPARE(f.gameSnapshot(), before);
#else
    QSKIP("symbolic links are a POSIX matter here");
#endif
}

void TestInstall::newRouteLandsBeforeTheClosingLine()
{
    InstallFixture f;
    f.gameFile(u"Content/Routes.xml"_s,
               "<cRouteList>\r\n\t<Record>\r\n\t\t<cRouteProperties>r1</cRouteProperties>\r\n"
               "    </Record>\r\n</cRouteList>\r\n");
    f.packageFile(u"Veltrane.xxx"_s,
                  "\t\t<cRouteProperties><DevString>n</DevString><English>N</English>"
                  "</cRouteProperties>\r\n");
    f.ui.answerYes();
    QCOMPARE(f.install(PackageKind::Route), Outcome::Completed);
    QCOMPARE(f.readGame(u"Content/Routes.xml"_s),
             QByteArray("<cRouteList>\r\n\t<Record>\r\n\t\t<cRouteProperties>r1</cRouteProperties>"
                        "\r\n\t\t<cRouteProperties><DevString>n</DevString><English>N</English>"
                        "</cRouteProperties>\r\n\t</Record>\r\n</cRouteList>\r\n"));
}

void TestInstall::missingRouteListStops()
{
    InstallFixture f;
    routePackage(f, u"r9"_s, u"R"_s);
    const auto before = f.gameSnapshot();
    QCOMPARE(f.install(PackageKind::Route), Outcome::Ended);
    QCOMPARE(f.ui.shown.size(), 1);
    QCOMPARE(f.ui.shown.first().icon, Icon::Critical);
    QCOMPARE(f.ui.shown.first().text,
             u"The file "_s + f.game +
                 u"/Content/Routes.xml\r\ncould not be found, please check your Content folder"_s);
    QCOMPARE(f.gameSnapshot(), before);
    QVERIFY(!f.ui.busy());
}

void TestInstall::declinedConfirmationChangesNothing()
{
    InstallFixture f;
    f.gameFile(u"Content/Routes.xml"_s, InstallFixture::routeList({u"r1"_s}));
    f.gameFile(u"Content/Routes.xml.bak"_s, "older backup");
    f.packageFile(u"Veltrane.xxx"_s,
                  "<cRouteProperties><DevString>r2</DevString><English></English>"
                  "</cRouteProperties>\r\n");
    f.packageFile(u"Rail Simulator/Content/Routes/r2/x.xml"_s, "x");
    const auto before = f.gameSnapshot();
    f.ui.answerNo();
    QCOMPARE(f.install(PackageKind::Route), Outcome::Ended);
    QCOMPARE(f.ui.texts(), QStringList{confirmation(QString())});
    QCOMPARE(f.gameSnapshot(), before);
}

void TestInstall::damagedMarkerOrListStopsBeforeAnyChange_data()
{
    QTest::addColumn<QByteArray>("marker");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("problem");
    const QByteArray goodList = InstallFixture::routeList({u"r1"_s});
    const QByteArray goodMarker = InstallFixture::routeRecord(u"r2"_s, u"Two"_s);
    QTest::newRow("marker without DevString")
        << QByteArray("<English>Two</English>") << goodList << false << u"Veltrane.xxx"_s;
    QTest::newRow("marker with empty DevString")
        << QByteArray("<DevString></DevString><English>Two</English>") << goodList << false
        << u"Veltrane.xxx"_s;
    QTest::newRow("marker without English")
        << QByteArray("<DevString>r2</DevString>") << goodList << false << u"Veltrane.xxx"_s;
    QTest::newRow("missing marker") << QByteArray() << goodList << false << u"Veltrane.xxx"_s;
    // Pasted into the list as they are, these would leave the game unable to read any route.
    QTest::newRow("record cut short")
        << goodMarker.left(goodMarker.size() - 24) << goodList << false << u"cut short"_s;
    QTest::newRow("NUL bytes") << QByteArray(goodMarker).insert(40, QByteArray(4, '\0')) << goodList
                               << false << u"control characters"_s;
    QTest::newRow("closes the list") << QByteArray(goodMarker).replace("</ID>", "</ID></Record>")
                                     << goodList << false << u"more than one record"_s;
    QTest::newRow("two records") << goodMarker + goodMarker << goodList << false
                                 << u"more than one record"_s;
    QTest::newRow("list without closing Record")
        << goodMarker << QByteArray("<cRouteList>\r\n\t<Routes/>\r\n</cRouteList>\r\n") << true
        << u"Routes.xml"_s;
    QTest::newRow("identifier outside any record")
        << InstallFixture::routeRecord(u"cRouteList"_s, u"Two"_s) << goodList << true
        << u"Routes.xml"_s;
}

void TestInstall::damagedMarkerOrListStopsBeforeAnyChange()
{
    QFETCH(QByteArray, marker);
    QFETCH(QByteArray, list);
    QFETCH(bool, asked);
    QFETCH(QString, problem);
    InstallFixture f;
    f.gameFile(u"Content/Routes.xml"_s, list);
    if (!marker.isEmpty())
        f.packageFile(u"Veltrane.xxx"_s, marker);
    f.packageFile(u"Rail Simulator/Content/Routes/r2/x.xml"_s, "x");
    if (asked)
        f.ui.answerYes();
    const auto before = f.gameSnapshot();
    QCOMPARE(f.install(PackageKind::Route), Outcome::Ended);
    QCOMPARE(f.gameSnapshot(), before);
    const QString last = f.ui.shown.last().text;
    QVERIFY2(last.contains(problem) && last.contains(u"Nothing has been changed."_s),
             qPrintable(last));
    QCOMPARE(f.ui.shown.last().icon, Icon::Exclamation);
    QCOMPARE(f.ui.pendingAnswers(), 0);
}

void TestInstall::readOnlyFileOffersRecovery_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void TestInstall::readOnlyFileOffersRecovery()
{
    QFETCH(bool, yes);
    InstallFixture f;
    f.gameFile(u"Assets/Kuju/Coach.bin"_s, "old");
    f.gameFile(u"Assets/Kuju/Blueprints.pak"_s, "cache");
    f.packageFile(u"Rail Simulator/Assets/Kuju/Coach.bin"_s, "new");
    chmodHost(f.game + u"/Assets/Kuju/Coach.bin"_s, 0444);
    UnprivilegedScope unprivileged(f.root);
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));

    f.ui.answer(yes);
    if (yes) {
        // The failed copy is not repeated, and the end says so: the next run finishes it.
        QCOMPARE(f.install(PackageKind::Assets), Outcome::Incomplete);
        const QStringList texts = f.ui.texts();
        QCOMPARE(texts.mid(0, 2),
                 (QStringList{kReadOnlyQuestion, u"All files are now Read/Write"_s}));
        QCOMPARE(f.ui.shown[1].icon, Icon::Exclamation);
        QCOMPARE(texts.size(), 3);
        QVERIFY2(texts[2].contains(u"not been installed completely"_s) &&
                     texts[2].contains(u"Copying the package's files"_s) &&
                     texts[2].contains(u"run this Setup again"_s),
                 qPrintable(texts[2]));
        QCOMPARE(f.readGame(u"Assets/Kuju/Coach.bin"_s), QByteArray("old"));
        QVERIFY(!f.gameHas(u"Assets/Kuju/Blueprints.pak"_s));
        QVERIFY(QFileInfo(f.game + u"/Assets/Kuju/Coach.bin"_s).isWritable());
    } else {
        QCOMPARE(f.install(PackageKind::Assets), Outcome::Ended);
        QCOMPARE(f.ui.texts(), QStringList{kReadOnlyQuestion});
        QVERIFY2(f.gameHas(u"Assets/Kuju/Blueprints.pak"_s), "no completion step ran");
    }
    QVERIFY(!f.ui.busy());
}

void TestInstall::readOnlyGameRootIsOfferedFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void TestInstall::readOnlyGameRootIsOfferedFirst()
{
    QFETCH(bool, yes);
    InstallFixture f;
    f.packageFile(u"Rail Simulator/Assets/Kuju/Coach.bin"_s, "new");
    chmodHost(f.game, 0555);
    UnprivilegedScope unprivileged(f.root);
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));

    // Where the journal cannot be made, the described offer comes before anything changes.
    f.ui.answer(yes);
    QCOMPARE(f.install(PackageKind::Assets), yes ? Outcome::Completed : Outcome::Ended);
    QCOMPARE(f.ui.texts().first(), kReadOnlyQuestion);
    QCOMPARE(f.gameHas(u"Assets/Kuju/Coach.bin"_s), yes);
    if (!yes)
        QCOMPARE(f.ui.texts().size(), 1);
}

void TestInstall::gameHeldByAnotherProgramIsLeftAlone_data()
{
    QTest::addColumn<bool>("alive"); // the holder of the lock still runs
    QTest::newRow("a live program holds the game") << true;
    QTest::newRow("a dead program left its lock") << false;
}

void TestInstall::gameHeldByAnotherProgramIsLeftAlone()
{
    QFETCH(bool, alive);
    InstallFixture f;
    f.packageFile(u"Rail Simulator/Assets/Kuju/Coach.bin"_s, "new");
    makeFolder(f.game + u"/.veltrane"_s);
    qint64 pid = QCoreApplication::applicationPid();
    if (!alive) {
        QProcess ended;
        ended.start(u"/bin/true"_s, {});
        QVERIFY(ended.waitForStarted());
        pid = ended.processId();
        QVERIFY(ended.waitForFinished());
    }
    // QLockFile's own format: process id, the program's name, host.
    writeFile(f.game + u"/.veltrane/lock"_s,
              QByteArray::number(pid) + '\n' +
                  QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n' +
                  QSysInfo::machineHostName().toUtf8() + '\n');
    const auto before = f.gameSnapshot();

    QCOMPARE(f.install(PackageKind::Assets), alive ? Outcome::Refused : Outcome::Completed);
    if (alive) {
        QVERIFY2(f.ui.texts().first().contains(u"(process "_s + QString::number(pid)),
                 qPrintable(f.ui.texts().first()));
        QCOMPARE(f.gameSnapshot(), before);
    } else {
        QCOMPARE(f.ui.texts(), QStringList{kInstalled});
    }
}

void TestInstall::backupThatIsAFolderIsNamedAtTheEnd()
{
    InstallFixture f;
    f.gameFile(u"Content/Routes.xml"_s, InstallFixture::routeList({u"other"_s}));
    makeFolder(f.game + u"/Content/Routes.xml.bak"_s);
    routePackage(f, u"route-9"_s, u"Nine"_s);
    f.ui.answerYes();
    // The list is replaced, its backup cannot take its name: the install goes on and says so.
    QCOMPARE(f.install(PackageKind::Route), Outcome::Incomplete);
    QVERIFY(f.readGame(u"Content/Routes.xml"_s).contains("route-9"));
    QVERIFY(f.gameHas(u"Content/Routes/route-9/RouteProperties.xml"_s));
    const QString last = f.ui.texts().last();
    QVERIFY2(last.contains(u"What failed:"_s) && last.contains(u"Routes.xml.bak"_s),
             qPrintable(last));
}

void TestInstall::refusedListWriteKeepsTheList_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void TestInstall::refusedListWriteKeepsTheList()
{
    QFETCH(bool, yes);
    InstallFixture f;
    const QByteArray list = InstallFixture::routeList({u"r1"_s});
    f.gameFile(u"Content/Routes.xml"_s, list);
    routePackage(f, u"r2"_s, u"Two"_s);
    chmodHost(f.game + u"/Content"_s, 0555);
    UnprivilegedScope unprivileged(f.root);
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));

    f.ui.answerYes();
    f.ui.answer(yes);
    QCOMPARE(f.install(PackageKind::Route), yes ? Outcome::Incomplete : Outcome::Ended);
    QCOMPARE(f.readGame(u"Content/Routes.xml"_s), list);
    QVERIFY(!f.gameHas(u"Content/Routes.xml.bak"_s));
    const QStringList texts = f.ui.texts();
    QVERIFY2(texts.value(1).contains(u"occurred in WriteUniFile while processing"_s) &&
                 texts.value(2).contains(u"has been left as it was"_s),
             qPrintable(texts.join(u" | "_s)));
    QCOMPARE(texts.value(3), kReadOnlyQuestion);
    if (yes)
        QVERIFY2(texts.last().contains(u"Adding the route to the route list"_s),
                 qPrintable(texts.last()));
}

void TestInstall::failedWriteLeavesTheListAsItWas()
{
#ifdef Q_OS_UNIX
    InstallFixture f;
    QStringList many;
    for (int i = 0; i < 200; ++i)
        many.append(u"route-"_s + QString::number(i));
    const QByteArray list = InstallFixture::routeList(many);
    f.gameFile(u"Content/Routes.xml"_s, list);
    routePackage(f, u"new-route"_s, u"New"_s);

    // Files may not grow beyond a size smaller than the new list: its write fails.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = rlim_t(list.size() / 2);
    setrlimit(RLIMIT_FSIZE, &small);
    f.ui.answerYes();
    const Outcome outcome = f.install(PackageKind::Route);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(outcome, Outcome::Ended);
    QCOMPARE(f.readGame(u"Content/Routes.xml"_s), list);
    QVERIFY(!f.gameHas(u"Content/Routes.xml.bak"_s));
    const QStringList texts = f.ui.texts();
    QVERIFY2(texts.last().contains(u"has been left as it was"_s), qPrintable(texts.join(u" | "_s)));
    QVERIFY(texts.value(1).contains(u"occurred in WriteUniFile while processing"_s));
    QVERIFY(!f.gameHas(u"Content/Routes/new-route/RouteProperties.xml"_s));
#else
    QSKIP("file size limits are a POSIX matter");
#endif
}

void TestInstall::closingFinishesTheInstall()
{
    InstallFixture f;
    const QByteArray list = InstallFixture::routeList({u"r1"_s});
    f.gameFile(u"Content/Routes.xml"_s, list);
    routePackage(f, u"r2"_s, u"Two"_s);
    f.ui.answerYes();
    // The user closes the window at the first chance the install gives: a route without
    // its files would be no use to the game.
    f.ui.onProcessEvents = [&f] { f.ui.requestClose(); };
    QCOMPARE(f.install(PackageKind::Route), Outcome::Completed);
    QVERIFY(f.readGame(u"Content/Routes.xml"_s).contains("r2"));
    QVERIFY(f.gameHas(u"Content/Routes/r2/RouteProperties.xml"_s));
    QCOMPARE(f.ui.texts().last(), kInstalled);
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
