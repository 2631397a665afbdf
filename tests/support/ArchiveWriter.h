#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

namespace veltrane::test {

// Archives as packing programs write them, by libarchive's writer: a test names the entries,
// hostile ones too (absolute names, "..", links out, FIFOs), and gets the archive's bytes.
enum class ArchiveFormat { Zip, SevenZip, Tar, TarGz };

struct ArchiveEntry {
    enum class Kind { File, Folder, Link, HardLink, Fifo };

    QByteArray name; // as stored
    QByteArray data; // a file's bytes, a link's target
    Kind kind = Kind::File;
    qint64 sparseSize = -1; // a sparse file's size: its data, then a hole up to there (tar)
};

ArchiveEntry archiveFile(const QByteArray& name, const QByteArray& data);
ArchiveEntry archiveFolder(const QByteArray& name);
ArchiveEntry archiveLink(const QByteArray& name, const QByteArray& target);
ArchiveEntry archiveHardLink(const QByteArray& name, const QByteArray& target);
ArchiveEntry archiveFifo(const QByteArray& name);

// The archive's bytes; options go to libarchive's writer ("compression=store" for a 7z whose
// data can be found in it). Fails the test where the writer fails.
QByteArray writtenArchive(ArchiveFormat format, const QList<ArchiveEntry>& entries,
                          const char* options = nullptr);
// The bytes compressed with gzip, as one stream.
QByteArray gzipped(const QByteArray& bytes);
// ".zip", ".7z", ".tar", ".tar.gz".
QString archiveSuffix(ArchiveFormat format);

// A 7z archive made byte by byte, which libarchive's writer cannot make: one file, "name",
// whose data is marked as encrypted with AES; with hiddenNames the directory of entries is
// encrypted instead, so that not even the names can be read.
QByteArray encryptedSevenZip(const QByteArray& name, bool hiddenNames);

} // namespace veltrane::test

Q_DECLARE_METATYPE(veltrane::test::ArchiveFormat)
