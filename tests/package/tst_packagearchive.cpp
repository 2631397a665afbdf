// Packages that come as archives: refused whole before anything is written when an entry
// could reach outside, and otherwise unpacked into a private folder, as their folders are.
#include "ArchiveWriter.h"
#include "FileFixture.h"
#include "ScriptedUserInterface.h"
#include "ZipBuilder.h"
#include "journal/FileChanges.h"
#include "package/PackageArchive.h"
#include "tree/FolderCopy.h"
#include "tree/FolderMove.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <clocale>
#include <optional>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

Q_DECLARE_METATYPE(veltrane::ArchiveRefusal::Reason)
Q_DECLARE_METATYPE(veltrane::PackageArchive::Progress::Stage)

namespace {

using Reason = ArchiveRefusal::Reason;
using Progress = PackageArchive::Progress;
using Stage = Progress::Stage;

QString demoPackage(const QString& name)
{
    return QStringLiteral(VELTRANE_EXAMPLES_DIR) + u"/packages/"_s + name;
}

// The entries of a folder as a packing program adds them, each name under top; a top of "."
// names them as "tar -C folder ." does.
QList<ArchiveEntry> entriesOf(const QString& folder, const QString& top, bool folderEntries,
                              const QStringList& beside = {})
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(QDir(folder).relativeFilePath(it.next()));
    names.sort();

    QList<ArchiveEntry> entries;
    const QString prefix = top.isEmpty() ? QString() : top + u'/';
    if (!top.isEmpty() && folderEntries)
        entries.append(archiveFolder(prefix.toUtf8()));
    for (const QString& name : std::as_const(names)) {
        if (!QFileInfo(folder + u'/' + name).isDir())
            entries.append(archiveFile((prefix + name).toUtf8(), readFile(folder + u'/' + name)));
        else if (folderEntries)
            entries.append(archiveFolder((prefix + name + u'/').toUtf8()));
    }
    for (const QString& name : beside)
        entries.append(archiveFile(name.toUtf8(), "beside the package\n"));
    return entries;
}

void copyTree(const QString& from, const QString& to)
{
    const QMap<QString, QByteArray> files = snapshot(from);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        writeFile(to + u'/' + it.key(), it.value());
}

QStringList without(QStringList entries, const QString& prefix)
{
    entries.removeIf([&](const QString& entry) { return entry.startsWith(prefix); });
    return entries;
}

template <typename Work> std::optional<ArchiveRefusal> refusalOf(Work work)
{
    try {
        work();
    } catch (const ArchiveRefusal& refusal) {
        return refusal;
    }
    return std::nullopt;
}

QByteArray cp437(const char* bytes)
{
    return QByteArray(bytes);
}

