// The program as a script runs it: options, exit statuses and zipped packages, through the
// built program as a process with no display at all.
#include "ArchiveWriter.h"
#include "FileFixture.h"
#include "InstallFixture.h"
#include "ZipBuilder.h"
#include "util/Version.h"

#include <QDirIterator>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <csignal>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::test;

namespace {

struct Run {
    int status = -1;
    QString output; // standard output and error, as a terminal shows them
};

// extra: settings over this process's environment.
Run runProgram(const QStringList& arguments, const QProcessEnvironment& extra = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s})
        environment.remove(name);
    environment.insert(extra);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(qEnvironmentVariable("VELTRANE_BUILD_DIR") + u"/bin/veltrane"_s, arguments);
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished();
    }
    Run run;
    run.output = QString::fromLocal8Bit(process.readAll());
    if (process.exitStatus() == QProcess::NormalExit)
        run.status = process.exitCode();
    return run;
}

// The words of a row with the fixture's folders put in.
QStringList withFolders(QStringList arguments, const InstallFixture& f)
{
    for (QString& argument : arguments) {
        argument.replace(u"{game}"_s, f.game);
        argument.replace(u"{package}"_s, f.package);
        argument.replace(u"{root}"_s, f.root);
    }
    return arguments;
}

// A package folder as a zip archive, its entries below top when it is not empty.
QByteArray zipOfFolder(const QString& folder, const QByteArray& top)
{
    QList<ZipEntry> entries;
    if (!top.isEmpty())
        entries.append(zipFolder(top + '/'));
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QByteArray name = QDir(folder).relativeFilePath(path).toUtf8();
        if (!top.isEmpty())
            name = top + '/' + name;
        ZipEntry entry =
            it.fileInfo().isDir() ? zipFolder(name + '/') : zipFile(name, readFile(path));
        entry.utf8 = true;
        entries.append(entry);
    }
    return zipArchive(entries);
}

// A package folder as an archive of another format, its entries below top.
QByteArray archiveOfFolder(const QString& folder, const QByteArray& top, ArchiveFormat format)
{
    QList<ArchiveEntry> entries{archiveFolder(top + '/')};
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray name = top + '/' + QDir(folder).relativeFilePath(path).toUtf8();
        entries.append(it.fileInfo().isDir() ? archiveFolder(name + '/')
                                             : archiveFile(name, readFile(path)));
    }
    return writtenArchive(format, entries);
}

// Whatever an unpacked archive leaves in the game's private folder after the run.
QStringList unpackLeftovers(const QString& game)
{
    return QDir(game + u"/.veltrane"_s)
        .entryList({u".veltrane-unpack-*"_s, u".veltrane-package-*"_s},
                   QDir::AllEntries | QDir::Hidden);
}

// A second route package beside the fixture's demo one, its route another.
QString otherRoutePackage(const InstallFixture& f)
{
    const QString other = f.root + u"/other route"_s;
    copyFolderInto(f.package, other);
    QByteArray marker = readFile(other + u"/Veltrane.xxx"_s);
    const QByteArray id = "8e4d2c1b-0a9f-4e3d-8c7b-6a5f4e3d2003";
    marker.replace(id, "00000000-0000-4000-8000-000000000077");
    writeFile(other + u"/Veltrane.xxx"_s, marker);
    return other;
}

// Both programs started at once; their runs when both have ended.
QList<Run> runTogether(const QStringList& first, const QStringList& second)
{
    QList<Run> runs(2);
    QThread* other = QThread::create([&] { runs[1] = runProgram(second); });
    other->start();
    runs[0] = runProgram(first);
    other->wait();
    delete other;
    return runs;
}

// An assets package in a folder of its own beside the game, with each file (relative to the
// game) and its bytes.
QString assetsPackage(const InstallFixture& f, const QString& name,
                      const QMap<QString, QByteArray>& files)
{
    const QString folder = f.root + u'/' + name;
    for (auto file = files.cbegin(); file != files.cend(); ++file)
        writeFile(folder + u"/Rail Simulator/"_s + file.key(), file.value());
    return folder;
}

// The installs --list prints, newest first: the fields of each.
QList<QStringList> listed(const InstallFixture& f)
{
    const Run run = runProgram({u"--list"_s, u"--game"_s, f.game});
    if (run.status != 0)
        qWarning("--list ended with %d: %s", run.status, qPrintable(run.output));
    QList<QStringList> rows;
    for (const QString& line : run.output.split(u'\n', Qt::SkipEmptyParts))
        rows.append(line.split(u'\t'));
    return rows;
}

