#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>

namespace veltrane::test {

// One entry of a zip archive assembled byte by byte, so that a test can make what zip
// programs never write: names in a chosen encoding with or without the UTF-8 flag, links
// out of the archive, encrypted or damaged entries, sizes that are not true. The data is
// stored, not compressed.
struct ZipEntry {
    enum class Kind { File, Folder, Link };

    QByteArray name; // the name's bytes as stored
    QByteArray data; // a file's bytes, a link's target
    Kind kind = Kind::File;
    bool utf8 = false;      // general-purpose flag bit 11: the name is UTF-8
    bool encrypted = false; // flag bit 0
    bool wrongChecksum = false;
    qint64 declaredSize = -1; // the size the headers give instead of the data's; zip64 past 4 GiB
    QByteArray unicodePath;   // Info-ZIP's extra field with the name in UTF-8, when not empty
};

ZipEntry zipFile(const QByteArray& name, const QByteArray& data);
ZipEntry zipFolder(const QByteArray& name);
ZipEntry zipLink(const QByteArray& name, const QByteArray& target);

QByteArray zipArchive(const QList<ZipEntry>& entries);

} // namespace veltrane::test

Q_DECLARE_METATYPE(veltrane::test::ZipEntry)