// The rows of refusalsWriteNothing for the formats other than zip, by libarchive's writer.
void refusalsOfOtherFormats()
{
    const auto other = [](const QString& name, const QByteArray& bytes, Reason reason,
                          const QString& entry, bool seenByCheck = true, qint64 byteLimit = 0,
                          qint64 entryLimit = 0) {
        QTest::newRow(qPrintable(name)) << QList<ZipEntry>() << bytes << byteLimit << entryLimit
                                        << reason << entry << seenByCheck;
    };
    const ArchiveEntry fine = archiveFile("Rail Simulator/Assets/a.txt", "a");
    for (const ArchiveFormat format : {ArchiveFormat::TarGz, ArchiveFormat::SevenZip}) {
        const auto archived = [&](const QList<ArchiveEntry>& entries) {
            return writtenArchive(format, entries);
        };
        const QString in = u" ("_s + archiveSuffix(format) + u')';
        other(u"absolute path"_s + in, archived({fine, archiveFile("/tmp/evil.txt", "x")}),
              Reason::UnsafeName, u"/tmp/evil.txt"_s);
        other(u"dot-dot"_s + in,
              archived({fine, archiveFile("Rail Simulator/../../evil.txt", "x")}),
              Reason::UnsafeName, u"Rail Simulator/../../evil.txt"_s);
        other(u"link out"_s + in, archived({fine, archiveLink("Rail Simulator/etc", "../../etc")}),
              Reason::LinkLeadsOut, u"Rail Simulator/etc"_s);
        other(u"FIFO"_s + in, archived({fine, archiveFifo("Rail Simulator/pipe")}),
              Reason::UnusualEntry, u"Rail Simulator/pipe"_s);
        other(u"more bytes than the limit"_s + in,
              archived(
                  {archiveFile("a", QByteArray(600, 'a')), archiveFile("b", QByteArray(600, 'b'))}),
              Reason::TooLarge, u"b"_s, true, 1000);
        other(u"more entries than the limit"_s + in,
              archived({archiveFolder("a/"), archiveFile("a/1", "1"), archiveFile("a/2", "2"),
                        archiveFile("a/3", "3")}),
              Reason::TooManyEntries, QString(), true, 0, 3);
    }
    other(u"hard link out (.tar.gz)"_s,
          writtenArchive(ArchiveFormat::TarGz,
                         {fine, archiveHardLink("Rail Simulator/passwd", "../../etc/passwd")}),
          Reason::UnusualEntry, u"Rail Simulator/passwd"_s);

    QByteArray noise(200'000, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    const QByteArray tarGz = writtenArchive(
        ArchiveFormat::TarGz, {fine, archiveFile("Rail Simulator/Assets/noise.bin", noise)});
    other(u"tar.gz cut short"_s, tarGz.left(tarGz.size() * 3 / 5), Reason::Damaged,
          u"Rail Simulator/Assets/noise.bin"_s);
    QByteArray wrongChecksum = tarGz;
    wrongChecksum[wrongChecksum.size() - 8] = char(wrongChecksum[wrongChecksum.size() - 8] ^ 1);
    other(u"tar.gz whose gzip checksum is wrong"_s, wrongChecksum, Reason::Damaged, QString());
    other(u"gzip around a 7z"_s, gzipped(writtenArchive(ArchiveFormat::SevenZip, {fine})),
          Reason::NotAnArchive, QString());
    QByteArray damaged7z = writtenArchive(
        ArchiveFormat::SevenZip,
        {fine, archiveFile("Rail Simulator/Assets/b.txt", "the bytes of b")}, "compression=store");
    damaged7z[damaged7z.indexOf("bytes of b")] = 'B';
    other(u"damaged data (.7z)"_s, damaged7z, Reason::Damaged, u"Rail Simulator/Assets/b.txt"_s,
          false);
    other(u"encrypted entry (.7z)"_s, encryptedSevenZip("Rail Simulator/Assets/secret.bin", false),
          Reason::Encrypted, u"Rail Simulator/Assets/secret.bin"_s);
    other(u"encrypted names (.7z)"_s, encryptedSevenZip("Rail Simulator/Assets/secret.bin", true),
          Reason::Encrypted, QString());
}

} // namespace

class TestPackageArchive : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void demoPackagesUnpackAsTheirFolders_data();
    void demoPackagesUnpackAsTheirFolders();
    void refusalsWriteNothing_data();
    void refusalsWriteNothing();
    void entriesUnpackAsStored_data();
    void entriesUnpackAsStored();
    void packageRootOneLevelDown_data();
    void packageRootOneLevelDown();
    void progressAndCancelInAWorkerThread_data();
    void progressAndCancelInAWorkerThread();
};

void TestPackageArchive::demoPackagesUnpackAsTheirFolders_data()
{
    QTest::addColumn<ArchiveFormat>("format");
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("top");
    QTest::addColumn<bool>("folderEntries");
    QTest::addColumn<QStringList>("beside");
    for (const ArchiveFormat format :
         {ArchiveFormat::Zip, ArchiveFormat::SevenZip, ArchiveFormat::TarGz, ArchiveFormat::Tar}) {
        const QString in = u" ("_s + archiveSuffix(format) + u')';
        const auto row = [&](const QString& name) -> QTestData& {
            return QTest::newRow(qPrintable(name + in)) << format;
        };
        row(u"route"_s) << u"route"_s << QString() << false << QStringList();
        row(u"route in a top folder"_s)
            << u"route"_s << u"Riverside Route 1.0"_s << true << QStringList();
        row(u"scenario"_s) << u"scenario"_s << QString() << true << QStringList();
        row(u"scenario in a top folder"_s)
            << u"scenario"_s << u"Scenario pack"_s << false << QStringList();
        row(u"scenario as tar -C writes it, in \"./\""_s)
            << u"scenario"_s << u"."_s << true << QStringList();
        row(u"assets"_s) << u"assets"_s << QString() << false << QStringList();
        row(u"assets in a top folder beside a read-me and a __MACOSX folder"_s)
            << u"assets"_s << u"Wagons"_s << true
            << QStringList{u"ReadMe.txt"_s, u"__MACOSX/Wagons/._AssetSetup.ggg"_s};
    }
}

