// Installs taken back from their journals: the game comes back byte for byte.
#include "FileFixture.h"
#include "InstallFixture.h"
#include "SmallDisk.h"
#include "journal/Inventory.h"
#include "journal/UndoOperation.h"

#include <QTest>
#include <csignal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;
using Outcome = InstallOperation::Outcome;

namespace {

HostPath gameOf(const InstallFixture& f)
{
    return HostPath::fromHost(f.game);
}

} // namespace

class TestUndo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void demoPackageInstalledLoggedThenUndone_data();
    void demoPackageInstalledLoggedThenUndone();
    void olderInstallIsUndoneAfterTheNewer();
    void fileChangedSinceIsAskedAbout_data();
    void fileChangedSinceIsAskedAbout();
    void fullDiskStopsShortAndIsUndone_data();
    void fullDiskStopsShortAndIsUndone();
    void journalNotTheGamesOwnIsSetAside_data();
    void journalNotTheGamesOwnIsSetAside();
};

void TestUndo::demoPackageInstalledLoggedThenUndone_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<PackageKind>("kind");
    QTest::addColumn<int>("yes");      // questions the install asks
    QTest::addColumn<QString>("list"); // the list whose record it adds, as its path ends
    QTest::newRow("route") << u"route"_s << PackageKind::Route << 1 << u"Content/Routes.xml"_s;
    QTest::newRow("scenario, with rolling stock made")
        << u"scenario"_s << PackageKind::Scenario << 1 << u"/Scenarios.bin"_s;
    QTest::newRow("assets") << u"assets"_s << PackageKind::Assets << 0 << QString();
}

void TestUndo::demoPackageInstalledLoggedThenUndone()
{
    QFETCH(QString, package);
    QFETCH(PackageKind, kind);
    QFETCH(int, yes);
    QFETCH(QString, list);
    InstallFixture f;
    f.layOutDemoGame();
    f.copyDemoPackage(package);
    const auto before = withoutCaches(f.gameSnapshot());
    f.ui.answerYes(yes);
    QVERIFY2(f.install(kind) == Outcome::Completed, qPrintable(f.ui.texts().join(u'\n')));
    const auto after = withoutCaches(f.gameSnapshot());
    QVERIFY(after != before);

    // The log names every file the install made or changed (a replaced one with whose it
    // was), each question with its answer, and the outcome.
    QCOMPARE(f.logs().size(), 1);
    const QString log = f.logs().first();
    for (auto file = after.cbegin(); file != after.cend(); ++file) {
        if (before.value(file.key()) == file.value() && before.contains(file.key()))
            continue;
        const bool replaced = before.contains(file.key());
        const QString line = (replaced ? u"replaced "_s : u"created "_s) +
                             QDir::toNativeSeparators(f.game + u'/' + file.key()) +
                             (replaced ? u" (the game's own file)\n"_s : u"\n"_s);
        QVERIFY2(log.contains(line), qPrintable(line + log));
    }
    QCOMPARE(log.count(u" -> Yes\n"_s), yes);
    QVERIFY2(log.endsWith(u"outcome   completed\n"_s), qPrintable(log));

    // The inventory names the route or scenario as its marker does, and the record it put in
    // the list under that name.
    {
        const Inventory inventory = Inventory::open(gameOf(f), f.ui, Inventory::Access::ReadOnly);
        const InstallRecord install = inventory.installs().value(0);
        const QList<InstallRecord::ListChange> records = inventory.records(install.id);
        QCOMPARE(install.displayName.isEmpty(), list.isEmpty());
        QCOMPARE(records.isEmpty(), list.isEmpty());
        if (!list.isEmpty()) {
            QVERIFY2(records.last().list.endsWith(list), qPrintable(records.last().list));
            QCOMPARE(records.last().name, install.displayName);
            QVERIFY(!records.last().recordId.isEmpty());
        }
    }

    f.ui.answerYes();
    QCOMPARE(UndoOperation(f.ui).undo(gameOf(f), 0), UndoOperation::Outcome::Undone);
    QVERIFY2(f.ui.texts().last().contains(u"has been undone"_s), qPrintable(f.ui.texts().last()));
    QCOMPARE(withoutCaches(f.gameSnapshot()), before);
    // Its journal stays for the inventory, marked as taken back; its kept copies go.
    const QList<InstallRecord> listed =
        Inventory::open(gameOf(f), f.ui, Inventory::Access::ReadOnly).installs();
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed.first().state, InstallRecord::State::TakenBack);
    QVERIFY(!QFileInfo::exists(f.game + u"/.veltrane/installs/"_s + listed.first().journal +
                               u"/aside"_s));
}