// The field of each row at that place.
QStringList column(const QList<QStringList>& rows, int place)
{
    QStringList values;
    for (const QStringList& row : rows)
        values.append(row.value(place));
    return values;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void optionsEndWithTheirStatus_data();
    void optionsEndWithTheirStatus();
    void zippedPackageInstallsAsItsFolder_data();
    void zippedPackageInstallsAsItsFolder();
    void undoPutsTheGameBack_data();
    void undoPutsTheGameBack();
    void twoProgramsAtOnceLoseNothing();
    void stopRequestTakesTheInstallBack_data();
    void stopRequestTakesTheInstallBack();
    void dryRunChangesNothing_data();
    void dryRunChangesNothing();
    void installsAreListedAndTakenBackOneByOne();
    void uninstallRefusedChangesNothing_data();
    void uninstallRefusedChangesNothing();
};

void TestCommandLine::optionsEndWithTheirStatus_data()
{
    QTest::addColumn<QString>("package"); // the demo package in the package folder
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("shown"); // a line the output must hold, from its start

    const QString noWindow = u"--no-window"_s;
    QTest::newRow("version") << QString() << QStringList{u"--version"_s} << 0
                             << u"veltrane "_s + QString::fromLatin1(kVersionText);
    QTest::newRow("help") << QString() << QStringList{u"--help"_s} << 0 << u"Usage: "_s;
    QTest::newRow("an unknown option")
        << QString() << QStringList{noWindow, u"--bogus"_s} << 3 << u"error: "_s;
    QTest::newRow("no game folder")
        << u"route"_s << QStringList{noWindow, u"--game"_s, u"{root}/nowhere"_s, u"{package}"_s}
        << 3 << u"error: "_s;
    QTest::newRow("a folder with no package")
        << QString() << QStringList{noWindow, u"--game"_s, u"{game}"_s, u"{package}"_s} << 3
        << u"error: The folder "_s;
    QTest::newRow("a log that cannot be written")
        << u"route"_s
        << QStringList{noWindow,    u"--yes"_s,  u"--log"_s,    u"{root}/nowhere/log.txt"_s,
                       u"--game"_s, u"{game}"_s, u"{package}"_s}
        << 3 << u"error: The log file "_s;
    QTest::newRow("a log that would replace a game file")
        << u"route"_s
        << QStringList{noWindow,    u"--yes"_s,  u"--log"_s,    u"{game}/Content/Routes.xml"_s,
                       u"--game"_s, u"{game}"_s, u"{package}"_s}
        << 3 << u"error: The log file "_s;
    QTest::newRow("a log where nothing can be written")
        << u"route"_s << QStringList{noWindow,    u"--yes"_s,  u"--log"_s,    u"/proc/version"_s,
                                     u"--game"_s, u"{game}"_s, u"{package}"_s}
        << 3 << u"error: The log file "_s;
    QTest::newRow("a log that is a pipe")
        << u"route"_s << QStringList{noWindow,    u"--yes"_s,  u"--log"_s,    u"{root}/pipe.log"_s,
                                     u"--game"_s, u"{game}"_s, u"{package}"_s}
        << 3 << u"error: The log file "_s;
    QTest::newRow("a pipe named as an archive")
        << QString()
        << QStringList{noWindow, u"--yes"_s, u"--game"_s, u"{game}"_s, u"{root}/pipe.zip"_s} << 3
        << u"error: The package "_s;
    QTest::newRow("an archive bringing the program's own folder")
        << QString()
        << QStringList{noWindow, u"--yes"_s, u"--game"_s, u"{game}"_s, u"{root}/planted.zip"_s} << 3
        << u"warning: The package planted.zip holds Rail Simulator/.veltrane"_s;
    QTest::newRow("a damaged archive")
        << QString()
        << QStringList{noWindow, u"--yes"_s, u"--game"_s, u"{game}"_s, u"{root}/damaged.zip"_s} << 3
        << u"error: The package "_s;
    QTest::newRow("an archive leading out of its folder")
        << QString()
        << QStringList{noWindow, u"--yes"_s, u"--game"_s, u"{game}"_s, u"{root}/out.zip"_s} << 3
        << u"error: The package "_s;
    QTest::newRow("an archive with no package")
        << QString()
        << QStringList{noWindow, u"--yes"_s, u"--game"_s, u"{game}"_s, u"{root}/empty.zip"_s} << 3
        << u"error: The folder "_s;
    QTest::newRow("an archive answered No")
        << QString() << QStringList{noWindow, u"--game"_s, u"{game}"_s, u"{root}/route.zip"_s} << 2
        << u"question: You are about to install Route - Riverside Branch"_s;
    QTest::newRow("a question answered No")
        << u"route"_s << QStringList{noWindow, u"--game"_s, u"{game}"_s, u"{package}"_s} << 2
        << u"question: You are about to install Route - Riverside Branch | Into your Rail "
           u"Simulator Routes folder - Please Confirm. -> No (answered No: give --yes to answer "
           u"Yes)"_s;
    QTest::newRow("a window with no display to show it on")
        << u"route"_s << QStringList{u"--game"_s, u"{game}"_s, u"{package}"_s} << 3
        << u"error: There is no display to show Veltrane's window on."_s;
    QTest::newRow("every question answered Yes, the log copied")
        << u"route"_s << QStringList{noWindow,    u"--yes"_s,  u"--log"_s,    u"{root}/copy.log"_s,
                                     u"--game"_s, u"{game}"_s, u"{package}"_s}
        << 0 << u"message: Your package has been installed."_s;
    QTest::newRow("a step that failed")
        << u"assets"_s
        << QStringList{noWindow, u"--yes"_s, u"--game"_s, u"{game}"_s, u"{package}"_s} << 1
        << u"warning: The package has not been installed completely."_s;
    // A Wine that runs nothing, in a prefix whose Z: reaches the game.
    QTest::newRow("a batch file line for Wine's cmd, answered No")
        << u"assets for Wine"_s << QStringList{noWindow, u"--game"_s, u"{game}"_s, u"{package}"_s}
        << 1
        << u"question: The package's batch file RS-Install.bat has lines that Veltrane cannot "
           u"run itself: |  | Line 1: start setup.exe"_s;
    QTest::newRow("a batch file line for Wine's cmd, answered Yes")
        << u"assets for Wine"_s
        << QStringList{noWindow, u"--yes"_s, u"--game"_s, u"{game}"_s, u"{package}"_s} << 0
        << u"note: RS-Install.bat ended with exit status 0"_s;
    QTest::newRow("nothing to undo")
        << QString() << QStringList{noWindow, u"--undo"_s, u"--game"_s, u"{game}"_s} << 0
        << u"message: No install into the game folder "_s;
}