void TestPackageArchive::demoPackagesUnpackAsTheirFolders()
{
    QFETCH(ArchiveFormat, format);
    QFETCH(QString, package);
    QFETCH(QString, top);
    QFETCH(bool, folderEntries);
    QFETCH(QStringList, beside);
    const QString source = demoPackage(package);
    QTemporaryDir dir;
    const QString zip = dir.path() + u"/package"_s + archiveSuffix(format);
    writeFile(zip, writtenArchive(format, entriesOf(source, top, folderEntries, beside)));
    const QString copied = dir.path() + u"/copied/Rail Simulator"_s;
    const QString moved = dir.path() + u"/moved/Rail Simulator"_s;
    copyTree(QStringLiteral(VELTRANE_EXAMPLES_DIR) + u"/game"_s, copied);
    copyTree(QStringLiteral(VELTRANE_EXAMPLES_DIR) + u"/game"_s, moved);
    const QString parent = dir.path() + u"/moved"_s;
    const QStringList before = entriesBelow(dir.path());

    QString unpacked;
    {
        PackageArchive archive(host(zip));
        archive.unpack(host(parent));
        unpacked = archive.folder().toString();
        QVERIFY(QFileInfo(unpacked).fileName().startsWith(u".veltrane-unpack-"_s));
        QCOMPARE(QFileInfo(unpacked).absolutePath(), parent);
        QCOMPARE(archive.packageRoot().toString(),
                 top.isEmpty() || top == u"."_s ? unpacked : unpacked + u'/' + top);
        QCOMPARE(snapshot(archive.packageRoot().toString()), snapshot(source));
        QCOMPARE(without(entriesBelow(dir.path()), u"moved/"_s + QFileInfo(unpacked).fileName()),
                 before);

        // The copy step by moves leaves the game as a copy from the folder does.
        ScriptedUserInterface ui;
        FileChanges files;
        FolderCopy(ui, files).copyFolder(host(source + u"/Rail Simulator"_s), host(copied), true);
        FolderMove(ui, files).moveFolder(archive.packageRoot().child(u"Rail Simulator"_s),
                                         host(moved), true);
        QCOMPARE(snapshot(moved), snapshot(copied));
    }
    QVERIFY2(!QFileInfo::exists(unpacked), "the unpacked folder outlived its archive");
}

