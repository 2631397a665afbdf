// The inventory of installed packages: what each install changed and whose file it replaced,
// and an inventory that disagrees with the journals, or cannot be used, put right from them.
#include "FileFixture.h"
#include "ScriptedUserInterface.h"
#include "journal/ChangeJournal.h"
#include "journal/FileChanges.h"
#include "journal/InstallHistory.h"
#include "journal/InstallTransaction.h"
#include "journal/Inventory.h"
#include "journal/SqlDatabase.h"
#include "journal/UndoOperation.h"
#include "util/InstallLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

using Change = InstallRecord::Change;
using State = InstallRecord::State;

namespace veltrane {

bool operator==(const InstallRecord::File& a, const InstallRecord::File& b)
{
    return a.path == b.path && a.change == b.change && a.previousOwner == b.previousOwner;
}

bool operator==(const InstallRecord::ListChange& a, const InstallRecord::ListChange& b)
{
    return a.list == b.list && a.change == b.change && a.recordId == b.recordId && a.name == b.name;
}

} // namespace veltrane

namespace {

// A game folder and the installs into it, each made as the install operation makes one: its
// journal kept, the owner of each replaced file asked, its end written to the inventory.
class InventoryFixture {
    QTemporaryDir m_dir;

public:
    QString game = m_dir.path() + u"/Rail Simulator"_s;
    ScriptedUserInterface ui;

    HostPath gameRoot() const { return host(game); }
    QString inventoryFile() const { return game + u"/.veltrane/inventory.sqlite"_s; }

    // Copies each file (relative path = bytes) into the game; the install's number.
    int install(const QString& package, const QMap<QString, QByteArray>& files,
                const InstallRecord::ListChange& listChange = {})
    {
        const QString source = m_dir.path() + u'/' + package;
        InstallLog log(u"install"_s);
        InstallTransaction transaction(log, {gameRoot(), host(source)});
        Inventory inventory = Inventory::open(gameRoot(), ui);
        const int id = inventory.nextId();
        transaction.keepJournal(gameRoot(), InstallHistory(gameRoot()).newJournal(),
                                {package, u"assets"_s, id});
        transaction.journal()->setOwnerLookup(inventory.ownerLookup());
        for (auto file = files.cbegin(); file != files.cend(); ++file) {
            writeFile(source + u'/' + file.key(), file.value());
            QString folder = game;
            for (const QString& name : file.key().split(u'/').mid(0, file.key().count(u'/'))) {
                folder += u'/' + name;
                transaction.files().makeFolder(host(folder));
            }
            transaction.files().copyFile(host(source + u'/' + file.key()),
                                         host(game + u'/' + file.key()));
        }
        if (!listChange.list.isEmpty())
            transaction.files().recordListChange(host(game + u'/' + listChange.list),
                                                 listChange.change, listChange.recordId,
                                                 listChange.name);
        const Expected<void> ended = inventory.recordEnd(*transaction.journal(), u"completed"_s);
        if (!ended)
            qFatal("the install's end was not recorded: %s", qPrintable(ended.message()));
        QTest::qWait(2); // journals are named by the time their installs began
        return id;
    }

    QString journalOf(int id)
    {
        const auto install = Inventory::open(gameRoot(), ui).install(id);
        return game + u"/.veltrane/installs/"_s + (install ? install->journal : QString());
    }
};

QList<int> idsOf(const QList<InstallRecord>& installs)
{
    QList<int> ids;
    for (const InstallRecord& install : installs)
        ids.append(install.id);
    return ids;
}

QStringList statesOf(const QList<InstallRecord>& installs)
{
    QStringList states;
    for (const InstallRecord& install : installs)
        states.append(InstallRecord::stateName(install.state));
    return states;
}

// What differs between the inventory and the journals in a row of the table.
enum class Damage {
    Garbage,
    Foreign,
    Missing,
    RowWithoutJournal,
    JournalWithoutRow,
    StateOtherThanJournal,
};

} // namespace

class TestInventory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void installsTellTheirFilesAndOwners();
    void disagreementIsPutRightFromTheJournals_data();
    void disagreementIsPutRightFromTheJournals();
};

