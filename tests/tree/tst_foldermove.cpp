// The copy step by moves: the game ends up as a copy would leave it, and on one file system
// the files are the package's own, renamed into place.
#include "FileFixture.h"
#include "ScriptedUserInterface.h"
#include "SmallDisk.h"
#include "journal/InstallHistory.h"
#include "journal/InstallTransaction.h"
#include "journal/JournalReplay.h"
#include "tree/FolderCopy.h"
#include "tree/FolderMove.h"
#include "util/InstallLog.h"
#include "util/WorkReport.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

// Entries as "path=content" for a file and "path -> target" for a symbolic link.
void build(const QString& root, const QStringList& entries)
{
    makeFolder(root);
    for (const QString& entry : entries) {
        if (entry.contains(u" -> "_s)) {
            const QString link = root + u'/' + entry.section(u" -> "_s, 0, 0);
            makeFolder(link.section(u'/', 0, -2));
            QVERIFY(QFile::link(entry.section(u" -> "_s, 1), link));
        } else {
            writeFile(root + u'/' + entry.section(u'=', 0, 0), entry.section(u'=', 1).toUtf8());
        }
    }
}

// The identities (device and inode) of the regular files below root: a file renamed keeps its
// own, a copy has a new one.
QSet<QPair<quint64, quint64>> fileIdentities(const QString& root)
{
    QSet<QPair<quint64, quint64>> identities;
#ifdef Q_OS_UNIX
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        struct stat status {};
        if (::lstat(QFile::encodeName(it.next()).constData(), &status) == 0)
            identities.insert({quint64(status.st_dev), quint64(status.st_ino)});
    }
#else
    Q_UNUSED(root);
#endif
    return identities;
}

} // namespace

class TestFolderMove : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void endsAsACopyWould_data();
    void endsAsACopyWould();
    void undoneByTheJournal();
};

void TestFolderMove::endsAsACopyWould_data()
{
    QTest::addColumn<QStringList>("package");
    QTest::addColumn<QStringList>("game");
    QTest::addColumn<bool>("acrossFileSystems");
    QTest::addColumn<int>("failures");

    QTest::newRow("into an empty game")
        << QStringList{u"Assets/Kuju/a.bin=a"_s, u"Assets/Kuju/b.bin=b"_s,
                       u"Content/Routes/x.xml=x"_s}
        << QStringList{} << false << 0;
    QTest::newRow("folders of other letter case merged, files replaced")
        << QStringList{u"Assets/Kuju/RailVehicles/a.bin=new"_s, u"Assets/Kuju/c.bin=new"_s}
        << QStringList{u"assets/kuju/RailVehicles/a.bin=old"_s, u"assets/kuju/keep.bin=keep"_s}
        << false << 0;
    QTest::newRow("links inside become what they lead to, links out are left out")
        << QStringList{u"Assets/real.bin=real"_s,
                       u"Assets/alias.bin -> real.bin"_s,
                       u"Assets/folder/x.bin=x"_s,
                       u"Assets/folderLink -> folder"_s,
                       u"Assets/out.bin -> ../../outside.bin"_s,
                       u"Assets/loop -> .."_s}
        << QStringList{u"Assets/alias.bin=old"_s} << false << 0;
    QTest::newRow("a file that meets a folder is reported and the rest goes on")
        << QStringList{u"Assets/a.bin=new"_s, u"Assets/b.bin=new"_s}
        << QStringList{u"Assets/a.bin/inner.txt=the game's folder"_s} << false << 1;
    QTest::newRow("across file systems")
        << QStringList{u"Assets/Kuju/a.bin=new"_s, u"Assets/Kuju/b.bin=new"_s}
        << QStringList{u"assets/kuju/a.bin=old"_s} << true << 0;
}