void TestUndo::olderInstallIsUndoneAfterTheNewer()
{
    InstallFixture f;
    f.gameFile(u"Assets/Kuju/Coach.bin"_s, "the game's own");
    const auto before = f.gameSnapshot();
    f.packageFile(u"Rail Simulator/Assets/Kuju/Coach.bin"_s, "first package");
    f.packageFile(u"Rail Simulator/Assets/Kuju/First.bin"_s, "first");
    QCOMPARE(f.install(PackageKind::Assets), Outcome::Completed);
    QTest::qWait(5); // the journals are named by the time their installs began
    QVERIFY(QFile::remove(f.package + u"/Rail Simulator/Assets/Kuju/First.bin"_s));
    f.packageFile(u"Rail Simulator/Assets/Kuju/Coach.bin"_s, "second package");
    f.packageFile(u"Rail Simulator/Assets/Kuju/Second.bin"_s, "second");
    QCOMPARE(f.install(PackageKind::Assets), Outcome::Completed);

    f.ui.shown.clear();
    f.ui.answerYes();
    QCOMPARE(UndoOperation(f.ui).undo(gameOf(f), 1), UndoOperation::Outcome::Undone);
    // The user hears of the newer install before anything is changed.
    QVERIFY2(f.ui.shown.first().question &&
                 f.ui.shown.first().text.contains(u"The install made after it is undone first"_s),
             qPrintable(f.ui.shown.first().text));
    const QString told = f.ui.texts().last();
    QVERIFY2(told.indexOf(u"undone"_s) >= 0, qPrintable(told));
    QCOMPARE(f.gameSnapshot(), before);
    const QList<InstallRecord> listed =
        Inventory::open(gameOf(f), f.ui, Inventory::Access::ReadOnly).installs();
    QCOMPARE(listed.size(), 2);
    for (const InstallRecord& install : listed)
        QCOMPARE(install.state, InstallRecord::State::TakenBack);
}

void TestUndo::fileChangedSinceIsAskedAbout_data()
{
    QTest::addColumn<bool>("overwrite");
    QTest::newRow("Yes puts it back") << true;
    QTest::newRow("No keeps the change") << false;
}

void TestUndo::fileChangedSinceIsAskedAbout()
{
    QFETCH(bool, overwrite);
    InstallFixture f;
    f.gameFile(u"Assets/Kuju/Coach.bin"_s, "the game's own");
    f.gameFile(u"Assets/Kuju/Wagon.bin"_s, "the game's wagon");
    const auto before = f.gameSnapshot();
    f.packageFile(u"Rail Simulator/Assets/Kuju/Coach.bin"_s, "the package's");
    f.packageFile(u"Rail Simulator/Assets/Kuju/Wagon.bin"_s, "the package's wagon");
    QCOMPARE(f.install(PackageKind::Assets), Outcome::Completed);
    f.gameFile(u"Assets/Kuju/Coach.bin"_s, "changed by hand since");
    f.ui.shown.clear();

    f.ui.answerYes();
    f.ui.answer(overwrite);
    QCOMPARE(UndoOperation(f.ui).undo(gameOf(f), 0),
             overwrite ? UndoOperation::Outcome::Undone : UndoOperation::Outcome::Partly);
    QVERIFY2(f.ui.shown[1].question && f.ui.shown[1].text.contains(u"Coach.bin"_s) &&
                 f.ui.shown[1].text.contains(u"has changed since"_s),
             qPrintable(f.ui.shown[1].text));
    QCOMPARE(f.readGame(u"Assets/Kuju/Wagon.bin"_s), QByteArray("the game's wagon"));
    QCOMPARE(f.readGame(u"Assets/Kuju/Coach.bin"_s),
             overwrite ? QByteArray("the game's own") : QByteArray("changed by hand since"));
    if (overwrite)
        QCOMPARE(f.gameSnapshot(), before);
    else
        QVERIFY(f.ui.texts().last().contains(u"were kept as they are"_s));
}

void TestUndo::fullDiskStopsShortAndIsUndone_data()
{
    QTest::addColumn<bool>("fullDisk"); // else the journal outgrows what a file may hold
    QTest::newRow("disk full during the copy") << true;
    QTest::newRow("journal cannot grow during the copy") << false;
}

