// The one helper for file changes: a replaced file is old or new, never part of either, and
// no change reaches outside the folders the work may change.
#include "FileFixture.h"
#include "SmallDisk.h"
#include "journal/FileChanges.h"
#include "journal/InstallTransaction.h"
#include "util/FileError.h"
#include "util/InstallLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

// The names in a folder, hidden ones included: a passing name left behind shows here.
QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestFileChanges : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fullDiskLeavesTheOldFile_data();
    void fullDiskLeavesTheOldFile();
    void changesStayInsideTheBoundary_data();
    void changesStayInsideTheBoundary();
    void readOnlyTargetIsPermissionDeniedUnreadableSourceIsNot();
};

void TestFileChanges::fullDiskLeavesTheOldFile_data()
{
    QTest::addColumn<QString>("change"); // copy, move (from another file system) or write
    QTest::addColumn<int>("newSize");
    QTest::addColumn<int>("freeBytes");
    QTest::newRow("copy of a large file") << u"copy"_s << 3'000'000 << 1'000'000;
    QTest::newRow("move of a large file from another file system")
        << u"move"_s << 3'000'000 << 1'000'000;
    // Less than Qt's buffer free: the write succeeds and only its flush fails.
    QTest::newRow("list written with one page free") << u"write"_s << 11'600 << 4096;
    QTest::newRow("list written on a full disk") << u"write"_s << 11'600 << 0;
}

void TestFileChanges::fullDiskLeavesTheOldFile()
{
    QFETCH(QString, change);
    QFETCH(int, newSize);
    QFETCH(int, freeBytes);
    QTemporaryDir source;
    writeFile(source.path() + u"/new.bin"_s, QByteArray(newSize, 'n'));
    SmallDisk disk(4 * 1024 * 1024);
    if (!disk.unavailableReason().isEmpty())
        QSKIP(qPrintable(disk.unavailableReason()));
    const QString target = disk.path() + u"/Routes.xml"_s;
    writeFile(target, QByteArray(42, 'o'));
    disk.fillUpTo(freeBytes);

    FileChanges files;
    try {
        if (change == u"copy"_s)
            files.copyFile(host(source.path() + u"/new.bin"_s), host(target));
        else if (change == u"move"_s)
            files.moveFile(host(source.path() + u"/new.bin"_s), host(target));
        else
            files.writeWhole(host(target), QByteArray(newSize, 'n'));
        QFAIL("the change cannot fit on the disk");
    } catch (const FileError& error) {
        QVERIFY2(!error.permissionDenied(), qPrintable(error.description()));
    }
    QCOMPARE(readFile(target), QByteArray(42, 'o'));
    QCOMPARE(namesIn(disk.path()), (QStringList{u"Routes.xml"_s, u"filler"_s}));
    QCOMPARE(readFile(source.path() + u"/new.bin"_s), QByteArray(newSize, 'n'));
}

void TestFileChanges::changesStayInsideTheBoundary_data()
{
    // The link's name in the game, where it leads ("out/..." outside, "in/..." inside,
    // "own/..." into the program's own folder of the game, which takes no change), and the
    // change made at the link's name.
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("leadsTo");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("write through a dangling link out")
        << u"del_blueprints.bat"_s << u"out/created.bat"_s << u"write"_s << false;
    QTest::newRow("write through a link to a file out")
        << u"Scenarios.xml"_s << u"out/private.txt"_s << u"write"_s << false;
    QTest::newRow("write through a link to a file in")
        << u"Alias.xml"_s << u"in/Real.xml"_s << u"write"_s << true;
    QTest::newRow("copy onto a link out replaces the link")
        << u"Coach.bin"_s << u"out/private.txt"_s << u"copy"_s << true;
    QTest::newRow("copy into a folder linked out")
        << u"Tempfiles"_s << u"out"_s << u"copy into"_s << false;
    QTest::newRow("folder made in a folder linked out")
        << u"Kuju"_s << u"out"_s << u"folder into"_s << false;
    QTest::newRow("copy into a folder linked in")
        << u"Stock"_s << u"in"_s << u"copy into"_s << true;
    QTest::newRow("move onto a link out replaces the link")
        << u"Coach.bin"_s << u"out/private.txt"_s << u"move"_s << true;
    QTest::newRow("move into a folder linked out")
        << u"Tempfiles"_s << u"out"_s << u"move into"_s << false;
    QTest::newRow("write through a link into the program's folder")
        << u"Notes.txt"_s << u"own/installs/journal"_s << u"write"_s << false;
    QTest::newRow("copy into a folder linked to the program's folder")
        << u"Tempfiles"_s << u"own/installs"_s << u"copy into"_s << false;
}

