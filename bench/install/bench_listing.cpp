// The listings of the game taken around a batch file run by Wine's cmd: one walk before, one
// after and their difference, and one listing alone, against `find -printf` of the size and time of
// every entry of the same tree in the same run (one walk with one look at each entry, as a listing
// takes). The tree is the install benchmarks' package tree of 20,000 files in 2,000 folders.
//
//   bench_listing [files]     files in the tree, default 20000 (VELTRANE_BENCH_FILES)

#include "BenchTiming.h"
#include "BenchTree.h"
#include "tree/TreeListing.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace veltrane;
using namespace veltrane::bench;

namespace {

constexpr int kRuns = 5;

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int files = int(BenchTree::fileCount(argc, argv));
    QTemporaryDir dir;
    const QString tree = dir.path() + u"/game"_s;
    // The contents do not matter to a listing; small large files keep the set-up quick.
    if (!dir.isValid() || !BenchTree::makePackage(tree, files, 1024)) {
        std::fprintf(stderr, "cannot make the tree\n");
        return 1;
    }
    BenchTree::flushToDisk();
    const HostPath root = HostPath::fromHost(tree);

    const double baseline = bestMs(kRuns, [&] {
        QProcess find;
        find.setStandardOutputFile(QProcess::nullDevice());
        find.start(u"find"_s, {tree, u"-printf"_s, u"%P %s %T@\\n"_s});
        find.waitForFinished(-1);
    });
    const double oneListing =
        bestMs(kRuns, [&] { (void)TreeListing::of(root, u".veltrane"_s).size(); });
    qsizetype entries = 0;
    qsizetype differences = 0;
    const double measured = bestMs(kRuns, [&] {
        const TreeListing before = TreeListing::of(root, u".veltrane"_s);
        const TreeListing::Difference difference =
            before.changesTo(TreeListing::of(root, u".veltrane"_s));
        entries = before.size();
        differences =
            difference.made.size() + difference.changed.size() + difference.removed.size();
    });
    if (differences != 0) {
        std::fprintf(stderr, "an unchanged tree showed %lld differences\n",
                     static_cast<long long>(differences));
        return 1;
    }
    std::printf("(%lld entries listed twice and compared)\n", static_cast<long long>(entries));
    report(u"one_listing_%1_files_against_find_printf"_s.arg(files), baseline, oneListing, 1.5);
    report(u"listings_around_a_wine_run_%1_files_against_find_printf"_s.arg(files), baseline,
           measured, 3);
    return 0;
}
