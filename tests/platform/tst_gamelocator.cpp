// The game found where Linux users keep it, in a form the rest of the program maps back to
// the folder, within a small number of folder listings.
#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "platform/GameLocator.h"
#include "util/HostPath.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <future>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

// Entries below the home: "path/" a folder, "path=content" a file, "path -> target" a link;
// "<home>" stands for the home folder.
void buildHome(const QString& home, const QStringList& entries)
{
    for (QString entry : entries) {
        entry.replace(u"<home>"_s, home);
        if (entry.contains(u" -> "_s)) {
            const QString link = home + u'/' + entry.section(u" -> "_s, 0, 0);
            makeFolder(QFileInfo(link).absolutePath());
            QVERIFY(QFile::link(entry.section(u" -> "_s, 1), link));
        } else if (entry.endsWith(u'/')) {
            makeFolder(home + u'/' + entry);
        } else {
            writeFile(home + u'/' + entry.section(u'=', 0, 0),
                      entry.section(u'=', 1).replace(u"\\n"_s, u"\n"_s).toUtf8());
        }
    }
}

QString steamLibraries(const QStringList& paths)
{
    QString vdf = u"\"libraryfolders\"\\n{\\n"_s;
    for (int i = 0; i < paths.size(); ++i)
        vdf += u"\t\"%1\"\\n\t{\\n\t\t\"path\"\t\t\"%2\"\\n\t\t\"label\"\t\t\"\"\\n"
               u"\t\t\"apps\"\\n\t\t{\\n\t\t\t\"2400\"\t\t\"123\"\\n\t\t}\\n\t}\\n"_s.arg(i)
                   .arg(paths[i]);
    return vdf + u"}\\n"_s;
}

// A named pipe with no writer, whose ordinary open waits for one for ever, or a socket.
void makeSpecialFile(const QString& path, const QString& kind)
{
#ifdef Q_OS_UNIX
    makeFolder(QFileInfo(path).absolutePath());
    const QByteArray name = QFile::encodeName(path);
    if (kind == u"pipe"_s) {
        QCOMPARE(::mkfifo(name.constData(), 0644), 0);
        return;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    QVERIFY(size_t(name.size()) < sizeof(address.sun_path));
    std::copy(name.cbegin(), name.cend(), address.sun_path);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(socket >= 0);
    const int bound = ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(socket);
    QCOMPARE(bound, 0);
#else
    Q_UNUSED(path);
    Q_UNUSED(kind);
#endif
}

// What a search among large settings files comes to.
enum Outcome { Found, NotFound, FoundInTime /* unless the time ran out first */, OutOfTime };

// find() on a thread of its own, timed: a search that blocks ends the test run with a
// message instead of holding it up for ever.
QString watchedFind(GameLocator& locator, qint64& milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    auto search = std::async(std::launch::async, [&locator] { return locator.find(); });
    if (search.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
        qFatal("the search for the game has not ended after 10 s");
    QString found = search.get();
    milliseconds = timer.elapsed();
    return found;
}

} // namespace

class TestGameLocator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void findsTheGameWhereUsersKeepIt_data();
    void findsTheGameWhereUsersKeepIt();
    void listingsStayWithinTheBudget_data();
    void listingsStayWithinTheBudget();
    void steamLibraryFileForms_data();
    void steamLibraryFileForms();
    void opensOnlyRegularFiles_data();
    void opensOnlyRegularFiles();
    void readsSettingsWithinTheBudgets_data();
    void readsSettingsWithinTheBudgets();
    void tellsWhereItLooked_data();
    void tellsWhereItLooked();

private:
    QTemporaryDir* m_dir = nullptr;
    QString m_home;
    EnvironmentGuard m_environment;
};

void TestGameLocator::init()
{
#ifdef Q_OS_WIN
    QSKIP("Windows keeps its games in its own folders");
#endif
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_home = m_dir->path() + u"/home/me"_s;
    makeFolder(m_home);
    // The program maps "c:" through the same prefix the search is given.
    m_environment.set("HOME", QFile::encodeName(m_home));
    m_environment.unset("WINEPREFIX");
}

void TestGameLocator::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
    m_environment.restore();
}