void TestPackageArchive::refusalsWriteNothing_data()
{
    QTest::addColumn<QList<ZipEntry>>("entries");
    QTest::addColumn<QByteArray>("bytes"); // instead of the entries, when not empty
    QTest::addColumn<qint64>("byteLimit"); // 0: the default
    QTest::addColumn<qint64>("entryLimit");
    QTest::addColumn<Reason>("reason");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("seenByCheck"); // else only once the data is read

    const ZipEntry good = zipFile("Rail Simulator/Assets/a.txt", "a");
    const auto row = [&](const char* name, const QList<ZipEntry>& entries, Reason reason,
                         const QString& entry, bool seenByCheck = true) {
        QTest::newRow(name) << entries << QByteArray() << qint64(0) << qint64(0) << reason << entry
                            << seenByCheck;
    };
    row("absolute path", {good, zipFile("/tmp/evil.txt", "x")}, Reason::UnsafeName,
        u"/tmp/evil.txt"_s);
    row("absolute with a backslash", {zipFile("\\evil.txt", "x")}, Reason::UnsafeName,
        u"/evil.txt"_s);
    row("dot-dot", {good, zipFile("Rail Simulator/../../evil.txt", "x")}, Reason::UnsafeName,
        u"Rail Simulator/../../evil.txt"_s);
    row("dot-dot between backslashes", {zipFile("Rail Simulator\\..\\..\\evil.txt", "x")},
        Reason::UnsafeName, u"Rail Simulator/../../evil.txt"_s);
    row("drive letter", {zipFile("C:\\windows\\evil.dll", "x")}, Reason::UnsafeName,
        u"C:/windows/evil.dll"_s);
    row("drive letter of a folder", {zipFolder("d:")}, Reason::UnsafeName, u"d:/"_s);
    row("control character", {zipFile("Rail Simulator/a\x01.txt", "x")}, Reason::UnsafeName,
        u"Rail Simulator/a\x01.txt"_s);
    row("a part of dots, which Windows reads as \".\"", {zipFile("Rail Simulator/.../x", "x")},
        Reason::UnsafeName, u"Rail Simulator/.../x"_s);
    row("link out by an absolute target", {good, zipLink("Rail Simulator/etc", "/etc")},
        Reason::LinkLeadsOut, u"Rail Simulator/etc"_s);
    row("link out by dot-dot", {zipLink("Rail Simulator/up", "../../x")}, Reason::LinkLeadsOut,
        u"Rail Simulator/up"_s);
    row("link out to a drive", {zipLink("Rail Simulator/c", "C:\\windows")}, Reason::LinkLeadsOut,
        u"Rail Simulator/c"_s);
    // Written out, "../here/../x" stays inside; followed, "here" is the top itself and the
    // ".." after it leaves.
    row("link out through another link",
        {zipLink("Rail Simulator/up", "../here/../x"), zipLink("here", ".")}, Reason::LinkLeadsOut,
        u"Rail Simulator/up"_s);
    row("links in a loop", {zipLink("a", "b"), zipLink("b", "a")}, Reason::LinkLeadsOut, u"a"_s);
    row("file inside a link", {zipLink("game", "Rail Simulator"), zipFile("game/x.txt", "x")},
        Reason::NameClash, u"game/x.txt"_s);
    row("link over a folder given before",
        {zipFile("Rail Simulator/x.txt", "x"), zipLink("Rail Simulator", "elsewhere")},
        Reason::NameClash, u"Rail Simulator"_s);
    row("file given twice", {good, good}, Reason::NameClash, u"Rail Simulator/Assets/a.txt"_s);
    row("file inside a file", {zipFile("Rail Simulator", "x"), good}, Reason::NameClash,
        u"Rail Simulator/Assets/a.txt"_s);
    ZipEntry secret = zipFile("Rail Simulator/Assets/secret.bin", QByteArray(20, 's'));
    secret.encrypted = true;
    row("encrypted entry", {good, secret}, Reason::Encrypted,
        u"Rail Simulator/Assets/secret.bin"_s);
    ZipEntry damaged = zipFile("Rail Simulator/Assets/b.txt", "bytes");
    damaged.wrongChecksum = true;
    row("damaged data", {good, damaged}, Reason::Damaged, u"Rail Simulator/Assets/b.txt"_s, false);
    ZipEntry bomb = zipFile("Rail Simulator/Assets/bomb.bin", QByteArray(4096, 'b'));
    bomb.declaredSize = 16;
    row("more data than declared", {good, bomb}, Reason::Damaged,
        u"Rail Simulator/Assets/bomb.bin"_s, false);
    ZipEntry notUtf8 = zipFile("Rail Simulator/\xff\xfe.txt", "x");
    notUtf8.utf8 = true;
    row("name flagged as UTF-8 that is not", {good, notUtf8}, Reason::Damaged, u"entry 2"_s);
    ZipEntry huge = zipFile("Rail Simulator/Assets/huge.bin", "tiny");
    huge.declaredSize = (qint64(64) << 30) + 1;
    row("more than 64 GiB", {good, huge}, Reason::TooLarge, u"Rail Simulator/Assets/huge.bin"_s);

    QTest::newRow("more bytes than the limit")
        << QList<ZipEntry>{zipFile("a", QByteArray(600, 'a')), zipFile("b", QByteArray(600, 'b'))}
        << QByteArray() << qint64(1000) << qint64(0) << Reason::TooLarge << u"b"_s << true;
    QTest::newRow("more entries than the limit")
        << QList<ZipEntry>{zipFolder("a"), zipFile("a/1", "1"), zipFile("a/2", "2"),
                           zipFile("a/3", "3")}
        << QByteArray() << qint64(0) << qint64(3) << Reason::TooManyEntries << QString() << true;
    QTest::newRow("not a zip archive")
        << QList<ZipEntry>() << QByteArray("Rail Simulator\\Assets\\a.txt\r\n") << qint64(0)
        << qint64(0) << Reason::NotAnArchive << QString() << true;
    const QByteArray whole =
        zipArchive({good, zipFile("Rail Simulator/b.txt", QByteArray(90, 'b'))});
    QTest::newRow("cut short") << QList<ZipEntry>() << whole.left(whole.indexOf("bbbb") + 40)
                               << qint64(0) << qint64(0) << Reason::Damaged << QString() << true;

    refusalsOfOtherFormats();
}

