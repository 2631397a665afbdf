// The install's copy of a package tree, its journal and inventory kept, against cp -r; the plan
// of that install against the copy; the undo of that copy against cp -r of the files it
// replaced; and the route list splice against reading and writing the same list once.
//
//   bench_install [files]        files in the package tree, default 20000 (10 per folder)
//   VELTRANE_BENCH_FILES         the same as the argument
//   VELTRANE_BENCH_BIG_MB        size of each of the four large files, default 50

#include "BenchTiming.h"
#include "BenchTree.h"
#include "BenchUserInterface.h"
#include "install/InstallPlanner.h"
#include "journal/ChangeJournal.h"
#include "journal/FileChanges.h"
#include "journal/InstallHistory.h"
#include "journal/InstallTransaction.h"
#include "journal/Inventory.h"
#include "journal/JournalReplay.h"
#include "journal/TextFileWriter.h"
#include "lists/RouteListSplice.h"
#include "tree/FolderCopy.h"
#include "util/InstallLog.h"
#include "util/TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::bench;
using namespace veltrane::bench::BenchTree;

namespace {

// The plan of the package's install into the game, made as the install makes it before its
// copy: wall time.
double planMs(const QString& package, const QString& game, int files)
{
    InstallRequest request =
        InstallRequest::forFolder(HostPath::fromProgramPath(package), PackageKind::Assets);
    request.setGame(game);
    qsizetype planned = 0;
    const double ms = timeMs([&] { planned = InstallPlanner::make(request).files.size(); });
    if (planned != files)
        std::printf("plan: %lld files planned of %d\n", static_cast<long long>(planned), files);
    return ms;
}

// cp -r of the package's tree into the game, then what an undo without a journal would do:
// the replaced files copied back over. Wall times, each flushed to the disk after.
std::pair<double, double> cpBaselines(const QString& source, const QString& original,
                                      const QString& game, bool& failed)
{
    const double copy = timeMs([&] {
        failed = QProcess::execute(u"cp"_s, {u"-r"_s, source + u"/."_s, game}) != 0;
    });
    flushToDisk();
    const double back = timeMs([&] {
        failed = failed || QProcess::execute(u"cp"_s, {u"-r"_s, original + u"/."_s, game}) != 0;
    });
    flushToDisk();
    return {copy, back};
}

void copyBenchmark(const QString& root, int files, qint64 bigBytes)
{
    std::printf("# copy: %d files in %d folders, %d of %lld MB, into a game folder holding half "
                "of them, the install's journal and inventory kept; plan: what that install will "
                "do, worked out before it, against the copy; undo: the same install taken back, "
                "against cp -r of the files it replaced; wall time\n",
                files, files / kFilesPerFolder, kBigFiles, static_cast<long long>(bigBytes >> 20));
    const QString source = root + u"/package/Rail Simulator"_s;
    const QString original = root + u"/original"_s;
    if (!makePackage(source, files, bigBytes) || !makeGame(original, files, bigBytes)) {
        std::printf("copy: cannot make the package tree\n");
        return;
    }
    BenchUserInterface ui;
    double cpBest = 0;
    double oursBest = 0;
    double cpBackBest = 0;
    double undoBest = 0;
    double planBest = 0;
    bool undoWhole = true;
    bool inventoryWritten = true;
    long rssBefore = 0;
    long rssAfter = 0;
    const auto best = [](double& slot, double ms) { slot = slot == 0 ? ms : qMin(slot, ms); };
    // Two rounds in opposite order, so that neither side always meets the other's
    // unflushed writes.
    for (int round = 0; round < 2; ++round) {
        const QString cpGame = root + u"/cp-game"_s;
        const QString ourGame = root + u"/our-game"_s;
        const HostPath game = HostPath::fromProgramPath(ourGame);
        if (!makeGame(cpGame, files, bigBytes) || !makeGame(ourGame, files, bigBytes)) {
            std::printf("copy: cannot make the game folders\n");
            return;
        }
        flushToDisk();
        bool cpFailed = false;
        const auto runCp = [&] {
            const auto [copy, back] = cpBaselines(source, original, cpGame, cpFailed);
            best(cpBest, copy);
            best(cpBackBest, back);
        };
        const auto runOurs = [&] {
            best(planBest, planMs(root + u"/package"_s, ourGame, files));
            if (rssBefore == 0)
                rssBefore = peakRssKb();
            best(oursBest, timeMs([&] {
                     // As an install runs it: confined, journaled, logged, the owner of
                     // each replaced file asked, and its end written to the inventory.
                     const HostPath package = HostPath::fromProgramPath(source);
                     InstallLog log(u"install"_s);
                     InstallTransaction transaction(log, {game, package});
                     Inventory inventory = Inventory::open(game, ui);
                     transaction.keepJournal(
                         game, InstallHistory(game).newJournal(),
                         ChangeJournal::Header{u"bench"_s, u"assets"_s, inventory.nextId()});
                     transaction.journal()->setOwnerLookup(inventory.ownerLookup());
                     FolderCopy(ui, transaction.files()).copyFolder(package, game, true);
                     inventoryWritten =
                         inventory.recordEnd(*transaction.journal(), u"completed"_s).ok() &&
                         inventoryWritten;
                 }));
            rssAfter = peakRssKb();
            flushToDisk();
            best(undoBest, timeMs([&] {
                     const auto installs = InstallHistory(game).installs();
                     InstallLog log(u"undo"_s);
                     InstallTransaction transaction(log, {game});
                     const auto result =
                         JournalReplay(ui, transaction.files(), game).undo(installs.first(), true);
                     undoWhole = undoWhole && result.failed.isEmpty() && result.kept.isEmpty();
                 }));
            flushToDisk();
        };
        if (round == 0) {
            runCp();
            runOurs();
        } else {
            runOurs();
            runCp();
        }
        if (cpFailed) {
            std::printf("copy: cp -r failed, so there is no baseline\n");
            return;
        }
        QDir(cpGame).removeRecursively();
        QDir(ourGame).removeRecursively();
    }
    if (!undoWhole)
        std::printf("undo: some files were not put back\n");
    if (!inventoryWritten)
        std::printf("copy: the inventory could not be written\n");
    report(u"copydir_%1_files_with_journal_against_cp_r"_s.arg(files), cpBest, oursBest, 1.25);
    report(u"undo_%1_files_against_cp_r_of_replaced"_s.arg(files), cpBackBest, undoBest, 1.5);
    report(u"plan_%1_files_against_its_install_copy"_s.arg(files), oursBest, planBest, 0.5);
    std::printf("copydir_peak_rss: %ld KiB before the copies, %ld KiB after (+%ld KiB)\n",
                rssBefore, rssAfter, rssAfter - rssBefore);
    QDir(root + u"/package"_s).removeRecursively();
    QDir(original).removeRecursively();
}

QString routeRecord(int i, const QString& name)
{
    const QString id = u"%1-4f1e-9a2b-7c3d-00c0ffee%2"_s.arg(i, 8, 10, QChar(u'0'))
                           .arg(i % 10000, 4, 10, QChar(u'0'));
    return u"\t\t<cRouteProperties d:id=\"%1\">\r\n"
           u"\t\t\t<ID>\r\n\t\t\t\t<cGUID>\r\n\t\t\t\t\t<UUID>\r\n"
           u"\t\t\t\t\t\t<e d:type=\"sUInt64\">%2</e>\r\n\t\t\t\t\t</UUID>\r\n"
           u"\t\t\t\t\t<DevString d:type=\"cDeltaString\">%3</DevString>\r\n"
           u"\t\t\t\t</cGUID>\r\n\t\t\t</ID>\r\n"
           u"\t\t\t<DisplayName>\r\n\t\t\t\t<Localisation-cUserLocalisedString>\r\n"
           u"\t\t\t\t\t<English d:type=\"cDeltaString\">%4</English>\r\n"
           u"\t\t\t\t\t<French d:type=\"cDeltaString\"></French>\r\n"
           u"\t\t\t\t</Localisation-cUserLocalisedString>\r\n\t\t\t</DisplayName>\r\n"
           u"\t\t\t<IsTrainSimRoute d:type=\"bool\">1</IsTrainSimRoute>\r\n"
           u"\t\t</cRouteProperties>\r\n"_s.arg(100000 + i)
               .arg(quint64(i) * 2654435761u)
               .arg(id, name);
}

void spliceBenchmark(const QString& root)
{
    const int records = int(envNumber("VELTRANE_BENCH_ROUTES", 10000));
    BenchUserInterface ui;
    FileChanges files;
    QString list =
        u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<cRouteList>\r\n\t<Record>\r\n"_s;
    for (int i = 0; i < records; ++i)
        list += routeRecord(i, u"Route %1"_s.arg(i));
    list += u"\t</Record>\r\n</cRouteList>\r\n"_s;
    const QString listPath = root + u"/Routes.xml"_s;
    const QString outPath = root + u"/Routes.new.xml"_s;
    static_cast<void>(writeTextFile(files, ui, HostPath::fromProgramPath(listPath), list));

    const auto readAndWrite = [&] {
        QString text;
        readTextFile(ui, HostPath::fromProgramPath(listPath), text);
        static_cast<void>(writeTextFile(files, ui, HostPath::fromProgramPath(outPath), text));
    };
    const struct {
        const char* name;
        QString marker;
    } cases[] = {
        {"route_splice_replace", routeRecord(records / 2, u"Riverside Branch"_s)},
        {"route_splice_append", routeRecord(records + 1, u"New Line"_s)},
    };
    for (const auto& c : cases) {
        const QString markerPath = root + u"/Veltrane.xxx"_s;
        static_cast<void>(
            writeTextFile(files, ui, HostPath::fromProgramPath(markerPath), c.marker));
        bool spliced = true;
        const auto [baseline, measured] = bestCpuMsInTurn(30, readAndWrite, [&] {
            QString marker;
            QString text;
            readTextFile(ui, HostPath::fromProgramPath(markerPath), marker);
            const auto name = RouteListSplice::routeName(marker);
            const auto id = RouteListSplice::routeIdentifier(marker);
            readTextFile(ui, HostPath::fromProgramPath(listPath), text);
            const auto result = RouteListSplice::splice(text, marker, id.valueOr({}));
            spliced = spliced && name.ok() && id.ok() && result.ok();
            static_cast<void>(
                writeTextFile(files, ui, HostPath::fromProgramPath(outPath), result.valueOr({})));
        });
        if (!spliced)
            std::printf("%s: the splice failed\n", c.name);
        report(u"%1_%2_records"_s.arg(QString::fromLatin1(c.name)).arg(records), baseline, measured,
               2);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 files = fileCount(argc, argv);
    const qint64 bigBytes = bigFileBytes();

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    spliceBenchmark(dir.path());
    copyBenchmark(dir.path(), int(files), bigBytes);
    return 0;
}