void TestCommandLine::optionsEndWithTheirStatus()
{
    QFETCH(QString, package);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, shown);
    InstallFixture f;
    f.layOutDemoGame();
    const bool forWine = package == u"assets for Wine"_s;
    if (forWine)
        package = u"assets"_s;
    if (!package.isEmpty())
        f.copyDemoPackage(package);
    QProcessEnvironment wine;
    if (forWine) {
        f.packageFile(u"Rail Simulator/RS-Install.bat"_s, "start setup.exe\r\n");
        writeFile(f.root + u"/bin/wine"_s, "#!/bin/sh\n");
        QFile::setPermissions(f.root + u"/bin/wine"_s, QFile::ReadOwner | QFile::ExeOwner);
        makeFolder(f.root + u"/prefix/dosdevices"_s);
        QVERIFY(QFile::link(u"/"_s, f.root + u"/prefix/dosdevices/z:"_s));
        wine.insert(u"PATH"_s, f.root + u"/bin:"_s + qEnvironmentVariable("PATH"));
        wine.insert(u"WINEPREFIX"_s, f.root + u"/prefix"_s);
    } else if (package == u"assets"_s) {
        // The game has a folder where the package has a file: that file cannot be copied.
        f.gameFile(u"Assets/DemoWorks/Wagons/Tank/TankWagon.txt/kept.txt"_s, "kept");
    }
    writeFile(f.root + u"/damaged.zip"_s, zipArchive({zipFile("Scenario.zzz", "x")}).left(40));
    writeFile(f.root + u"/out.zip"_s,
              zipArchive({zipFile("Veltrane.xxx", "x"), zipFile("../escaped.txt", "x")}));
    writeFile(f.root + u"/empty.zip"_s, zipArchive({zipFile("readme.txt", "x")}));
    // A journal of the game's own folder would name the game's files to remove.
    writeFile(f.root + u"/planted.zip"_s,
              zipArchive({zipFile("Veltrane.xxx", "x"),
                          zipFile("Rail Simulator/.veltrane/installs/1/journal",
                                  "veltrane-journal\t1\ncreate\tRailSim.exe\n")}));
    for (const QString& pipe : {u"/pipe.log"_s, u"/pipe.zip"_s})
        QVERIFY(::mkfifo(QFile::encodeName(f.root + pipe).constData(), 0600) == 0);
    writeFile(f.root + u"/route.zip"_s,
              zipOfFolder(QStringLiteral(VELTRANE_SOURCE_DIR "/examples/packages/route"), {}));
    const auto before = f.gameSnapshot();
    const QStringList namesBefore = entriesBelow(f.game);

    const Run run = runProgram(withFolders(arguments, f), wine);
    QVERIFY2(run.status == status, qPrintable(run.output));
    const QStringList lines = run.output.split(u'\n');
    QVERIFY2(std::any_of(lines.begin(), lines.end(),
                         [&](const QString& line) { return line.startsWith(shown); }),
             qPrintable(run.output));
    // Ended early or refused: the game is as it was, and nothing lies outside it.
    if (status >= 2) {
        QCOMPARE(f.gameSnapshot(), before);
        QCOMPARE(entriesBelow(f.game), namesBefore);
    }
    QVERIFY(!QFile::exists(f.root + u"/escaped.txt"_s));
    QCOMPARE(unpackLeftovers(f.game), QStringList());
    if (arguments.contains(u"{root}/copy.log"_s)) {
        const QStringList logs = f.logs();
        QCOMPARE(logs.size(), 1);
        QCOMPARE(QString::fromUtf8(readFile(f.root + u"/copy.log"_s)), logs.first());
    }
}

