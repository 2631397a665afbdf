// The blueprint caches cleared by an install, against `find Assets -iname blueprints.pak
// -delete` on the same tree in the same run: a one-file asset package installed into a game
// whose Assets folder holds 200,000 files in 20,000 folders, 2,000 of them caches in mixed
// letter case. Measured without Wine on the search path and with it (the prefix that
// scripts/bench.sh prepares), the install from its start to its final message.
//
//   bench_caches [files]            files in the Assets tree, default 200000 (10 per folder)
//   VELTRANE_BENCH_CACHE_FILES      the same as the argument
//   VELTRANE_BENCH_WINE_DIR         the folder tests/wine/prepare-prefix.sh prepared; without
//                                   it the run with Wine is left out, and says so

#include "BenchTiming.h"
#include "BenchUserInterface.h"
#include "install/InstallOperation.h"
#include "util/AppState.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <limits>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::bench;

namespace {

constexpr int kFilesPerFolder = 10;
constexpr int kFoldersPerCache = 10;
constexpr int kRounds = 3;
const char* const kCacheNames[] = {"Blueprints.PAK", "blueprints.pak", "BLUEPRINTS.PAK",
                                   "BluePrints.pak"};

QString folderOf(int folder)
{
    return u"Assets/Provider%1/Product%2/Folder%3"_s.arg(folder / 1000, 2, 10, QChar(u'0'))
        .arg(folder / 20, 4, 10, QChar(u'0'))
        .arg(folder, 5, 10, QChar(u'0'));
}

QString cacheOf(int folder)
{
    return folderOf(folder) + u'/' +
           QLatin1StringView(kCacheNames[(folder / kFoldersPerCache) % std::size(kCacheNames)]);
}

bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

bool makeGame(const QString& game, int folders)
{
    for (int folder = 0; folder < folders; ++folder) {
        const QString path = game + u'/' + folderOf(folder);
        if (!QDir().mkpath(path))
            return false;
        const bool cache = folder % kFoldersPerCache == 0;
        for (int file = cache ? 1 : 0; file < kFilesPerFolder; ++file) {
            if (!touch(path + u"/File"_s + QString::number(file) + u".bin"_s))
                return false;
        }
    }
    return QDir().mkpath(game + u"/Content"_s);
}

bool layCaches(const QString& game, int folders)
{
    for (int folder = 0; folder < folders; folder += kFoldersPerCache) {
        if (!touch(game + u'/' + cacheOf(folder)))
            return false;
    }
    return true;
}

int cachesLeft(const QString& game, int folders)
{
    int left = 0;
    for (int folder = 0; folder < folders; folder += kFoldersPerCache)
        left += QFile::exists(game + u'/' + cacheOf(folder)) ? 1 : 0;
    return left;
}

// The final message is the install's own; any other message means the measured work failed.
class QuietUserInterface : public BenchUserInterface {
public:
    void showMessage(const QString& text, Icon icon) override
    {
        if (text != u"Your package has been installed."_s)
            BenchUserInterface::showMessage(text, icon);
    }
};

struct Setting {
    const char* name;
    QByteArray path;
    QByteArray prefix;
    double best = std::numeric_limits<double>::max();
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    qint64 files = envNumber("VELTRANE_BENCH_CACHE_FILES", 200000);
    if (argc > 1 && QByteArray(argv[1]).toLongLong() > 0)
        files = QByteArray(argv[1]).toLongLong();
    const int folders = int(qMax<qint64>(files / kFilesPerFolder, kFoldersPerCache));

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString game = dir.path() + u"/Rail Simulator"_s;
    const QString package = dir.path() + u"/package"_s;
    std::printf("# cache clearing: %d files in %d folders, %d caches; a one-file asset package "
                "installed, from its start to its final message; wall time\n",
                folders * kFilesPerFolder, folders, folders / kFoldersPerCache);
    if (!makeGame(game, folders) || !QDir().mkpath(package + u"/Rail Simulator/Assets/Demo"_s) ||
        !touch(package + u"/Rail Simulator/Assets/Demo/One.bin"_s)) {
        std::printf("cache clearing: cannot make the game folder\n");
        return 1;
    }

    const QByteArray empty = QFile::encodeName(dir.path() + u"/no-programs"_s);
    QDir().mkpath(dir.path() + u"/no-programs"_s);
    QList<Setting> settings{{"cache_clearing_%1_files_against_find_delete", empty,
                             QFile::encodeName(dir.path() + u"/no-prefix"_s)}};
    const QString wineDir = qEnvironmentVariable("VELTRANE_BENCH_WINE_DIR");
    QFile status(wineDir + u"/status"_s);
    if (!wineDir.isEmpty() && status.open(QIODevice::ReadOnly) &&
        status.readAll().trimmed() == "ready") {
        settings.append({"cache_clearing_with_wine_on_path_%1_files_against_find_delete",
                         QFile::encodeName(wineDir + u"/bin"_s),
                         QFile::encodeName(wineDir + u"/prefix"_s)});
    } else {
        std::fprintf(stderr, "cache clearing with Wine on the search path left out: set "
                             "VELTRANE_BENCH_WINE_DIR to a prefix prepared by "
                             "tests/wine/prepare-prefix.sh (scripts/bench.sh does)\n");
    }
    qputenv("WINEDEBUG", "-all");

    // Found before the runs change the search path.
    const QString find = QStandardPaths::findExecutable(u"find"_s);
    double findBest = std::numeric_limits<double>::max();
    long rssBefore = 0;
    bool failed = false;
    for (int round = 0; round < kRounds && !failed; ++round) {
        // find first in one round, last in the next, so that neither always meets the
        // other's work still on its way to the disk.
        const auto runFind = [&] {
            if (!layCaches(game, folders)) {
                failed = true;
                return;
            }
            int exit = 0;
            findBest = qMin(findBest, timeMs([&] {
                                exit = QProcess::execute(find, {game + u"/Assets"_s, u"-iname"_s,
                                                                u"blueprints.pak"_s, u"-delete"_s});
                            }));
            failed = failed || exit != 0 || cachesLeft(game, folders) != 0;
        };
        if (round % 2 == 0)
            runFind();
        for (Setting& setting : settings) {
            if (!layCaches(game, folders)) {
                failed = true;
                break;
            }
            qputenv("PATH", setting.path);
            qputenv("WINEPREFIX", setting.prefix);
            if (rssBefore == 0)
                rssBefore = peakRssKb();
            QuietUserInterface ui;
            AppState state;
            InstallRequest request =
                InstallRequest::forFolder(HostPath::fromHost(package), PackageKind::Assets);
            request.setGame(game);
            InstallOperation operation(state, ui, std::move(request));
            InstallOperation::Outcome outcome{};
            setting.best = qMin(setting.best, timeMs([&] { outcome = operation.run(); }));
            if (outcome != InstallOperation::Outcome::Completed || cachesLeft(game, folders) != 0) {
                std::printf("cache clearing (%s): the install did not clear every cache\n",
                            setting.name);
                failed = true;
            }
        }
        if (round % 2 == 1)
            runFind();
    }
    if (failed) {
        std::printf("cache clearing: a run failed, so there are no figures\n");
        return 1;
    }
    for (const Setting& setting : settings)
        report(QString::fromLatin1(setting.name).arg(folders * kFilesPerFolder), findBest,
               setting.best, 1.5);
    std::printf("cache_clearing_peak_rss: %ld KiB before the installs, %ld KiB after (+%ld KiB)\n",
                rssBefore, peakRssKb(), peakRssKb() - rssBefore);
    return 0;
}