void TestInventory::installsTellTheirFilesAndOwners()
{
    InventoryFixture f;
    writeFile(f.game + u"/Assets/g.bin"_s, "the game's own");
    const InstallRecord::ListChange route{u"Content/Routes.xml"_s, u"added"_s, u"R1"_s,
                                          u"Route One"_s};
    const int first =
        f.install(u"First"_s, {{u"Assets/a.bin"_s, "1"}, {u"Assets/g.bin"_s, "1"}}, route);
    const int second = f.install(u"Second"_s, {{u"Assets/a.bin"_s, "2"}, {u"Assets/b.bin"_s, "2"}});
    const int third = f.install(u"Third"_s, {{u"Assets/New/c.bin"_s, "3"}});
    const int fourth = f.install(u"Fourth"_s, {{u"Assets/New/d.bin"_s, "4"}});
    QCOMPARE((QList<int>{first, second, third, fourth}), (QList<int>{1, 2, 3, 4}));

    Inventory inventory = Inventory::open(f.gameRoot(), f.ui);
    QCOMPARE(idsOf(inventory.installs()), (QList<int>{4, 3, 2, 1}));
    QCOMPARE(inventory.files(first),
             (QList<InstallRecord::File>{{u"Assets/a.bin"_s, Change::Added, 0},
                                         {u"Assets/g.bin"_s, Change::Replaced, 0}}));
    QCOMPARE(inventory.files(second),
             (QList<InstallRecord::File>{{u"Assets/a.bin"_s, Change::Replaced, first},
                                         {u"Assets/b.bin"_s, Change::Added, 0}}));
    QCOMPARE(inventory.records(first), QList<InstallRecord::ListChange>{route});
    QCOMPARE(inventory.ownerOf(u"assets/A.BIN"_s)->id, second);
    QCOMPARE(inventory.ownerOf(u"Assets/g.bin"_s)->package, u"First"_s);
    QVERIFY(!inventory.ownerOf(u"Assets/other.bin"_s));
    // Only what changed a file of the one taken back goes before it.
    QCOMPARE(idsOf(inventory.installsOver(first)), QList<int>{second});
    QVERIFY(inventory.installsOver(second).isEmpty());

    // The second alone: no later install changed its files, so nothing is asked.
    QCOMPARE(UndoOperation(f.ui).uninstall(f.gameRoot(), second), UndoOperation::Outcome::Undone);
    QCOMPARE(readFile(f.game + u"/Assets/a.bin"_s), QByteArray("1"));
    QVERIFY(!QFile::exists(f.game + u"/Assets/b.bin"_s));
    // The folder the third made holds the fourth's file: it stays.
    QCOMPARE(UndoOperation(f.ui).uninstall(f.gameRoot(), third), UndoOperation::Outcome::Undone);
    QVERIFY(!QFile::exists(f.game + u"/Assets/New/c.bin"_s));
    QCOMPARE(readFile(f.game + u"/Assets/New/d.bin"_s), QByteArray("4"));
    inventory = Inventory::open(f.gameRoot(), f.ui);
    QCOMPARE(statesOf(inventory.installs()),
             (QStringList{u"installed"_s, u"taken back"_s, u"taken back"_s, u"installed"_s}));
    QCOMPARE(inventory.ownerOf(u"Assets/a.bin"_s)->id, first);
    QVERIFY(inventory.installsOver(first).isEmpty());
    QVERIFY2(f.ui.messagesWith(UserInterface::Icon::Exclamation).isEmpty(),
             qPrintable(f.ui.texts().join(u'\n')));
}

