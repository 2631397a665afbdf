#include "ZipBuilder.h"

#include <QtEndian>
#include <array>

namespace veltrane::test {

namespace {

constexpr quint32 kLocalHeader = 0x04034b50;
constexpr quint32 kCentralHeader = 0x02014b50;
constexpr quint32 kEndOfCentralDirectory = 0x06054b50;
constexpr quint16 kZip64Extra = 0x0001;
constexpr quint16 kUnicodePathExtra = 0x7075;
constexpr quint16 kMadeOnUnix = 3 << 8;
constexpr quint16 kFirstOfJanuary1980 = (1 << 5) | 1;

quint32 crc32(const QByteArray& bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> values{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            values[i] = c;
        }
        return values;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes)
        crc = table[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void put16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void put64(QByteArray& out, quint64 value)
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    out.append(bytes, 8);
}

quint32 unixMode(ZipEntry::Kind kind)
{
    switch (kind) {
    case ZipEntry::Kind::Folder:
        return 0040755;
    case ZipEntry::Kind::Link:
        return 0120777;
    case ZipEntry::Kind::File:
        break;
    }
    return 0100644;
}

} // namespace

ZipEntry zipFile(const QByteArray& name, const QByteArray& data)
{
    ZipEntry entry;
    entry.name = name;
    entry.data = data;
    return entry;
}

ZipEntry zipFolder(const QByteArray& name)
{
    ZipEntry entry;
    entry.name = name.endsWith('/') ? name : name + '/';
    entry.kind = ZipEntry::Kind::Folder;
    return entry;
}

ZipEntry zipLink(const QByteArray& name, const QByteArray& target)
{
    ZipEntry entry;
    entry.name = name;
    entry.data = target;
    entry.kind = ZipEntry::Kind::Link;
    return entry;
}

QByteArray zipArchive(const QList<ZipEntry>& entries)
{
    QByteArray out;
    QByteArray central;
    for (const ZipEntry& entry : entries) {
        const quint64 size =
            entry.declaredSize >= 0 ? quint64(entry.declaredSize) : quint64(entry.data.size());
        const bool zip64 = size >= 0xFFFFFFFFu;
        const quint16 flags = (entry.utf8 ? 0x0800 : 0) | (entry.encrypted ? 0x0001 : 0);
        const quint32 crc = crc32(entry.data) ^ (entry.wrongChecksum ? 1u : 0u);
        const quint32 storedSize = zip64 ? 0xFFFFFFFFu : quint32(size);
        const quint32 compressedSize = zip64 ? 0xFFFFFFFFu : quint32(entry.data.size());
        const quint16 version = zip64 ? 45 : 20;

        QByteArray unicodeExtra;
        if (!entry.unicodePath.isEmpty()) {
            put16(unicodeExtra, kUnicodePathExtra);
            put16(unicodeExtra, quint16(5 + entry.unicodePath.size()));
            unicodeExtra.append(char(1));
            put32(unicodeExtra, crc32(entry.name));
            unicodeExtra.append(entry.unicodePath);
        }
        QByteArray localExtra = unicodeExtra;
        QByteArray centralExtra = unicodeExtra;
        if (zip64) {
            put16(localExtra, kZip64Extra);
            put16(localExtra, 16);
            put64(localExtra, size);
            put64(localExtra, quint64(entry.data.size()));
            put16(centralExtra, kZip64Extra);
            put16(centralExtra, 16);
            put64(centralExtra, size);
            put64(centralExtra, quint64(entry.data.size()));
        }

        const quint32 offset = quint32(out.size());
        put32(out, kLocalHeader);
        put16(out, version);
        put16(out, flags);
        put16(out, 0); // stored
        put16(out, 0);
        put16(out, kFirstOfJanuary1980);
        put32(out, crc);
        put32(out, compressedSize);
        put32(out, storedSize);
        put16(out, quint16(entry.name.size()));
        put16(out, quint16(localExtra.size()));
        out.append(entry.name).append(localExtra).append(entry.data);

        put32(central, kCentralHeader);
        put16(central, kMadeOnUnix | version);
        put16(central, version);
        put16(central, flags);
        put16(central, 0);
        put16(central, 0);
        put16(central, kFirstOfJanuary1980);
        put32(central, crc);
        put32(central, compressedSize);
        put32(central, storedSize);
        put16(central, quint16(entry.name.size()));
        put16(central, quint16(centralExtra.size()));
        put16(central, 0); // comment
        put16(central, 0); // disk
        put16(central, 0); // internal attributes
        put32(central,
              unixMode(entry.kind) << 16 | (entry.kind == ZipEntry::Kind::Folder ? 0x10 : 0));
        put32(central, offset);
        central.append(entry.name).append(centralExtra);
    }
    const quint32 centralOffset = quint32(out.size());
    out.append(central);
    put32(out, kEndOfCentralDirectory);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(central.size()));
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}

} // namespace veltrane::test