void TestCommandLine::zippedPackageInstallsAsItsFolder_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QByteArray>("top");
    QTest::addColumn<ArchiveFormat>("format");
    for (const QString& package : {u"route"_s, u"scenario"_s, u"assets"_s}) {
        QTest::addRow("%s", qPrintable(package)) << package << QByteArray() << ArchiveFormat::Zip;
        QTest::addRow("%s in a top folder", qPrintable(package))
            << package << QByteArray("My Pack") << ArchiveFormat::Zip;
        QTest::addRow("%s as 7z", qPrintable(package))
            << package << QByteArray("My Pack") << ArchiveFormat::SevenZip;
        QTest::addRow("%s as tar.gz", qPrintable(package))
            << package << QByteArray("My Pack") << ArchiveFormat::TarGz;
    }
}

void TestCommandLine::zippedPackageInstallsAsItsFolder()
{
    QFETCH(QString, package);
    QFETCH(QByteArray, top);
    QFETCH(ArchiveFormat, format);
    const QStringList yes{u"--no-window"_s, u"--yes"_s, u"--game"_s};

    InstallFixture fromFolder;
    fromFolder.layOutDemoGame();
    fromFolder.copyDemoPackage(package);
    QCOMPARE(runProgram(yes + QStringList{fromFolder.game, fromFolder.package}).status, 0);

    InstallFixture fromZip;
    fromZip.layOutDemoGame();
    const QString zip = fromZip.root + u"/"_s + package + archiveSuffix(format);
    writeFile(zip, format == ArchiveFormat::Zip ? zipOfFolder(fromFolder.package, top)
                                                : archiveOfFolder(fromFolder.package, top, format));
    const Run run = runProgram(yes + QStringList{fromZip.game, zip});
    QVERIFY2(run.status == 0, qPrintable(run.output));

    QCOMPARE(gameFiles(fromZip.game), gameFiles(fromFolder.game));
    QCOMPARE(unpackLeftovers(fromZip.game), QStringList());
}

void TestCommandLine::undoPutsTheGameBack_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("status");
    QTest::newRow("answered Yes") << true << 0;
    QTest::newRow("answered No") << false << 2;
}

void TestCommandLine::undoPutsTheGameBack()
{
    QFETCH(bool, yes);
    QFETCH(int, status);
    InstallFixture f;
    f.layOutDemoGame();
    f.copyDemoPackage(u"route"_s);
    const auto before = withoutCaches(f.gameSnapshot());
    QCOMPARE(runProgram({u"--no-window"_s, u"--yes"_s, u"--game"_s, f.game, f.package}).status, 0);
    const auto installed = f.gameSnapshot();

    QStringList arguments{u"--no-window"_s, u"--undo"_s, u"--game"_s, f.game};
    if (yes)
        arguments.append(u"--yes"_s);
    const Run run = runProgram(arguments);
    QVERIFY2(run.status == status, qPrintable(run.output));
    QVERIFY(run.output.contains(u"question: "_s));
    if (yes)
        QCOMPARE(withoutCaches(f.gameSnapshot()), before);
    else
        QCOMPARE(f.gameSnapshot(), installed);
}