void TestPackageArchive::refusalsWriteNothing()
{
    QFETCH(QList<ZipEntry>, entries);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, byteLimit);
    QFETCH(qint64, entryLimit);
    QFETCH(Reason, reason);
    QFETCH(QString, entry);
    QFETCH(bool, seenByCheck);
    QTemporaryDir dir;
    const QString zip = dir.path() + u"/package.zip"_s;
    writeFile(zip, bytes.isEmpty() ? zipArchive(entries) : bytes);
    writeFile(dir.path() + u"/Rail Simulator/Assets/a.txt"_s, "the game's own");
    writeFile(dir.path() + u"/tmp/keep.txt"_s, "beside the game");
    const QStringList before = entriesBelow(dir.path());
    const QMap<QString, QByteArray> files = snapshot(dir.path());

    PackageArchive::Limits limits;
    if (byteLimit > 0)
        limits.unpackedBytes = byteLimit;
    if (entryLimit > 0)
        limits.entries = entryLimit;
    PackageArchive archive(host(zip), limits);
    const auto checked = refusalOf([&] { archive.check(); });
    QCOMPARE(checked.has_value(), seenByCheck);
    const auto refused = refusalOf([&] { archive.unpack(host(dir.path())); });
    QVERIFY(refused);
    QCOMPARE(refused->reason(), reason);
    QCOMPARE(refused->entry(), entry);
    QVERIFY2(refused->description().contains(host(zip).display()),
             qPrintable(refused->description()));
    QVERIFY2(refused->description().contains(QString(entry).replace(u'\x01', u'\xfffd')),
             qPrintable(refused->description()));
    QVERIFY(archive.folder().isEmpty());
    QCOMPARE(entriesBelow(dir.path()), before);
    QCOMPARE(snapshot(dir.path()), files);
}

void TestPackageArchive::entriesUnpackAsStored_data()
{
    QTest::addColumn<ZipEntry>("entry");
    QTest::addColumn<QByteArray>("archived"); // of another format, holding the entry; or empty
    QTest::addColumn<QString>("unpackedAs");
    QTest::newRow("DOS code page") << zipFile(cp437("Caf\x82/\x81"
                                                    "ber.txt"),
                                              "dos")
                                   << QByteArray() << u"Café/über.txt"_s;
    QTest::newRow("DOS code page beyond Latin letters")
        << zipFile(cp437("\xe1\x9c\xe0.txt"), "dos") << QByteArray() << u"ß£α.txt"_s;
    ZipEntry flagged = zipFile(u"Zürich/é 🚂.txt"_s.toUtf8(), "utf-8");
    flagged.utf8 = true;
    QTest::newRow("UTF-8, flagged") << flagged << QByteArray() << u"Zürich/é 🚂.txt"_s;
    // The flag decides, not a guess: unflagged bytes are the DOS code page's.
    QTest::newRow("UTF-8 bytes without the flag")
        << zipFile(u"é.txt"_s.toUtf8(), "dos") << QByteArray() << u"├⌐.txt"_s;
    ZipEntry unicodePath = zipFile("Unicode.txt", "extra field");
    unicodePath.unicodePath = u"Ünicode.txt"_s.toUtf8();
    QTest::newRow("Info-ZIP's Unicode path field")
        << unicodePath << QByteArray() << u"Ünicode.txt"_s;
    QTest::newRow("backslashes separate") << zipFile("Rail Simulator\\Assets\\a.txt", "windows")
                                          << QByteArray() << u"Rail Simulator/Assets/a.txt"_s;
    // libarchive ends a name at a NUL byte: what follows cannot climb out.
    QTest::newRow("a NUL byte ends the name")
        << zipFile(QByteArray("Rail Simulator/x.txt\0/../../evil.txt", 36), "nul") << QByteArray()
        << u"Rail Simulator/x.txt"_s;

    const auto other = [](const char* row, ArchiveFormat format, const QByteArray& name,
                          const QString& unpackedAs) {
        QTest::newRow(row) << zipFile(name, "other")
                           << writtenArchive(format, {archiveFile(name, "other")}) << unpackedAs;
    };
    other("7z: Unicode", ArchiveFormat::SevenZip, u"Zürich/é 🚂.txt"_s.toUtf8(),
          u"Zürich/é 🚂.txt"_s);
    other("tar: UTF-8", ArchiveFormat::TarGz, u"Zürich/é 🚂.txt"_s.toUtf8(), u"Zürich/é 🚂.txt"_s);
    // Bytes of an old Linux or Windows code page are not UTF-8.
    other("tar: a code page, read as Windows-1252", ArchiveFormat::Tar, "Caf\xe9/\x80 \xe0.txt",
          u"Café/€ à.txt"_s);
    ArchiveEntry sparse = archiveFile("Rail Simulator/sparse.bin", "data, then a hole");
    sparse.sparseSize = 100'000;
    QTest::newRow("tar: a sparse file that ends in a hole")
        << zipFile(sparse.name, sparse.data + QByteArray(sparse.sparseSize - sparse.data.size(), 0))
        << writtenArchive(ArchiveFormat::TarGz, {sparse}) << u"Rail Simulator/sparse.bin"_s;
}

