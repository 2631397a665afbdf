#include "BenchTree.h"

#include "BenchTiming.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace veltrane::bench {

qint64 BenchTree::fileCount(int argc, char* argv[])
{
    qint64 files = envNumber("VELTRANE_BENCH_FILES", 20000);
    if (argc > 1 && QByteArray(argv[1]).toLongLong() > 0)
        files = QByteArray(argv[1]).toLongLong();
    return qMax<qint64>(files, kFilesPerFolder * kBigFiles);
}

qint64 BenchTree::bigFileBytes()
{
    return envNumber("VELTRANE_BENCH_BIG_MB", 50) << 20;
}

QString BenchTree::relativeFile(int i)
{
    const int folder = i / kFilesPerFolder;
    return u"Assets/Pack%1/Folder%2/File%3.bin"_s.arg(folder / 100, 2, 10, QChar(u'0'))
        .arg(folder, 4, 10, QChar(u'0'))
        .arg(i, 5, 10, QChar(u'0'));
}

qint64 BenchTree::sizeOf(int i, int files, qint64 bigBytes)
{
    if (i % (files / kBigFiles) == files / kBigFiles / 2)
        return bigBytes;
    return 1024 * (1 + (i * 7) % 16);
}

bool BenchTree::writeBytes(const QString& path, qint64 size, char fill)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray piece(qMin<qint64>(size, 1 << 20), fill);
    for (qint64 left = size; left > 0; left -= piece.size()) {
        const qint64 now = qMin<qint64>(left, piece.size());
        if (file.write(piece.constData(), now) != now)
            return false;
    }
    return true;
}

bool BenchTree::makePackage(const QString& source, int files, qint64 bigBytes)
{
    for (int i = 0; i < files; ++i) {
        const QString path = source + u'/' + relativeFile(i);
        if (i % kFilesPerFolder == 0)
            QDir().mkpath(path.left(path.lastIndexOf(u'/')));
        if (!writeBytes(path, sizeOf(i, files, bigBytes), 'n'))
            return false;
    }
    return true;
}

bool BenchTree::makeGame(const QString& game, int files, qint64 bigBytes)
{
    for (int i = 0; i < files; i += 2) {
        const QString path = game + u'/' + relativeFile(i);
        QDir().mkpath(path.left(path.lastIndexOf(u'/')));
        if (!writeBytes(path, sizeOf(i, files, bigBytes), 'o'))
            return false;
    }
    return true;
}

void BenchTree::flushToDisk()
{
#ifdef Q_OS_UNIX
    ::sync();
#endif
}

} // namespace veltrane::bench