void TestGameLocator::findsTheGameWhereUsersKeepIt_data()
{
    QTest::addColumn<QStringList>("home");
    QTest::addColumn<QString>("winePrefix"); // below the home; empty: unset
    QTest::addColumn<QString>("found");      // "<home>" for the home folder

    const QString cDrive = u".wine/dosdevices/c: -> ../drive_c"_s;
    QTest::newRow("nothing at all") << QStringList{} << QString() << QString();
    QTest::newRow("~/.wine, past Wine's own folders")
        << QStringList{cDrive, u".wine/drive_c/windows/system32/"_s,
                       u".wine/drive_c/Program Files/Common Files/"_s,
                       u".wine/drive_c/Games/Rail Simulator/RailSim.exe=exe"_s}
        << QString() << u"c:\\Games\\Rail Simulator"_s;
    QTest::newRow("$WINEPREFIX before ~/.wine")
        << QStringList{cDrive, u".wine/drive_c/Program Files/Rail Simulator/RailSim.exe=exe"_s,
                       u"rs/dosdevices/c: -> ../drive_c"_s,
                       u"rs/drive_c/Program Files (x86)/Rail Simulator/RailSim.exe=exe"_s}
        << u"rs"_s << u"c:\\Program Files (x86)\\Rail Simulator"_s;
    QTest::newRow("~/.wine when drive C is $WINEPREFIX's: a host path")
        << QStringList{cDrive, u".wine/drive_c/Program Files/Rail Simulator/RailSim.exe=exe"_s,
                       u"empty/dosdevices/c: -> ../drive_c"_s, u"empty/drive_c/"_s}
        << u"empty"_s << u"<home>/.wine/drive_c/Program Files/Rail Simulator"_s;
    QTest::newRow("drive C leading elsewhere: a host path")
        << QStringList{u".wine/dosdevices/c: -> /"_s,
                       u".wine/drive_c/Program Files/Rail Simulator/RailSim.exe=exe"_s}
        << QString() << u"<home>/.wine/drive_c/Program Files/Rail Simulator"_s;
    QTest::newRow("Steam: two libraries, the game in the second, in other letters")
        << QStringList{u".local/share/Steam/steamapps/libraryfolders.vdf="_s +
                           steamLibraries(
                               {u"<home>/.local/share/Steam"_s, u"<home>/Disk 2/SteamLibrary"_s}),
                       u".local/share/Steam/steamapps/common/Half-Life/hl.exe=exe"_s,
                       u".steam/steam -> <home>/.local/share/Steam"_s,
                       u"Disk 2/SteamLibrary/steamapps/common/RailSimulator/railsim.EXE=exe"_s}
        << QString() << u"<home>/Disk 2/SteamLibrary/steamapps/common/RailSimulator"_s;
    QTest::newRow("Steam as a Flatpak, two levels down")
        << QStringList{u".var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/"
                       u"Rail Simulator/Bin/RailSim.exe=exe"_s}
        << QString()
        << u"<home>/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/"
           u"Rail Simulator/Bin"_s;
    QTest::newRow("a Lutris prefix named in a game's settings")
        << QStringList{u".config/lutris/games/rail-simulator-1690000000.yml=game:\\n"
                       u"  exe: <home>/Wine/rs/drive_c/RS/RailSim.exe\\n"
                       u"  prefix: '<home>/Wine/rs'\\nwine:\\n  version: lutris-7.2\\n"_s,
                       u"Wine/rs/drive_c/RS/RailSim.exe=exe"_s}
        << QString() << u"<home>/Wine/rs/drive_c/RS"_s;
    QTest::newRow("a Lutris prefix in ~/Games")
        << QStringList{u"Games/rail-simulator/drive_c/Program Files/Rail Simulator/RAILSIM.EXE=exe"_s}
        << QString() << u"<home>/Games/rail-simulator/drive_c/Program Files/Rail Simulator"_s;
    QTest::newRow("a bottle")
        << QStringList{u".local/share/bottles/bottles/Trains/drive_c/Program Files/"
                       u"Rail Simulator/RailSim.exe=exe"_s}
        << QString()
        << u"<home>/.local/share/bottles/bottles/Trains/drive_c/Program Files/Rail Simulator"_s;
    QTest::newRow("a bottle of Bottles as a Flatpak")
        << QStringList{u".var/app/com.usebottles.bottles/data/bottles/bottles/RS/drive_c/RS/"
                       u"RailSim.exe=exe"_s}
        << QString()
        << u"<home>/.var/app/com.usebottles.bottles/data/bottles/bottles/RS/drive_c/RS"_s;
    QTest::newRow("Wine before Steam")
        << QStringList{cDrive, u".wine/drive_c/RS/RailSim.exe=exe"_s,
                       u".steam/steam/steamapps/common/Rail Simulator/RailSim.exe=exe"_s}
        << QString() << u"c:\\RS"_s;
    QTest::newRow("three levels down is too deep")
        << QStringList{cDrive,
                       u".wine/drive_c/Program Files/EA Games/Rail Simulator/RailSim.exe=exe"_s}
        << QString() << QString();
    QTest::newRow("a folder named RailSim.exe is not the program")
        << QStringList{cDrive, u".wine/drive_c/Games/Rail Simulator/RailSim.exe/"_s} << QString()
        << QString();
}