void TestPackageArchive::entriesUnpackAsStored()
{
    QFETCH(ZipEntry, entry);
    QFETCH(QByteArray, archived);
    QFETCH(QString, unpackedAs);
    QTemporaryDir dir;
    const QString zip = dir.path() + u"/package.zip"_s;
    writeFile(zip, archived.isEmpty() ? zipArchive({entry}) : archived);
    const QMap<QString, QByteArray> expected{{unpackedAs, entry.data}};

    // Names must not depend on the locale the process runs in.
    const QByteArray processLocale = std::setlocale(LC_ALL, nullptr);
    for (const char* locale : {"C", processLocale.constData()}) {
        std::setlocale(LC_ALL, locale);
        PackageArchive archive(host(zip));
        archive.unpack(host(dir.path()));
        std::setlocale(LC_ALL, processLocale.constData());
        QCOMPARE(snapshot(archive.folder().toString()), expected);
        QCOMPARE(without(entriesBelow(dir.path()), archive.folder().fileName()),
                 QStringList{u"package.zip"_s});
    }
}

void TestPackageArchive::packageRootOneLevelDown_data()
{
    QTest::addColumn<QList<ZipEntry>>("entries");
    QTest::addColumn<QString>("root"); // below the unpacked folder; empty for itself

    const ZipEntry route = zipFile("Veltrane.xxx", "route");
    const auto in = [](const QByteArray& folder, ZipEntry entry) {
        entry.name = folder + '/' + entry.name;
        return entry;
    };
    QTest::newRow("markers at the top")
        << QList<ZipEntry>{route, zipFile("Rail Simulator/a.txt", "a")} << QString();
    QTest::newRow("a route in one top folder")
        << QList<ZipEntry>{in("Pack", route), zipFile("Pack/Rail Simulator/a.txt", "a")}
        << u"Pack"_s;
    QTest::newRow("a scenario marker in other letters")
        << QList<ZipEntry>{zipFile("Pack/scenario.ZZZ", "scenario")} << u"Pack"_s;
    QTest::newRow("only the game tree one level down")
        << QList<ZipEntry>{zipFile("Pack/rail simulator/Assets/a.txt", "a")} << u"Pack"_s;
    QTest::newRow("a read-me beside the top folder")
        << QList<ZipEntry>{zipFile("ReadMe.txt", "read me"), in("Pack", route)} << u"Pack"_s;
    QTest::newRow("two packages side by side")
        << QList<ZipEntry>{in("One", route), in("Two", route)} << QString();
    QTest::newRow("two levels down is too deep")
        << QList<ZipEntry>{in("Outer/Pack", route)} << QString();
    QTest::newRow("a marker file named like a folder")
        << QList<ZipEntry>{zipFile("Pack/Rail Simulator", "not a folder")} << QString();
    QTest::newRow("a link to the package is not a second one")
        << QList<ZipEntry>{in("Pack", route), zipLink("Shortcut", "Pack")} << u"Pack"_s;
}