void TestCommandLine::twoProgramsAtOnceLoseNothing()
{
    InstallFixture f;
    f.layOutDemoGame();
    f.copyDemoPackage(u"route"_s);
    const QString other = otherRoutePackage(f);
    const QList<QByteArray> routes{"8e4d2c1b-0a9f-4e3d-8c7b-6a5f4e3d2003",
                                   "00000000-0000-4000-8000-000000000077"};
    const auto before = withoutCaches(f.gameSnapshot());
    const QStringList install{u"--no-window"_s, u"--yes"_s, u"--game"_s, f.game};
    const QStringList undo{u"--no-window"_s, u"--undo"_s, u"--yes"_s, u"--game"_s, f.game};
    // One holds the game, the other says so and changes nothing: never a success for a route
    // that is missing, never an undo of half a game.
    const auto judge = [](const Run& run) {
        return run.status == 0 ||
               (run.status == 3 && run.output.contains(u"Another Veltrane (process "_s));
    };
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QList<Run> installs =
            runTogether(install + QStringList{f.package}, install + QStringList{other});
        const QByteArray list = readFile(f.game + u"/Content/Routes.xml"_s);
        for (int i = 0; i < 2; ++i) {
            QVERIFY2(judge(installs[i]), qPrintable(installs[i].output));
            QVERIFY2(installs[i].status != 0 || list.contains(routes[i]), list.constData());
        }
        for (const Run& run : runTogether(undo, undo))
            QVERIFY2(judge(run), qPrintable(run.output));
        for (int left = 0; left < 2; ++left)
            QCOMPARE(runProgram(undo).status, 0);
        QCOMPARE(withoutCaches(f.gameSnapshot()), before);
    }
}

void TestCommandLine::stopRequestTakesTheInstallBack_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("Ctrl-C") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