void TestFolderMove::endsAsACopyWould()
{
    QFETCH(QStringList, package);
    QFETCH(QStringList, game);
    QFETCH(bool, acrossFileSystems);
    QFETCH(int, failures);
    QTemporaryDir dir;
    std::optional<SmallDisk> disk;
    QString gameRoot = dir.path();
    if (acrossFileSystems) {
        disk.emplace(1024 * 1024);
        if (!disk->unavailableReason().isEmpty())
            QSKIP(qPrintable(disk->unavailableReason()));
        gameRoot = disk->path();
    }
    writeFile(dir.path() + u"/outside.bin"_s, "outside the package");
    const QString copiedPackage = dir.path() + u"/copied/Rail Simulator"_s;
    const QString movedPackage = dir.path() + u"/moved/Rail Simulator"_s;
    const QString copiedGame = gameRoot + u"/copied game"_s;
    const QString movedGame = gameRoot + u"/moved game"_s;
    build(copiedPackage, package);
    build(movedPackage, package);
    build(copiedGame, game);
    build(movedGame, game);
    const QSet<QPair<quint64, quint64>> packageFiles = fileIdentities(movedPackage);

    ScriptedUserInterface ui;
    FileChanges changes;
    WorkReport copyReport;
    WorkReport moveReport;
    const qint64 copied = FolderCopy(ui, changes, &copyReport, u"copy"_s)
                              .copyFolder(host(copiedPackage), host(copiedGame), true);
    const qint64 moved = FolderMove(ui, changes, &moveReport, u"copy"_s)
                             .moveFolder(host(movedPackage), host(movedGame), true);

    QCOMPARE(snapshot(movedGame), snapshot(copiedGame));
    QCOMPARE(moved, copied);
    // Both count the bytes of every file they pass, failed ones too, up to the total.
    QVERIFY(!ui.bytes.isEmpty());
    QCOMPARE(ui.bytes.first().first, 0);
    QCOMPARE(ui.bytes.last().first, ui.bytes.last().second);
    QCOMPARE(moveReport.failures().size(), failures);
    QCOMPARE(copyReport.failures().size(), failures);
    QCOMPARE(snapshot(movedPackage).size(), failures);
    if (!acrossFileSystems) {
        const QSet<QPair<quint64, quint64>> arrived = fileIdentities(movedGame) & packageFiles;
        QCOMPARE(arrived.size(), packageFiles.size() - failures);
    }
}

void TestFolderMove::undoneByTheJournal()
{
    QTemporaryDir dir;
    const QString package = dir.path() + u"/package/Rail Simulator"_s;
    const QString game = dir.path() + u"/game"_s;
    build(package,
          {u"Assets/Kuju/a.bin=new"_s, u"Assets/Kuju/New/b.bin=new"_s, u"Content/c.xml=new"_s});
    build(game, {u"assets/kuju/a.bin=old"_s, u"assets/kuju/keep.bin=keep"_s});
    const QStringList before = entriesBelow(game);
    const QMap<QString, QByteArray> files = gameFiles(game);

    ScriptedUserInterface ui;
    const InstallHistory history(host(game));
    {
        InstallLog log(u"install"_s);
        InstallTransaction transaction(log, {host(game), host(dir.path() + u"/package"_s)});
        transaction.keepJournal(host(game), history.newJournal(), {u"package"_s, u"assets"_s});
        QCOMPARE(FolderMove(ui, transaction.files()).moveFolder(host(package), host(game), true),
                 3);
        transaction.journal()->finish(u"completed"_s);
    }
    QCOMPARE(readFile(game + u"/assets/kuju/a.bin"_s), QByteArray("new"));
    const QList<InstallHistory::Install> installs = history.installs();
    QCOMPARE(installs.size(), 1);
    InstallLog log(u"undo"_s);
    InstallTransaction transaction(log, {host(game)});
    const JournalReplay::Result undone =
        JournalReplay(ui, transaction.files(), host(game)).undo(installs.first(), false);
    QVERIFY2(undone.failed.isEmpty(), qPrintable(undone.failed.join(u'\n')));
    QCOMPARE(gameFiles(game), files);
    QCOMPARE(entriesBelow(game).filter(QRegularExpression(u"^(?!\\.veltrane)"_s)), before);
}

QTEST_GUILESS_MAIN(TestFolderMove)
#include "tst_foldermove.moc"