void TestFileChanges::changesStayInsideTheBoundary()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, link);
    QFETCH(QString, leadsTo);
    QFETCH(QString, change);
    QFETCH(bool, allowed);
    QTemporaryDir dir;
    const QString game = dir.path() + u"/game"_s;
    makeFolder(game + u"/in"_s);
    makeFolder(dir.path() + u"/out"_s);
    writeFile(game + u"/in/Real.xml"_s, "real");
    writeFile(dir.path() + u"/out/private.txt"_s, "private");
    writeFile(dir.path() + u"/package/source.bin"_s, "package file");
    const QString own = game + u"/.veltrane"_s;
    writeFile(own + u"/installs/journal"_s, "the journal");
    const QString target = leadsTo.startsWith(u"in"_s)    ? game + u'/' + leadsTo
                           : leadsTo.startsWith(u"own"_s) ? own + leadsTo.mid(3)
                                                          : dir.path() + u'/' + leadsTo;
    QVERIFY(QFile::link(target, game + u'/' + link));
    const auto outside = snapshot(dir.path() + u"/out"_s);
    const auto ownBefore = snapshot(own);

    InstallLog log(u"install"_s);
    InstallTransaction transaction(log, {host(game), host(dir.path() + u"/package"_s)},
                                   {host(own)});
    FileChanges& files = transaction.files();
    const HostPath source = host(dir.path() + u"/package/source.bin"_s);
    bool refused = false;
    try {
        if (change == u"write"_s)
            files.writeWhole(host(game + u'/' + link), "written");
        else if (change == u"copy"_s)
            files.copyFile(source, host(game + u'/' + link));
        else if (change == u"copy into"_s)
            files.copyFile(source, host(game + u'/' + link + u"/Coach.bin"_s));
        else if (change == u"move"_s)
            files.moveFile(source, host(game + u'/' + link));
        else if (change == u"move into"_s)
            files.moveFile(source, host(game + u'/' + link + u"/Coach.bin"_s));
        else
            files.makeFolder(host(game + u'/' + link + u"/Stock"_s));
    } catch (const FileError& error) {
        refused = true;
        QVERIFY2(!allowed, qPrintable(error.description()));
    }
    QCOMPARE(refused, !allowed);
    QCOMPARE(snapshot(dir.path() + u"/out"_s), outside);
    QCOMPARE(snapshot(own), ownBefore);
#else
    QSKIP("symbolic links are a POSIX matter here");
#endif
}

void TestFileChanges::readOnlyTargetIsPermissionDeniedUnreadableSourceIsNot()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    writeFile(dir.path() + u"/game/Coach.bin"_s, "old");
    writeFile(dir.path() + u"/package/Coach.bin"_s, "new");
    writeFile(dir.path() + u"/package/Secret.bin"_s, "secret");
    ::chmod(QFile::encodeName(dir.path() + u"/game/Coach.bin"_s).constData(), 0444);
    ::chmod(QFile::encodeName(dir.path() + u"/package/Secret.bin"_s).constData(), 0);
    UnprivilegedScope unprivileged(dir.path());
    if (!unprivileged.unavailableReason().isEmpty())
        QSKIP(qPrintable(unprivileged.unavailableReason()));

    // A read-only game file is what the read-only offer can put right.
    FileChanges files;
    try {
        files.copyFile(host(dir.path() + u"/package/Coach.bin"_s),
                       host(dir.path() + u"/game/Coach.bin"_s));
        QFAIL("a read-only file was replaced");
    } catch (const FileError& error) {
        QVERIFY2(error.permissionDenied(), qPrintable(error.description()));
    }
    try {
        files.moveFile(host(dir.path() + u"/package/Coach.bin"_s),
                       host(dir.path() + u"/game/Coach.bin"_s));
        QFAIL("a read-only file was replaced by a rename");
    } catch (const FileError& error) {
        QVERIFY2(error.permissionDenied(), qPrintable(error.description()));
    }
    QCOMPARE(readFile(dir.path() + u"/package/Coach.bin"_s), QByteArray("new"));
    // A package file that cannot be read is not the game's fault.
    try {
        files.copyFile(host(dir.path() + u"/package/Secret.bin"_s),
                       host(dir.path() + u"/game/Secret.bin"_s));
        QFAIL("an unreadable file was copied");
    } catch (const FileError& error) {
        QVERIFY2(!error.permissionDenied(), qPrintable(error.description()));
        QVERIFY(error.description().contains(u"Secret.bin"_s));
    }
    QCOMPARE(readFile(dir.path() + u"/game/Coach.bin"_s), QByteArray("old"));
    QCOMPARE(namesIn(dir.path() + u"/game"_s), QStringList{u"Coach.bin"_s});
#else
    QSKIP("file modes are a POSIX matter");
#endif
}

QTEST_GUILESS_MAIN(TestFileChanges)
#include "tst_filechanges.moc"
