#pragma once

#include <QString>

namespace veltrane::bench {

// The package tree the install benchmarks share: ten files to a folder, 1 to 16 KiB each,
// with four large ones spread through it, and a game folder that holds every second file
// of it already.
namespace BenchTree {

constexpr int kFilesPerFolder = 10;
constexpr int kBigFiles = 4;

// How many files: the first argument, else VELTRANE_BENCH_FILES, else 20,000; never fewer
// than a folder for each large file.
qint64 fileCount(int argc, char* argv[]);
// The size of each large file: VELTRANE_BENCH_BIG_MB, else 50 MB.
qint64 bigFileBytes();

// The i-th file's path below the tree's root, "/" separated.
QString relativeFile(int i);
qint64 sizeOf(int i, int files, qint64 bigBytes);

// Writes size bytes of fill in pieces, so that making the tree does not raise the peak memory
// measured around the work.
bool writeBytes(const QString& path, qint64 size, char fill);
// The package's files below source.
bool makePackage(const QString& source, int files, qint64 bigBytes);
// Every second file of the package, with other bytes, below game.
bool makeGame(const QString& game, int files, qint64 bigBytes);

// Puts what was written on the disk, so that neither side of a measurement pays for the
// other's writes.
void flushToDisk();

} // namespace BenchTree

} // namespace veltrane::bench
