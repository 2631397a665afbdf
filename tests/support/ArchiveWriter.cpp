#include "ArchiveWriter.h"

#include <QTest>
#include <QtEndian>
#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

using namespace Qt::StringLiterals;

namespace veltrane::test {

namespace {

int fileType(ArchiveEntry::Kind kind)
{
    switch (kind) {
    case ArchiveEntry::Kind::Folder:
        return AE_IFDIR;
    case ArchiveEntry::Kind::Link:
        return AE_IFLNK;
    case ArchiveEntry::Kind::Fifo:
        return AE_IFIFO;
    case ArchiveEntry::Kind::File:
    case ArchiveEntry::Kind::HardLink:
        break;
    }
    return AE_IFREG;
}

bool setFormat(archive* writer, ArchiveFormat format)
{
    switch (format) {
    case ArchiveFormat::Zip:
        return archive_write_set_format_zip(writer) == ARCHIVE_OK;
    case ArchiveFormat::SevenZip:
        return archive_write_set_format_7zip(writer) == ARCHIVE_OK;
    case ArchiveFormat::Tar:
        return archive_write_set_format_pax_restricted(writer) == ARCHIVE_OK;
    case ArchiveFormat::TarGz:
        return archive_write_set_format_pax_restricted(writer) == ARCHIVE_OK &&
               archive_write_add_filter_gzip(writer) == ARCHIVE_OK;
    }
    return false;
}

la_ssize_t appendBlock(archive* /*writer*/, void* out, const void* block, size_t size)
{
    static_cast<QByteArray*>(out)->append(static_cast<const char*>(block), qsizetype(size));
    return la_ssize_t(size);
}

void put(QByteArray& out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

QByteArray bytes(std::initializer_list<char> values)
{
    return QByteArray(values.begin(), qsizetype(values.size()));
}

quint32 crc(const QByteArray& data)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
}

} // namespace

ArchiveEntry archiveFile(const QByteArray& name, const QByteArray& data)
{
    return {name, data, ArchiveEntry::Kind::File};
}

ArchiveEntry archiveFolder(const QByteArray& name)
{
    return {name, {}, ArchiveEntry::Kind::Folder};
}

ArchiveEntry archiveLink(const QByteArray& name, const QByteArray& target)
{
    return {name, target, ArchiveEntry::Kind::Link};
}

ArchiveEntry archiveHardLink(const QByteArray& name, const QByteArray& target)
{
    return {name, target, ArchiveEntry::Kind::HardLink};
}

ArchiveEntry archiveFifo(const QByteArray& name)
{
    return {name, {}, ArchiveEntry::Kind::Fifo};
}

QByteArray writtenArchive(ArchiveFormat format, const QList<ArchiveEntry>& entries,
                          const char* options)
{
    QByteArray out;
    archive* writer = archive_write_new();
    bool written =
        setFormat(writer, format) &&
        (!options || archive_write_set_options(writer, options) == ARCHIVE_OK) &&
        archive_write_set_bytes_in_last_block(writer, 1) == ARCHIVE_OK &&
        archive_write_open2(writer, &out, nullptr, appendBlock, nullptr, nullptr) == ARCHIVE_OK;
    for (const ArchiveEntry& entry : entries) {
        archive_entry* header = archive_entry_new();
        // Names in UTF-8 reach 7z's UTF-16 and pax's UTF-8 whatever the locale; other bytes
        // are stored as they are, where the format can (tar).
        if (QUtf8StringView(entry.name).isValidUtf8())
            archive_entry_update_pathname_utf8(header, entry.name.constData());
        else
            archive_entry_copy_pathname(header, entry.name.constData());
        archive_entry_set_filetype(header, fileType(entry.kind));
        archive_entry_set_perm(header, entry.kind == ArchiveEntry::Kind::Folder ? 0755 : 0644);
        const bool hasData = entry.kind == ArchiveEntry::Kind::File;
        // libarchive takes a sparse file's bytes whole and stores only those of its data.
        const QByteArray data =
            entry.sparseSize < 0 ? entry.data
                                 : entry.data + QByteArray(entry.sparseSize - entry.data.size(), 0);
        archive_entry_set_size(header, hasData ? data.size() : 0);
        if (entry.sparseSize >= 0)
            archive_entry_sparse_add_entry(header, 0, entry.data.size());
        if (entry.kind == ArchiveEntry::Kind::Link)
            archive_entry_copy_symlink(header, entry.data.constData());
        if (entry.kind == ArchiveEntry::Kind::HardLink)
            archive_entry_copy_hardlink(header, entry.data.constData());
        // A warning: a name stored as bytes, not converted.
        written = written && archive_write_header(writer, header) >= ARCHIVE_WARN &&
                  (!hasData || archive_write_data(writer, data.constData(), size_t(data.size())) ==
                                   data.size());
        archive_entry_free(header);
    }
    if (!written)
        QTest::qFail(archive_error_string(writer), __FILE__, __LINE__);
    written = archive_write_close(writer) == ARCHIVE_OK && written;
    archive_write_free(writer);
    return written ? out : QByteArray();
}

QByteArray gzipped(const QByteArray& bytes)
{
    QByteArray out;
    archive* writer = archive_write_new();
    archive_entry* header = archive_entry_new();
    archive_entry_set_pathname(header, "data");
    archive_entry_set_filetype(header, AE_IFREG);
    archive_entry_set_size(header, bytes.size());
    const bool written =
        archive_write_set_format_raw(writer) == ARCHIVE_OK &&
        archive_write_add_filter_gzip(writer) == ARCHIVE_OK &&
        archive_write_set_bytes_in_last_block(writer, 1) == ARCHIVE_OK &&
        archive_write_open2(writer, &out, nullptr, appendBlock, nullptr, nullptr) == ARCHIVE_OK &&
        archive_write_header(writer, header) == ARCHIVE_OK &&
        archive_write_data(writer, bytes.constData(), size_t(bytes.size())) == bytes.size() &&
        archive_write_close(writer) == ARCHIVE_OK;
    archive_entry_free(header);
    archive_write_free(writer);
    if (!written)
        QTest::qFail("gzip cannot be written", __FILE__, __LINE__);
    return out;
}

QString archiveSuffix(ArchiveFormat format)
{
    switch (format) {
    case ArchiveFormat::Zip:
        return u".zip"_s;
    case ArchiveFormat::SevenZip:
        return u".7z"_s;
    case ArchiveFormat::Tar:
        return u".tar"_s;
    case ArchiveFormat::TarGz:
        return u".tar.gz"_s;
    }
    return {};
}

QByteArray encryptedSevenZip(const QByteArray& name, bool hiddenNames)
{
    // Property ids of the 7z header; numbers below 0x80 are one byte each.
    constexpr char kHeader = 0x01, kMainStreamsInfo = 0x04, kFilesInfo = 0x05, kPackInfo = 0x06,
                   kUnpackInfo = 0x07, kSubStreamsInfo = 0x08, kSize = 0x09, kFolder = 0x0B,
                   kCodersUnpackSize = 0x0C, kName = 0x11, kEncodedHeader = 0x17, kEnd = 0x00;
    const QByteArray packed(16, 'e');
    // One folder of one coder, 7-Zip's AES-256 (06 F1 07 01), with one byte of properties.
    QByteArray streams = bytes(
        {kPackInfo, 0, 1, kSize, char(packed.size()), kEnd, kUnpackInfo, kFolder, 1, 0, 1, 0x24});
    streams += QByteArray("\x06\xF1\x07\x01\x01\x13", 6);
    streams += bytes({kCodersUnpackSize, char(packed.size()), kEnd});

    QByteArray header;
    if (hiddenNames) {
        header = kEncodedHeader + streams + kEnd;
    } else {
        QByteArray utf16;
        for (const QChar c : QString::fromUtf8(name) + QChar(0))
            put(utf16, c.unicode(), 2);
        header =
            bytes({kHeader, kMainStreamsInfo}) + streams +
            bytes({kSubStreamsInfo, kEnd, kEnd, kFilesInfo, 1, kName, char(utf16.size() + 1), 0}) +
            utf16 + bytes({kEnd, kEnd});
    }
    QByteArray start;
    put(start, quint64(packed.size()), 8);
    put(start, quint64(header.size()), 8);
    put(start, crc(header), 4);
    QByteArray out("7z\xBC\xAF\x27\x1C\x00\x04", 8);
    put(out, crc(start), 4);
    return out + start + packed + header;
}

} // namespace veltrane::test