void TestInventory::disagreementIsPutRightFromTheJournals_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("told");
    QTest::addColumn<QStringList>("states"); // of the installs listed, newest first
    QTest::addColumn<bool>("setAside");
    const QStringList both{u"installed"_s, u"installed"_s};
    QTest::newRow("garbage bytes")
        << Damage::Garbage << u"file is not a database"_s << both << true;
    QTest::newRow("another program's database")
        << Damage::Foreign << u"not an inventory of this version"_s << both << true;
    QTest::newRow("a missing file") << Damage::Missing << u"was missing"_s << both << false;
    QTest::newRow("a row without its journal")
        << Damage::RowWithoutJournal << u"whose journal is gone"_s << QStringList{u"installed"_s}
        << false;
    QTest::newRow("a journal without its row")
        << Damage::JournalWithoutRow << u"did not list install 2"_s << both << false;
    QTest::newRow("a state its journal tells otherwise")
        << Damage::StateOtherThanJournal << u"where its journal tells taken back"_s
        << QStringList{u"taken back"_s, u"installed"_s} << false;
}

void TestInventory::disagreementIsPutRightFromTheJournals()
{
    QFETCH(Damage, damage);
    QFETCH(QString, told);
    QFETCH(QStringList, states);
    QFETCH(bool, setAside);
    InventoryFixture f;
    writeFile(f.game + u"/Assets/g.bin"_s, "the game's own");
    f.install(u"First"_s, {{u"Assets/a.bin"_s, "1"}, {u"Assets/g.bin"_s, "1"}});
    f.install(u"Second"_s, {{u"Assets/a.bin"_s, "2"}});
    const Inventory written = Inventory::open(f.gameRoot(), f.ui);
    const QList<InstallRecord::File> files[] = {written.files(1), written.files(2)};
    const QString secondJournal = f.journalOf(2);

    switch (damage) {
    case Damage::Garbage:
        writeFile(f.inventoryFile(), QByteArray(3000, '\x5a'));
        break;
    case Damage::Foreign: {
        QVERIFY(QFile::remove(f.inventoryFile()));
        SqlDatabase other;
        QVERIFY(other.createFile(f.inventoryFile()) &&
                other.exec("CREATE TABLE notes(text); INSERT INTO notes VALUES('mine')"));
        break;
    }
    case Damage::Missing:
        QVERIFY(QFile::remove(f.inventoryFile()));
        break;
    case Damage::RowWithoutJournal:
        QVERIFY(QDir(secondJournal).removeRecursively());
        break;
    case Damage::JournalWithoutRow: {
        SqlDatabase database;
        QVERIFY(database.openFile(f.inventoryFile(), false) &&
                database.exec("DELETE FROM installs WHERE id = 2; DELETE FROM files WHERE "
                              "install = 2"));
        break;
    }
    case Damage::StateOtherThanJournal:
        // An undo whose end reached the journal but not the inventory.
        ChangeJournal::markTakenBack(host(secondJournal));
        QVERIFY(QDir(secondJournal + u"/aside"_s).removeRecursively());
        break;
    }
    f.ui.shown.clear();

    // A reader is told, sees what the journals tell, and changes nothing.
    const auto before = snapshot(f.game);
    const QStringList namesBefore = entriesBelow(f.game);
    QCOMPARE(statesOf(Inventory::open(f.gameRoot(), f.ui, Inventory::Access::ReadOnly).installs()),
             states);
    QCOMPARE(snapshot(f.game), before);
    QCOMPARE(entriesBelow(f.game), namesBefore);

    // One that may write puts it right, once, and keeps what the install recorded.
    const Inventory inventory = Inventory::open(f.gameRoot(), f.ui);
    QCOMPARE(statesOf(inventory.installs()), states);
    for (const InstallRecord& install : inventory.installs())
        QCOMPARE(inventory.files(install.id), files[install.id - 1]);
    QCOMPARE(f.ui.shown.size(), 2);
    for (const auto& shown : std::as_const(f.ui.shown))
        QVERIFY2(shown.text.contains(told), qPrintable(shown.text));
    const QStringList aside =
        QDir(f.game + u"/.veltrane"_s).entryList({u"inventory.sqlite.damaged-*"_s}, QDir::Files);
    QCOMPARE(aside.size(), setAside ? 1 : 0);
    QCOMPARE(statesOf(Inventory::open(f.gameRoot(), f.ui).installs()), states);
    QCOMPARE(f.ui.shown.size(), 2);
}

QTEST_GUILESS_MAIN(TestInventory)
#include "tst_inventory.moc"
