// Packages that come as zip archives: refused whole before anything is written when an entry
// could reach outside, and otherwise unpacked into a private folder, as their folders are.
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
#include <QTemporaryDir>
#include <QTest>
#include <archive.h>
#include <archive_entry.h>
#include <clocale>
#include <optional>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

Q_DECLARE_METATYPE(veltrane::ArchiveRefusal::Reason)

namespace {

using Reason = ArchiveRefusal::Reason;

QString demoPackage(const QString& name)
{
    return QStringLiteral(VELTRANE_EXAMPLES_DIR) + u"/packages/"_s + name;
}

// A zip of a folder as a zip program makes it, deflated, each name under top.
bool zipWithLibarchive(const QString& folder, const QString& zipPath, const QString& top,
                       bool folderEntries, const QStringList& beside)
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(QDir(folder).relativeFilePath(it.next()));
    names.sort();

    archive* zip = archive_write_new();
    bool written =
        archive_write_set_format_zip(zip) == ARCHIVE_OK &&
        archive_write_open_filename(zip, QFile::encodeName(zipPath).constData()) == ARCHIVE_OK;
    const auto add = [&](const QString& name, const QByteArray& bytes, bool isFolder) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(
            entry, (name + (isFolder ? u"/"_s : QString())).toUtf8().constData());
        archive_entry_set_filetype(entry, isFolder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry, isFolder ? 0755 : 0644);
        archive_entry_set_size(entry, isFolder ? 0 : bytes.size());
        written = written && archive_write_header(zip, entry) == ARCHIVE_OK &&
                  archive_write_data(zip, bytes.constData(), size_t(bytes.size())) == bytes.size();
        archive_entry_free(entry);
    };
    const QString prefix = top.isEmpty() ? QString() : top + u'/';
    if (!top.isEmpty() && folderEntries)
        add(top, {}, true);
    for (const QString& name : std::as_const(names)) {
        const bool isFolder = QFileInfo(folder + u'/' + name).isDir();
        if (!isFolder || folderEntries)
            add(prefix + name, isFolder ? QByteArray() : readFile(folder + u'/' + name), isFolder);
    }
    for (const QString& name : beside)
        add(name, "beside the package\n", false);
    written = archive_write_close(zip) == ARCHIVE_OK && written;
    archive_write_free(zip);
    return written;
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

} // namespace

class TestPackageArchive : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void demoPackagesUnpackAsTheirFolders_data();
    void demoPackagesUnpackAsTheirFolders();
    void refusalsWriteNothing_data();
    void refusalsWriteNothing();
    void dosAndUtf8Names_data();
    void dosAndUtf8Names();
    void packageRootOneLevelDown_data();
    void packageRootOneLevelDown();
};

void TestPackageArchive::demoPackagesUnpackAsTheirFolders_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("top");
    QTest::addColumn<bool>("folderEntries");
    QTest::addColumn<QStringList>("beside");
    QTest::newRow("route") << u"route"_s << QString() << false << QStringList();
    QTest::newRow("route in a top folder")
        << u"route"_s << u"Riverside Route 1.0"_s << true << QStringList();
    QTest::newRow("scenario") << u"scenario"_s << QString() << true << QStringList();
    QTest::newRow("scenario in a top folder")
        << u"scenario"_s << u"Scenario pack"_s << false << QStringList();
    QTest::newRow("assets") << u"assets"_s << QString() << false << QStringList();
    QTest::newRow("assets in a top folder beside a read-me and a __MACOSX folder")
        << u"assets"_s << u"Wagons"_s << true
        << QStringList{u"ReadMe.txt"_s, u"__MACOSX/Wagons/._AssetSetup.ggg"_s};
}

void TestPackageArchive::demoPackagesUnpackAsTheirFolders()
{
    QFETCH(QString, package);
    QFETCH(QString, top);
    QFETCH(bool, folderEntries);
    QFETCH(QStringList, beside);
    const QString source = demoPackage(package);
    QTemporaryDir dir;
    const QString zip = dir.path() + u"/package.zip"_s;
    QVERIFY(zipWithLibarchive(source, zip, top, folderEntries, beside));
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
                 top.isEmpty() ? unpacked : unpacked + u'/' + top);
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
        << qint64(0) << Reason::NotAZipArchive << QString() << true;
    const QByteArray whole =
        zipArchive({good, zipFile("Rail Simulator/b.txt", QByteArray(90, 'b'))});
    QTest::newRow("cut short") << QList<ZipEntry>() << whole.left(whole.indexOf("bbbb") + 40)
                               << qint64(0) << qint64(0) << Reason::Damaged << QString() << true;
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

void TestPackageArchive::dosAndUtf8Names_data()
{
    QTest::addColumn<ZipEntry>("entry");
    QTest::addColumn<QString>("unpackedAs");
    QTest::newRow("DOS code page") << zipFile(cp437("Caf\x82/\x81"
                                                    "ber.txt"),
                                              "dos")
                                   << u"Café/über.txt"_s;
    QTest::newRow("DOS code page beyond Latin letters")
        << zipFile(cp437("\xe1\x9c\xe0.txt"), "dos") << u"ß£α.txt"_s;
    ZipEntry flagged = zipFile(u"Zürich/é 🚂.txt"_s.toUtf8(), "utf-8");
    flagged.utf8 = true;
    QTest::newRow("UTF-8, flagged") << flagged << u"Zürich/é 🚂.txt"_s;
    // The flag decides, not a guess: unflagged bytes are the DOS code page's.
    QTest::newRow("UTF-8 bytes without the flag")
        << zipFile(u"é.txt"_s.toUtf8(), "dos") << u"├⌐.txt"_s;
    ZipEntry unicodePath = zipFile("Unicode.txt", "extra field");
    unicodePath.unicodePath = u"Ünicode.txt"_s.toUtf8();
    QTest::newRow("Info-ZIP's Unicode path field") << unicodePath << u"Ünicode.txt"_s;
    QTest::newRow("backslashes separate")
        << zipFile("Rail Simulator\\Assets\\a.txt", "windows") << u"Rail Simulator/Assets/a.txt"_s;
    // libarchive ends a name at a NUL byte: what follows cannot climb out.
    QTest::newRow("a NUL byte ends the name")
        << zipFile(QByteArray("Rail Simulator/x.txt\0/../../evil.txt", 36), "nul")
        << u"Rail Simulator/x.txt"_s;
}

void TestPackageArchive::dosAndUtf8Names()
{
    QFETCH(ZipEntry, entry);
    QFETCH(QString, unpackedAs);
    QTemporaryDir dir;
    const QString zip = dir.path() + u"/package.zip"_s;
    writeFile(zip, zipArchive({entry}));
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

QTEST_GUILESS_MAIN(TestPackageArchive)
#include "tst_packagearchive.moc"
