// Installing a zipped package: unpacking it beside the game and moving its files into place,
// against bsdtar -xf of the same archive into an empty folder and cp -r of the result into
// the game, in the same run.
//
//   bench_archive [files]        files in the package, default 20000 (10 per folder)
//   VELTRANE_BENCH_FILES         the same as the argument
//   VELTRANE_BENCH_BIG_MB        size of each of the four large files, default 50

#include "BenchTiming.h"
#include "BenchTree.h"
#include "BenchUserInterface.h"
#include "journal/FileChanges.h"
#include "package/PackageArchive.h"
#include "tree/FolderMove.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <archive.h>
#include <archive_entry.h>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::bench;
using namespace veltrane::bench::BenchTree;

namespace {

constexpr qint64 kPiece = 1 << 20;

// The package as a zip program writes it, deflated, every file in "Rail Simulator", each
// one marked with its number.
bool makeArchive(const QString& path, int files, qint64 bigBytes)
{
    archive* zip = archive_write_new();
    bool written =
        archive_write_set_format_zip(zip) == ARCHIVE_OK &&
        archive_write_open_filename(zip, QFile::encodeName(path).constData()) == ARCHIVE_OK;
    QByteArray piece(kPiece, '\0');
    for (qsizetype at = 0; at < piece.size(); ++at)
        piece[at] = char('a' + (at * 31 + at / 97) % 23);
    for (int i = 0; i < files && written; ++i) {
        const qint64 size = sizeOf(i, files, bigBytes);
        const QByteArray mark = QByteArray::number(i);
        piece.replace(0, mark.size(), mark);
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry,
                                   (u"Rail Simulator/"_s + relativeFile(i)).toUtf8().constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, size);
        written = archive_write_header(zip, entry) == ARCHIVE_OK;
        for (qint64 left = size; left > 0 && written; left -= kPiece) {
            const qint64 now = qMin(left, kPiece);
            written = archive_write_data(zip, piece.constData(), size_t(now)) == now;
        }
        archive_entry_free(entry);
    }
    written = archive_write_close(zip) == ARCHIVE_OK && written;
    archive_write_free(zip);
    return written;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 files = fileCount(argc, argv);
    const qint64 bigBytes = bigFileBytes();
    const QString bsdtar = QStandardPaths::findExecutable(u"bsdtar"_s);
    if (bsdtar.isEmpty()) {
        std::printf("unzip: bsdtar is not installed (libarchive-tools), so there is no "
                    "baseline\n");
        return 1;
    }

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString root = dir.path();
    std::printf("# unzip: %lld files in %lld folders, %d of %lld MB, deflated, into a game "
                "folder holding half of them; wall time\n",
                static_cast<long long>(files), static_cast<long long>(files / kFilesPerFolder),
                kBigFiles, static_cast<long long>(bigBytes >> 20));
    const QString zip = root + u"/package.zip"_s;
    if (!makeArchive(zip, int(files), bigBytes)) {
        std::printf("unzip: cannot make the archive\n");
        return 1;
    }
    std::printf("# the archive: %lld MB\n", static_cast<long long>(QFile(zip).size() >> 20));

    BenchUserInterface ui;
    double baselineBest = 0;
    double oursBest = 0;
    long rssBefore = 0;
    long rssAfter = 0;
    // Two rounds in opposite order, so that neither side always meets the other's
    // unflushed writes.
    for (int round = 0; round < 2; ++round) {
        const QString extracted = root + u"/extracted"_s;
        const QString theirGame = root + u"/their-game/Rail Simulator"_s;
        const QString ourGame = root + u"/our-game/Rail Simulator"_s;
        QDir().mkpath(extracted);
        if (!makeGame(theirGame, int(files), bigBytes) ||
            !makeGame(ourGame, int(files), bigBytes)) {
            std::printf("unzip: cannot make the game folders\n");
            return 1;
        }
        flushToDisk();
        bool baselineFailed = false;
        const auto runBaseline = [&] {
            const double ms = timeMs([&] {
                baselineFailed =
                    QProcess::execute(bsdtar, {u"-xf"_s, zip, u"-C"_s, extracted}) != 0 ||
                    QProcess::execute(
                        u"cp"_s, {u"-r"_s, extracted + u"/Rail Simulator/."_s, theirGame}) != 0;
            });
            baselineBest = baselineBest == 0 ? ms : qMin(baselineBest, ms);
            flushToDisk();
        };
        bool oursFailed = false;
        const auto runOurs = [&] {
            if (rssBefore == 0)
                rssBefore = peakRssKb();
            const double ms = timeMs([&] {
                try {
                    PackageArchive archive(HostPath::fromHost(zip));
                    archive.unpack(HostPath::fromHost(ourGame).parent());
                    FileChanges files;
                    FolderMove(ui, files).moveFolder(
                        archive.packageRoot().child(u"Rail Simulator"_s),
                        HostPath::fromHost(ourGame), true);
                } catch (const FileError& error) {
                    std::printf("unzip: %s\n", qPrintable(error.description()));
                    oursFailed = true;
                }
            });
            rssAfter = peakRssKb();
            oursBest = oursBest == 0 ? ms : qMin(oursBest, ms);
            flushToDisk();
        };
        if (round == 0) {
            runBaseline();
            runOurs();
        } else {
            runOurs();
            runBaseline();
        }
        if (baselineFailed || oursFailed) {
            std::printf("unzip: %s failed\n", baselineFailed ? "bsdtar or cp" : "the install");
            return 1;
        }
        QDir(extracted).removeRecursively();
        QDir(root + u"/their-game"_s).removeRecursively();
        QDir(root + u"/our-game"_s).removeRecursively();
    }
    report(u"unzip_install_%1_files_against_bsdtar_and_cp_r"_s.arg(files), baselineBest, oursBest,
           1.0);
    std::printf("unzip_peak_rss: %ld KiB before the installs, %ld KiB after (+%ld KiB; the "
                "largest entry holds %lld KiB)\n",
                rssBefore, rssAfter, rssAfter - rssBefore, static_cast<long long>(bigBytes >> 10));
    return 0;
}