void TestPackageArchive::packageRootOneLevelDown()
{
    QFETCH(QList<ZipEntry>, entries);
    QFETCH(QString, root);
    QTemporaryDir dir;
    const QString zip = dir.path() + u"/package.zip"_s;
    writeFile(zip, zipArchive(entries));
    PackageArchive archive(host(zip));
    archive.unpack(host(dir.path()));
    const QString folder = archive.folder().toString();
    QCOMPARE(archive.packageRoot().toString(), root.isEmpty() ? folder : folder + u'/' + root);
}

void TestPackageArchive::progressAndCancelInAWorkerThread_data()
{
    QTest::addColumn<ArchiveFormat>("format");
    QTest::addColumn<std::optional<Stage>>("cancelIn");
    for (const ArchiveFormat format :
         {ArchiveFormat::Zip, ArchiveFormat::SevenZip, ArchiveFormat::TarGz}) {
        const QByteArray suffix = archiveSuffix(format).toUtf8();
        QTest::newRow("unpacked " + suffix) << format << std::optional<Stage>();
        QTest::newRow("cancelled while checked " + suffix)
            << format << std::optional(Stage::Checking);
        QTest::newRow("cancelled while unpacked " + suffix)
            << format << std::optional(Stage::Unpacking);
    }
}

void TestPackageArchive::progressAndCancelInAWorkerThread()
{
    QFETCH(ArchiveFormat, format);
    QFETCH(std::optional<Stage>, cancelIn);
    const QString source = demoPackage(u"scenario"_s);
    QTemporaryDir dir;
    const QString path = dir.path() + u"/package"_s + archiveSuffix(format);
    writeFile(path, writtenArchive(format, entriesOf(source, u"Pack"_s, true)));
    const QString parent = dir.path() + u"/unpack"_s;
    makeFolder(parent);

    PackageArchive archive(host(path));
    QList<Progress> reports;
    bool inWorker = true;
    PackageArchive::Observer observer;
    observer.interval = std::chrono::milliseconds(0);
    observer.report = [&](const Progress& progress) {
        inWorker = inWorker && QThread::currentThread() != QCoreApplication::instance()->thread();
        reports.append(progress);
        return !(progress.stage == cancelIn && progress.entriesDone >= 2);
    };
    std::optional<ArchiveRefusal> refused;
    std::unique_ptr<QThread> worker(QThread::create(
        [&] { refused = refusalOf([&] { archive.unpack(host(parent), observer); }); }));
    worker->start();
    QVERIFY(worker->wait(60'000));
    QVERIFY(inWorker);

    // Each stage is told as it starts, and goes forward within its totals.
    QVERIFY(!reports.isEmpty());
    for (qsizetype i = 0; i < reports.size(); ++i) {
        const Progress& now = reports[i];
        QVERIFY(now.bytesDone <= now.bytesTotal);
        QVERIFY(now.stage == Stage::Checking ? now.entriesTotal == 0
                                             : now.entriesDone <= now.entriesTotal);
        const bool starts = i == 0 || reports[i - 1].stage != now.stage;
        if (starts)
            QVERIFY(now.bytesDone == 0 && now.entriesDone == 0);
        else
            QVERIFY(now.bytesDone >= reports[i - 1].bytesDone &&
                    now.entriesDone >= reports[i - 1].entriesDone);
    }
    if (!cancelIn) {
        QVERIFY(!refused);
        const Progress& last = reports.last();
        QCOMPARE(last.stage, Stage::Unpacking);
        qint64 bytes = 0;
        for (const QByteArray& data : snapshot(source))
            bytes += data.size();
        QCOMPARE(last.bytesDone, bytes);
        QCOMPARE(last.bytesTotal, bytes);
        QCOMPARE(last.entriesDone, last.entriesTotal);
        QCOMPARE(last.entriesTotal, qint64(entriesOf(source, u"Pack"_s, true).size()));
        QCOMPARE(snapshot(archive.packageRoot().toString()), snapshot(source));
        return;
    }
    QVERIFY(refused);
    QCOMPARE(refused->reason(), Reason::Cancelled);
    QCOMPARE(reports.last().stage, *cancelIn);
    QVERIFY(archive.folder().isEmpty());
    QCOMPARE(entriesBelow(parent), QStringList());
}

QTEST_GUILESS_MAIN(TestPackageArchive)
#include "tst_packagearchive.moc"
