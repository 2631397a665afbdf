// The game found where Linux users keep it, in a form the rest of the program maps back to
// the folder, within a small number of folder listings.
#include "EnvironmentGuard.h"
#include "FileFixture.h"
#include "platform/GameLocator.h"
#include "util/HostPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

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

QTEST_GUILESS_MAIN(TestGameLocator)
#include "tst_gamelocator.moc"
