// Writes the seed inputs of fuzz_package_archive into the folder given: small zip archives
// made by our own test helper, each showing the reader one kind of entry it must judge, one
// deflated by libarchive's writer, and 7z, tar and tar.gz archives by the tests' writer. Run
// once; the results are in fuzz/corpus.
//   make-package-archive-corpus fuzz/corpus/fuzz_package_archive
#include "ArchiveWriter.h"
#include "ZipBuilder.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <archive.h>
#include <archive_entry.h>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace veltrane::test;

namespace {

bool save(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray deflated()
{
    QByteArray out(4096, '\0');
    size_t used = 0;
    archive* zip = archive_write_new();
    archive_write_set_format_zip(zip);
    archive_write_open_memory(zip, out.data(), size_t(out.size()), &used);
    const QList<QPair<QByteArray, QByteArray>> files{
        {"Pack/Scenario.zzz", "<ScenarioID>b7a6c5d4</ScenarioID>\r\n"},
        {"Pack/Rail Simulator/Content/Routes/r/Scenarios/s/ScenarioProperties.xml",
         QByteArray(300, 'x')}};
    for (const auto& [name, data] : files) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, data.size());
        archive_write_header(zip, entry);
        archive_write_data(zip, data.constData(), size_t(data.size()));
        archive_entry_free(entry);
    }
    archive_write_close(zip);
    archive_write_free(zip);
    out.truncate(qsizetype(used));
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    ZipEntry dos = zipFile("Rail Simulator/Caf\x82.txt", "dos");
    ZipEntry utf8 = zipFile(u"Rail Simulator/Zürich.txt"_s.toUtf8(), "utf-8");
    utf8.utf8 = true;
    ZipEntry encrypted = zipFile("Rail Simulator/secret.bin", QByteArray(16, 's'));
    encrypted.encrypted = true;
    ZipEntry damaged = zipFile("Rail Simulator/a.txt", "damaged");
    damaged.wrongChecksum = true;
    ZipEntry huge = zipFile("Rail Simulator/huge.bin", "tiny");
    huge.declaredSize = qint64(5) << 30;

    const QList<QPair<QString, QByteArray>> seeds{
        {u"route"_s, zipArchive({zipFile("Veltrane.xxx", "<English>Riverside</English>"),
                                 zipFolder("Rail Simulator/Assets"),
                                 zipFile("Rail Simulator/Assets/Signalbox.txt", "box")})},
        {u"names"_s, zipArchive({dos, utf8, zipFile("Rail Simulator\\Assets\\a.txt", "a")})},
        {u"links"_s, zipArchive({zipFile("Pack/Rail Simulator/a.txt", "a"),
                                 zipLink("Pack/Rail Simulator/b.txt", "a.txt"),
                                 zipLink("here", "."), zipLink("Pack/up", "../here/../x")})},
        {u"unsafe"_s, zipArchive({zipFile("../evil.txt", "x"), zipFile("C:\\evil.dll", "x")})},
        {u"refused"_s, zipArchive({encrypted, damaged, huge})},
        {u"deflated"_s, deflated()},
        {u"seven-zip"_s,
         writtenArchive(ArchiveFormat::SevenZip,
                        {archiveFile("Pack/Veltrane.xxx", "<English>Riverside</English>"),
                         archiveFolder("Pack/Rail Simulator/Assets/"),
                         archiveFile(u"Pack/Rail Simulator/Zürich.txt"_s.toUtf8(), "utf-8"),
                         archiveLink("Pack/Rail Simulator/b.txt", "Zürich.txt")})},
        {u"seven-zip-encrypted"_s, encryptedSevenZip("Rail Simulator/secret.bin", false)},
        {u"tar-gz"_s,
         writtenArchive(ArchiveFormat::TarGz,
                        {archiveFolder("./"), archiveFile("./Scenario.zzz", "<ScenarioID>"),
                         archiveFile("./Rail Simulator/a.txt", QByteArray(300, 'a')),
                         archiveLink("./Rail Simulator/up", "../x"),
                         archiveHardLink("./Rail Simulator/h", "./Scenario.zzz")})},
        {u"tar"_s,
         writtenArchive(ArchiveFormat::Tar, {archiveFile("Rail Simulator/Caf\xe9.txt", "code page"),
                                             archiveFifo("Rail Simulator/pipe")})},
    };
    for (const auto& [name, bytes] : seeds) {
        if (!save(folder + u'/' + name, bytes)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