void TestCommandLine::stopRequestTakesTheInstallBack()
{
    QFETCH(int, signal);
    InstallFixture f;
    f.gameFile(u"Assets/Kuju/Coach.bin"_s, "the game's own");
    f.packageFile(u"Rail Simulator/Assets/Kuju/Coach.bin"_s, "the package's");
    // Enough files that the copy is still going when the request comes.
    for (int i = 0; i < 6000; ++i)
        f.packageFile(u"Rail Simulator/Assets/Many/%1/file%2.bin"_s.arg(i / 100).arg(i),
                      QByteArray(512, 'x'));
    const auto before = f.gameSnapshot();

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"QT_QPA_PLATFORM"_s);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(qEnvironmentVariable("VELTRANE_BUILD_DIR") + u"/bin/veltrane"_s,
                  {u"--no-window"_s, u"--yes"_s, u"--game"_s, f.game, f.package});
    QByteArray output;
    while (!output.contains("game: ") && process.waitForReadyRead(10'000))
        output += process.readAll();
    QThread::msleep(300);
    ::kill(pid_t(process.processId()), signal);
    QVERIFY(process.waitForFinished(60'000));
    output += process.readAll();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 2 &&
                 output.contains("message: The install has been cancelled. The game folder "),
             output.constData());
    QCOMPARE(f.gameSnapshot(), before);
}

void TestCommandLine::dryRunChangesNothing_data()
{
    QTest::addColumn<QString>("demo");
    // Where the package lies, below the temporary folder; an archive of it when it ends in
    // ".zip".
    QTest::addColumn<QString>("packageAt");
    // A path given to the game beforehand, or taken from it ("-" first), or given to the
    // package ("package/" first).
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines"); // the output holds lines that begin so

    const QStringList dryRun{u"--dry-run"_s, u"--game"_s, u"{game}"_s, u"{at}"_s};
    const QString route = u"Content/Routes/8e4d2c1b-0a9f-4e3d-8c7b-6a5f4e3d2003/"_s;
    const QString coaches = u"Kuju\\RailSimulator\\RailVehicles\\Coaches\\Mk2\\"_s;
    QTest::newRow("a route, a file of the game's replaced")
        << u"route"_s << u"package"_s << u"Assets/DemoWorks/Riverside/Scenery/Signalbox.txt"_s
        << dryRun << 0
        << QStringList{u"add "_s + route + u"RouteProperties.xml"_s,
                       u"add "_s + route + u"Networks/Tracks.txt"_s,
                       u"replace Assets/DemoWorks/Riverside/Scenery/Signalbox.txt (from the "
                       u"game's own file)"_s,
                       u"make folder "_s + route + u"Networks"_s,
                       u"add \"Riverside Branch\" (8e4d2c1b-0a9f-4e3d-8c7b-6a5f4e3d2003)"_s};
    QTest::newRow("a zipped scenario")
        << u"scenario"_s << u"scenario.zip"_s << QString() << dryRun << 0
        << QStringList{u"add Content/Routes/3f1c2a4e-7b6d-4c21-9a0e-5d8b7c6a1001/Scenarios/"
                       u"b7a6c5d4-e3f2-4a1b-9c8d-7e6f5a4b0301/ScenarioProperties.xml"_s,
                       u"add \"Evening Mail\" (b7a6c5d4-e3f2-4a1b-9c8d-7e6f5a4b0301)"_s,
                       u"keep the list as it was as Scenarios.bak"_s,
                       u"make "_s + coaches + u"Mk2_Coach_DO.bin from "_s + coaches +
                           u"Mk2_Coach.bin (crew and load variant, after a question)"_s,
                       u"missing Thirdparty\\DemoWorks\\Wagons\\Special_Tank.bin"_s};
    QTest::newRow("assets merged into other letter case, with a batch file")
        << u"assets"_s << u"package"_s << u"Assets/DemoWorks/Wagons/Tank/TankWagon.txt"_s << dryRun
        << 0
        << QStringList{u"add Assets/Kuju/RailSimulator/RailVehicles/Coaches/Mk2/Mk2_Livery.txt"_s,
                       u"replace Assets/DemoWorks/Wagons/Tank/TankWagon.txt (from the game's own "
                       u"file)"_s,
                       u"add RS-Install.bat"_s,
                       u"Batch file RS-Install.bat (from the package):"_s,
                       u"run by Veltrane's own interpreter, then removed"_s,
                       u"Space: "_s};
    QTest::newRow("a route whose list is missing")
        << u"route"_s << u"package"_s << u"-Content/Routes.xml"_s << dryRun << 2
        << QStringList{u"The install would stop before it changes anything: the file "_s};
    QTest::newRow("refused: no game folder")
        << u"route"_s << u"package"_s << QString()
        << QStringList{u"--dry-run"_s, u"--game"_s, u"{root}/nowhere"_s, u"{at}"_s} << 3
        << QStringList{u"error: "_s};
    QTest::newRow("refused: the package inside the game")
        << u"assets"_s << u"Rail Simulator/Assets/Pack"_s << QString() << dryRun << 3
        << QStringList{u"error: The package folder "_s};
    QTest::newRow("refused: the package brings the program's folder")
        << u"assets"_s << u"package"_s << u"package/Rail Simulator/.veltrane/installs/x"_s << dryRun
        << 3 << QStringList{u"error: The package package holds Rail Simulator/.veltrane"_s};
    QTest::newRow("refused: nothing to install") << QString() << u"package"_s << QString() << dryRun
                                                 << 3 << QStringList{u"error: The folder "_s};
    QTest::newRow("refused: with --undo")
        << QString() << u"package"_s << QString()
        << QStringList{u"--dry-run"_s, u"--undo"_s, u"--game"_s, u"{game}"_s} << 3
        << QStringList{u"error: Give one of --undo, --list, --uninstall and --dry-run."_s};
}

void TestCommandLine::dryRunChangesNothing()
{
    QFETCH(QString, demo);
    QFETCH(QString, packageAt);
    QFETCH(QString, setUp);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, lines);
    InstallFixture f;
    f.layOutDemoGame();
    const QString at = f.root + u'/' + packageAt;
    if (!demo.isEmpty())
        copyFolderInto(QStringLiteral(VELTRANE_SOURCE_DIR "/examples/packages/") + demo,
                       packageAt.endsWith(u".zip"_s) ? f.package : at);
    if (packageAt.endsWith(u".zip"_s))
        writeFile(at, zipOfFolder(f.package, {}));
    if (setUp.startsWith(u'-'))
        QVERIFY(QFile::remove(f.game + u'/' + setUp.mid(1)));
    else if (setUp.startsWith(u"package/"_s))
        writeFile(f.root + u'/' + setUp, "x");
    else if (!setUp.isEmpty())
        f.gameFile(setUp, "the game's");
    // Nothing below the temporary folder may change: not the game, not the package, not the
    // cache an archive is unpacked in.
    QProcessEnvironment cache;
    cache.insert(u"XDG_CACHE_HOME"_s, f.root + u"/cache"_s);
    const QStringList namesBefore = entriesBelow(f.root);
    const QMap<QString, QByteArray> filesBefore = snapshot(f.root);

    for (QString& argument : arguments)
        argument.replace(u"{at}"_s, at);
    const Run run = runProgram(withFolders(arguments, f), cache);
    QVERIFY2(run.status == status, qPrintable(run.output));
    const QStringList printed = run.output.split(u'\n');
    for (const QString& line : std::as_const(lines)) {
        QVERIFY2(std::any_of(printed.begin(), printed.end(),
                             [&](const QString& shown) { return shown.startsWith(line); }),
                 qPrintable(line + u"\n---\n"_s + run.output));
    }
    QCOMPARE(entriesBelow(f.root), namesBefore);
    QCOMPARE(snapshot(f.root), filesBefore);
    QCOMPARE(f.logs(), QStringList());
}

void TestCommandLine::installsAreListedAndTakenBackOneByOne()
{
    InstallFixture f;
    f.layOutDemoGame();
    f.gameFile(u"Assets/Tiny/Game3.txt"_s, "the game's");
    const Run none = runProgram({u"--list"_s, u"--game"_s, f.game});
    QVERIFY2(none.status == 0 && none.output.isEmpty(), qPrintable(none.output));
    // Twelve packages of a file each; the third replaces a file of the game's, the last two
    // both bring one file.
    QStringList names;
    for (int i = 1; i <= 12; ++i) {
        names.prepend(u"tiny%1"_s.arg(i, 2, 10, QChar(u'0')));
        QMap<QString, QByteArray> files{{u"Assets/Tiny/P%1.txt"_s.arg(i), QByteArray::number(i)}};
        if (i == 3)
            files.insert(u"Assets/Tiny/Game3.txt"_s, "package 3");
        if (i >= 11)
            files.insert(u"Assets/Tiny/Shared.txt"_s, QByteArray::number(i));
        const Run run =
            runProgram({u"--no-window"_s, u"--yes"_s, u"--log"_s, f.root + u"/last.log"_s,
                        u"--game"_s, f.game, assetsPackage(f, names.first(), files)});
        QVERIFY2(run.status == 0, qPrintable(run.output));
    }
    // The log names whose file an install replaced.
    const QString shared = QDir::toNativeSeparators(f.game + u"/Assets/Tiny/Shared.txt"_s);
    QVERIFY(QString::fromUtf8(readFile(f.root + u"/last.log"_s))
                .contains(u"replaced "_s + shared + u" (from tiny11)"_s));
    auto expected = withoutCaches(f.gameSnapshot());
    // So does the plan of the next one, before anything changes.
    const Run plan = runProgram({u"--dry-run"_s, u"--game"_s, f.game,
                                 assetsPackage(f, u"next"_s,
                                               {{u"Assets/Tiny/Shared.txt"_s, "next"},
                                                {u"Assets/Tiny/Game3.txt"_s, "next"},
                                                {u"Assets/Tiny/New.txt"_s, "next"}})});
    QVERIFY2(plan.status == 0, qPrintable(plan.output));
    for (const QString& line : {u"replace Assets/Tiny/Shared.txt (from tiny12, install 12)"_s,
                                u"replace Assets/Tiny/Game3.txt (from tiny03, install 3)"_s,
                                u"add Assets/Tiny/New.txt"_s})
        QVERIFY2(plan.output.split(u'\n').contains(line), qPrintable(plan.output));
    QCOMPARE(withoutCaches(f.gameSnapshot()), expected);

    const QList<QStringList> rows = listed(f);
    QCOMPARE(rows.size(), 12);
    QCOMPARE(column(rows, 0).first(), u"12"_s);
    QCOMPARE(column(rows, 0).last(), u"1"_s);
    QCOMPARE(column(rows, 2), QStringList(12, u"assets"_s));
    QCOMPARE(column(rows, 3), names);
    QCOMPARE(rows[9][4], u"2"_s);
    QCOMPARE(column(rows, 5), QStringList(12, u"installed"_s));
    const QDateTime time = QDateTime::fromString(rows[0][1], Qt::ISODate);
    QVERIFY2(time.isValid() && time.timeSpec() == Qt::UTC, qPrintable(rows[0][1]));

    // An older install whose files no later one changed goes alone: the game is as if it had
    // never been installed.
    const QStringList uninstall{u"--no-window"_s, u"--game"_s, f.game, u"--uninstall"_s};
    const Run alone = runProgram(uninstall + QStringList{u"3"_s});
    QVERIFY2(alone.status == 0 && !alone.output.contains(u"question:"_s), qPrintable(alone.output));
    expected.remove(u"Assets/Tiny/P3.txt"_s);
    expected.insert(u"Assets/Tiny/Game3.txt"_s, "the game's");
    QCOMPARE(withoutCaches(f.gameSnapshot()), expected);

    // One whose file a later install changed: that one is named, and both go after a Yes.
    const Run no = runProgram(uninstall + QStringList{u"11"_s});
    QVERIFY2(no.status == 2 && no.output.contains(u"12: tiny12"_s), qPrintable(no.output));
    QCOMPARE(withoutCaches(f.gameSnapshot()), expected);
    const Run yes = runProgram(uninstall + QStringList{u"11"_s, u"--yes"_s});
    QVERIFY2(yes.status == 0, qPrintable(yes.output));
    for (const QString& gone : {u"P11"_s, u"P12"_s, u"Shared"_s})
        expected.remove(u"Assets/Tiny/"_s + gone + u".txt"_s);
    QCOMPARE(withoutCaches(f.gameSnapshot()), expected);

    QStringList states(12, u"installed"_s);
    for (const int taken : {0, 1, 9})
        states[taken] = u"taken back"_s;
    QCOMPARE(column(listed(f), 5), states);
    for (const QString& id : {u"3"_s, u"99"_s}) {
        const Run refused = runProgram(uninstall + QStringList{id});
        QVERIFY2(refused.status == 3, qPrintable(refused.output));
    }
    QCOMPARE(withoutCaches(f.gameSnapshot()), expected);
}

void TestCommandLine::uninstallRefusedChangesNothing_data()
{
    QTest::addColumn<QString>("why");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("told");
    QTest::newRow("kept copies dropped past the budget")
        << u"budget"_s << u"1"_s << u"can no longer be undone"_s;
    QTest::newRow("a game another program holds")
        << u"lock"_s << u"1"_s << u"Another Veltrane (process "_s;
    QTest::newRow("a number that is no number") << QString() << u"first"_s << u"error: "_s;
}

void TestCommandLine::uninstallRefusedChangesNothing()
{
    QFETCH(QString, why);
    QFETCH(QString, id);
    QFETCH(QString, told);
    InstallFixture f;
    f.layOutDemoGame();
    // Each replaces a file of the game's: its kept copy costs a block.
    QProcessEnvironment budget;
    if (why == u"budget"_s)
        budget.insert(QString::fromLatin1("VELTRANE_KEPT_COPIES_BUDGET"), u"1"_s);
    for (int i = 1; i <= 3; ++i) {
        const QString file = u"Assets/Tiny/Game%1.txt"_s.arg(i);
        f.gameFile(file, "the game's");
        const Run run = runProgram({u"--no-window"_s, u"--game"_s, f.game,
                                    assetsPackage(f, u"tiny%1"_s.arg(i), {{file, "new"}})},
                                   budget);
        QVERIFY2(run.status == 0, qPrintable(run.output));
    }
    // Never the copies of the install just made.
    QCOMPARE(column(listed(f), 5), why == u"budget"_s
                                       ? (QStringList{u"installed"_s, u"installed, not undoable"_s,
                                                      u"installed, not undoable"_s})
                                       : QStringList(3, u"installed"_s));
    if (why == u"lock"_s) {
        writeFile(f.game + u"/.veltrane/lock"_s,
                  QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                      QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() +
                      '\n' + QSysInfo::machineHostName().toUtf8() + '\n');
    }
    const auto before = f.gameSnapshot();
    const QStringList namesBefore = entriesBelow(f.game);

    const Run run =
        runProgram({u"--no-window"_s, u"--yes"_s, u"--game"_s, f.game, u"--uninstall"_s, id});
    QVERIFY2(run.status == 3 && run.output.contains(told), qPrintable(run.output));
    QCOMPARE(f.gameSnapshot(), before);
    QCOMPARE(entriesBelow(f.game), namesBefore);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