void TestUndo::fullDiskStopsShortAndIsUndone()
{
#ifdef Q_OS_UNIX
    QFETCH(bool, fullDisk);
    InstallFixture f;
    for (int i = 0; i < 40; ++i) {
        f.gameFile(u"Assets/Kuju/Wagon%1.bin"_s.arg(i), "old");
        f.packageFile(u"Rail Simulator/Assets/Kuju/Wagon%1.bin"_s.arg(i), "new");
        f.packageFile(u"Rail Simulator/Assets/Kuju/Added%1.bin"_s.arg(i), "added");
    }
    std::optional<SmallDisk> disk;
    QString game = f.game;
    if (fullDisk) {
        disk.emplace(1024 * 1024);
        if (!disk->unavailableReason().isEmpty())
            QSKIP(qPrintable(disk->unavailableReason()));
        game = disk->path() + u"/Rail Simulator"_s;
        copyFolderInto(f.game, game);
        disk->fillUpTo(16 * 4096); // room for the journal and a few files
    }
    const auto before = gameFiles(game);

    // Files may not grow beyond a size the journal soon passes; the game's files stay below.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (!fullDisk) {
        rlimit small = saved;
        small.rlim_cur = 3000;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    const Outcome outcome = f.install(PackageKind::Assets, game);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    // A full disk fails file by file and the copy goes on; a journal that cannot be kept
    // stops the install before its next change. Either way a step failed, and the last
    // message says which.
    const QString told = f.ui.texts().join(u'\n');
    QVERIFY2(outcome == Outcome::Incomplete, qPrintable(told));
    QVERIFY2(f.ui.texts().last().contains(u"What failed:"_s), qPrintable(told));
    QVERIFY2(
        told.contains(fullDisk ? u"No space left on device"_s : u"journal could not be kept"_s),
        qPrintable(told));
    QVERIFY2(!told.contains(kInstalled), qPrintable(told));
    QVERIFY(gameFiles(game) != before);

    f.ui.answerYes();
    QCOMPARE(UndoOperation(f.ui).undo(HostPath::fromHost(game), 0), UndoOperation::Outcome::Undone);
    QCOMPARE(gameFiles(game), before);
#else
    QSKIP("full disks and file size limits are tested where they can be made");
#endif
}

void TestUndo::journalNotTheGamesOwnIsSetAside_data()
{
    // The records after the journal's header; {game} stands for the game folder.
    QTest::addColumn<QByteArray>("game");
    QTest::addColumn<QByteArray>("records");
    const QByteArray here = "{game}";
    QTest::newRow("kept for another game")
        << QByteArray("/elsewhere/Rail Simulator") << QByteArray("create\tRailSim.exe\n");
    QTest::newRow("a path out of the game") << here << QByteArray("create\t../outside.txt\n");
    QTest::newRow("an absolute path") << here << QByteArray("create\t/etc/hostname\n");
    QTest::newRow("a path into the program's folder")
        << here << QByteArray("mkdir\t.VELTRANE/installs\n");
    QTest::newRow("a kept copy out of its folder")
        << here << QByteArray("replace\tRailSim.exe\t..%2F..%2F..%2FRailSim.exe\n");
    QTest::newRow("a record of no known kind")
        << here << QByteArray("erase\tRailSim.exe\ncreate\tContent\n");
    QTest::newRow("a record short of its fields") << here << QByteArray("rename\tRailSim.exe\n");
    QTest::newRow("an owner that is no install's number")
        << here << QByteArray("owner\tRailSim.exe\t-1\nreplace\tRailSim.exe\t1\n");
    QTest::newRow("a list record of no known change")
        << here << QByteArray("record\tContent/Routes.xml\terased\tid\tname\n");
    QTest::newRow("a list record of a list out of the game")
        << here << QByteArray("record\t../Routes.xml\tadded\tid\tname\n");
}

void TestUndo::journalNotTheGamesOwnIsSetAside()
{
    QFETCH(QByteArray, game);
    QFETCH(QByteArray, records);
    InstallFixture f;
    f.gameFile(u"RailSim.exe"_s, "the game");
    f.gameFile(u"Content/Routes.xml"_s, "the list");
    const auto before = f.gameSnapshot();
    // An install cut short, as far as its journal tells: no end record.
    const QString journal = f.game + u"/.veltrane/installs/20990101-000000-000"_s;
    writeFile(journal + u"/journal"_s,
              "veltrane-journal\t1\ngame\t" +
                  game.replace("{game}", f.game.toUtf8()).toPercentEncoding("/ ") +
                  "\npackage\tPlanted\nkind\tassets\nstarted\t2099-01-01T00:00:00Z\n" + records);
    writeFile(journal + u"/aside/1"_s, "kept");

    f.ui.answerYes();
    QCOMPARE(UndoOperation(f.ui).offerRollback(gameOf(f)), UndoOperation::Outcome::Refused);
    QCOMPARE(f.ui.texts().size(), 1);
    QVERIFY2(f.ui.texts().first().contains(u"cannot be used"_s), qPrintable(f.ui.texts().first()));
    QCOMPARE(f.gameSnapshot(), before);
    // Set aside where no undo looks: the next start asks nothing.
    QVERIFY(!QFileInfo::exists(journal));
    QCOMPARE(UndoOperation(f.ui).offerRollback(gameOf(f)), UndoOperation::Outcome::Nothing);
}

QTEST_GUILESS_MAIN(TestUndo)
#include "tst_undo.moc"