void TestGameLocator::findsTheGameWhereUsersKeepIt()
{
    QFETCH(QStringList, home);
    QFETCH(QString, winePrefix);
    QFETCH(QString, found);
    buildHome(m_home, home);
    if (!winePrefix.isEmpty())
        m_environment.set("WINEPREFIX", QFile::encodeName(m_home + u'/' + winePrefix));

    GameLocator locator(m_home, QProcessEnvironment::systemEnvironment());
    const QString result = locator.find();
    QCOMPARE(result, QString(found).replace(u"<home>"_s, m_home));
    QVERIFY(locator.listings() <= GameLocator::kListingBudget);
    if (home.isEmpty())
        QCOMPARE(locator.listings(), 0);
    // What the path box shows leads the program to the game, as its default folder does.
    if (!result.isEmpty())
        QVERIFY2(
            QFileInfo(HostPath::fromProgramPath(result + u"\\RailSim.exe"_s).toString()).isFile(),
            qPrintable(result));
}

void TestGameLocator::listingsStayWithinTheBudget_data()
{
    QTest::addColumn<int>("folders");  // in drive C, "Folder000" on
    QTest::addColumn<QString>("game"); // the game's folder in drive C
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("listings");

    QTest::newRow("beyond the budget among hundreds of folders")
        << 300 << u"Folder290"_s << false << GameLocator::kListingBudget;
    QTest::newRow("two levels down, found after every first level")
        << 40 << u"Folder039/Rail Simulator"_s << true << 1 + 40 + 1;
    QTest::newRow("a name with \"rail\" is looked into first") << 300 << u"RailSim"_s << true << 2;
}

void TestGameLocator::listingsStayWithinTheBudget()
{
    QFETCH(int, folders);
    QFETCH(QString, game);
    QFETCH(bool, found);
    QFETCH(int, listings);
    const QString drive = m_home + u"/.wine/drive_c/"_s;
    for (int i = 0; i < folders; ++i)
        makeFolder(drive + u"Folder%1/Sub"_s.arg(i, 3, 10, QChar(u'0')));
    writeFile(drive + game + u"/RailSim.exe"_s, "exe");
    // More places the search must not reach once the budget is spent.
    writeFile(m_home + u"/.steam/steam/steamapps/common/Rail Simulator/RailSim.exe"_s, "exe");

    GameLocator locator(m_home, QProcessEnvironment::systemEnvironment());
    QCOMPARE(locator.find().isEmpty(), !found);
    QCOMPARE(locator.listings(), listings);
}

void TestGameLocator::steamLibraryFileForms_data()
{
    QTest::addColumn<QByteArray>("vdf");
    QTest::addColumn<QStringList>("paths");
    QTest::newRow("today's form")
        << QByteArray(
               "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"/home/me/.local/share/"
               "Steam\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"228980\"\t\t\"1\"\n\t\t}\n\t}\n"
               "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"/mnt/games/Steam Library\"\n\t}\n}\n")
        << QStringList{u"/home/me/.local/share/Steam"_s, u"/mnt/games/Steam Library"_s};
    QTest::newRow("the older form")
        << QByteArray(
               "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1690000000\"\n"
               "\t\"ContentStatsID\"\t\t\"-123\"\n\t\"1\"\t\t\"/mnt/games/SteamLibrary\"\n}\n")
        << QStringList{u"/mnt/games/SteamLibrary"_s};
    QTest::newRow("escapes, comments and a file cut short")
        << QByteArray("// written by hand\n\"libraryfolders\" { \"0\" { \"path\" "
                      "\"/mnt/\\\"quoted\\\"\\\\x\" } \"1\" { \"path\" \"/mnt/cut")
        << QStringList{u"/mnt/\"quoted\"\\x"_s, u"/mnt/cut"_s};
    QTest::newRow("not a library file") << QByteArray("<html>{{}}") << QStringList{};
}

void TestGameLocator::steamLibraryFileForms()
{
    QFETCH(QByteArray, vdf);
    QFETCH(QStringList, paths);
    QCOMPARE(GameLocator::steamLibraryPaths(vdf), paths);
}

void TestGameLocator::opensOnlyRegularFiles_data()
{
    QTest::addColumn<QString>("settings"); // below the home
    QTest::addColumn<QString>("kind");     // "pipe" or "socket"
    const QString steam = u".local/share/Steam/steamapps/libraryfolders.vdf"_s;
    const QString lutris = u".config/lutris/games/rail-simulator.yml"_s;
    QTest::newRow("a pipe as Steam's library list") << steam << u"pipe"_s;
    QTest::newRow("a socket as Steam's library list") << steam << u"socket"_s;
    QTest::newRow("a pipe as a Lutris game's settings") << lutris << u"pipe"_s;
    QTest::newRow("a socket as a Lutris game's settings") << lutris << u"socket"_s;
}

void TestGameLocator::opensOnlyRegularFiles()
{
    QFETCH(QString, settings);
    QFETCH(QString, kind);
    makeSpecialFile(m_home + u'/' + settings, kind);
    const QString bottle = m_home + u"/.local/share/bottles/bottles/RS/drive_c/RS"_s;
    writeFile(bottle + u"/RailSim.exe"_s, "exe");

    GameLocator locator(m_home, QProcessEnvironment::systemEnvironment());
    qint64 milliseconds = 0;
    QCOMPARE(watchedFind(locator, milliseconds), bottle);
    QVERIFY2(milliseconds < 1500, qPrintable(u"%1 ms"_s.arg(milliseconds)));
}

void TestGameLocator::readsSettingsWithinTheBudgets_data()
{
    QTest::addColumn<int>("files");       // Lutris settings of 2 MB each, sparse
    QTest::addColumn<qint64>("prefixAt"); // where the last one names the game's prefix
    QTest::addColumn<qint64>("budget");   // milliseconds
    QTest::addColumn<int>("outcome");

    const qint64 budget = GameLocator::kTimeBudget.count();
    QTest::newRow("the prefix within the part read")
        << 1 << GameLocator::kSettingsBytes - 100 << budget << int(Found);
    QTest::newRow("the prefix beyond the part read")
        << 1 << GameLocator::kSettingsBytes + 100 << budget << int(NotFound);
    QTest::newRow("the prefix in the last of 501 files")
        << 501 << qint64(0) << budget << int(FoundInTime);
    // No machine reads 501 MB in 10 ms.
    QTest::newRow("501 files in 10 ms") << 501 << qint64(0) << qint64(10) << int(OutOfTime);
}

void TestGameLocator::readsSettingsWithinTheBudgets()
{
    QFETCH(int, files);
    QFETCH(qint64, prefixAt);
    QFETCH(qint64, budget);
    QFETCH(int, outcome);
    const QString folder = m_home + u"/.config/lutris/games/"_s;
    makeFolder(folder);
    for (int i = 0; i < files; ++i) {
        QFile file(folder + u"game%1.yml"_s.arg(i, 3, 10, QChar(u'0')));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(2 << 20));
        if (i == files - 1)
            QVERIFY(file.seek(prefixAt) &&
                    file.write(u"\ngame:\n  prefix: %1/Wine/rs\n"_s.arg(m_home).toUtf8()) > 0);
    }
    const QString game = m_home + u"/Wine/rs/drive_c/RS"_s;
    writeFile(game + u"/RailSim.exe"_s, "exe");

    GameLocator locator(m_home, QProcessEnvironment::systemEnvironment(),
                        std::chrono::milliseconds(budget));
    qint64 milliseconds = 0;
    const QString result = watchedFind(locator, milliseconds);
    QVERIFY2(milliseconds < budget + 500, qPrintable(u"%1 ms"_s.arg(milliseconds)));
    const bool outOfTime = locator.placesLooked().endsWith(
        u"… and the search stopped after %1 seconds"_s.arg(double(budget) / 1000));
    if (outcome != FoundInTime)
        QCOMPARE(outOfTime, outcome == OutOfTime);
    const bool found = outcome == Found || (outcome == FoundInTime && !outOfTime);
    QCOMPARE(result, found ? game : QString());
}

void TestGameLocator::tellsWhereItLooked_data()
{
    QTest::addColumn<QStringList>("home");
    QTest::addColumn<QString>("winePrefix"); // below the home; empty: unset
    QTest::addColumn<QStringList>("looked"); // "<home>" for the home folder

    const QStringList everyKind{
        u"rs/drive_c/"_s,
        u".wine/drive_c/"_s,
        u".local/share/Steam/steamapps/libraryfolders.vdf="_s +
            steamLibraries({u"<home>/.local/share/Steam"_s, u"<home>/Disk 2/SteamLibrary"_s}),
        u".local/share/Steam/steamapps/common/"_s,
        u".steam/steam -> <home>/.local/share/Steam"_s,
        u"Disk 2/SteamLibrary/steamapps/common/"_s,
        u".config/lutris/games/a.yml=game:\n  prefix: <home>/Wine/gone\n"_s,
        u".config/lutris/games/b.yml=game:\n  prefix: <home>/Wine/lt\n"_s,
        u"Wine/lt/drive_c/"_s,
        u"Games/other/drive_c/"_s,
        u".local/share/bottles/bottles/Trains/drive_c/"_s};
    QTest::newRow("every kind in order, a linked Steam once, a missing prefix not")
        << everyKind << u"rs"_s
        << QStringList{u"<home>/rs"_s,
                       u"<home>/.wine"_s,
                       u"<home>/.steam/steam"_s,
                       u"<home>/Disk 2/SteamLibrary"_s,
                       u"<home>/Wine/lt"_s,
                       u"<home>/Games/other"_s,
                       u"<home>/.local/share/bottles/bottles/Trains"_s};
    QTest::newRow("up to the place of the game")
        << everyKind + QStringList{u"Disk 2/SteamLibrary/steamapps/common/RS/RailSim.exe=exe"_s}
        << QString()
        << QStringList{u"<home>/.wine"_s, u"<home>/.steam/steam"_s,
                       u"<home>/Disk 2/SteamLibrary"_s};
    QStringList crowded{u".local/share/bottles/bottles/Trains/drive_c/"_s};
    for (int i = 0; i < 60; ++i)
        crowded.append(u".wine/drive_c/Folder%1/"_s.arg(i));
    QTest::newRow("the folders spent")
        << crowded << QString()
        << QStringList{u"<home>/.wine"_s, u"… and the search stopped after 50 folders"_s};
}

void TestGameLocator::tellsWhereItLooked()
{
    QFETCH(QStringList, home);
    QFETCH(QString, winePrefix);
    QFETCH(QStringList, looked);
    buildHome(m_home, home);
    if (!winePrefix.isEmpty())
        m_environment.set("WINEPREFIX", QFile::encodeName(m_home + u'/' + winePrefix));

    GameLocator locator(m_home, QProcessEnvironment::systemEnvironment());
    locator.find();
    QCOMPARE(locator.placesLooked(), looked.replaceInStrings(u"<home>"_s, m_home));
}

QTEST_GUILESS_MAIN(TestGameLocator)
#include "tst_gamelocator.moc"
