// Maps arbitrary Windows-style paths to host paths inside a scratch folder tree that has a
// Wine prefix with drive C, and checks the shape of every result.
#include "fuzz/FuzzRequire.h"
#include "util/HostPath.h"
#include "util/Windows1252.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

// Removed at exit, so that the corpus replay in every test run leaves no tree behind.
std::unique_ptr<QTemporaryDir> scratch;

void makeTree()
{
    scratch = std::make_unique<QTemporaryDir>();
    REQUIRE(scratch->isValid());
    const QString root = scratch->path();
    QDir dir(root);
    for (const QString& folder :
         {u"work/Assets/Kuju/RailSimulator"_s, u"work/Content/Routes"_s, u"work/Assets/kuju"_s,
          u"prefix/dosdevices"_s, u"drive_c/Program Files/RailSimulator"_s})
        REQUIRE(dir.mkpath(folder));
    QFile file(root + u"/work/Assets/Blueprints.PAK"_s);
    REQUIRE(file.open(QIODevice::WriteOnly));
    file.close();
    std::filesystem::create_directory_symlink(
        HostPath::fromHost(root + u"/drive_c"_s).fs(),
        HostPath::fromHost(root + u"/prefix/dosdevices/c:"_s).fs());
    qputenv("WINEPREFIX", QFile::encodeName(root + u"/prefix"_s));
    REQUIRE(QDir::setCurrent(root + u"/work"_s));
}

bool hasDrive(const QString& path)
{
    return path.size() >= 2 && path[1] == u':' && path[0].isLetter() && path[0].unicode() < 0x80;
}

void checkHost(const QString& path)
{
    const QString host = HostPath::fromProgramPath(path).toString();
    REQUIRE(shownPath(path) == host);
    if (path.isEmpty()) {
        REQUIRE(host.isEmpty());
        return;
    }
    REQUIRE(!host.isEmpty());
    REQUIRE(!host.contains(u'\\'));

    // The fixed start, then one name per name of the input, differing in letter case only.
    QString rest = path;
    rest.replace(u'\\', u'/');
    QString base;
    if (hasDrive(rest)) {
        base = HostPath::driveFolder(rest[0]).toString();
        rest = rest.mid(2);
    } else if (rest.startsWith(u'/')) {
        base = u"/"_s;
    }
    REQUIRE(host.startsWith(base));
    const QStringList names = rest.split(u'/', Qt::SkipEmptyParts);
    const QStringList hostNames = host.mid(base.size()).split(u'/', Qt::SkipEmptyParts);
    if (names.isEmpty()) {
        REQUIRE(hostNames.isEmpty() || (base.isEmpty() && host == u"."_s));
    } else {
        REQUIRE(hostNames.size() == names.size());
        for (qsizetype i = 0; i < names.size(); ++i)
            REQUIRE(hostNames[i].compare(names[i], Qt::CaseInsensitive) == 0);
    }

    // A host path is already in its final form.
    REQUIRE(HostPath::fromProgramPath(host).toString() == host);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    makeTree();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString path = Windows1252::decode(bytes);
    checkHost(path);

    // Text that survives the trip through the host's encoding comes back unchanged.
    const QString unicode = QString::fromUtf8(bytes);
    if (QFile::decodeName(QFile::encodeName(unicode)) == unicode)
        REQUIRE(HostPath::fromFs(HostPath::fromHost(unicode).fs()).toString() == unicode);

    if (!path.isEmpty() && path[0].unicode() < 0x80 && path[0].isLetter())
        REQUIRE(HostPath::driveFolder(path[0]).toString() ==
                HostPath::winePrefix().toString() + u"/dosdevices/"_s + path[0].toLower() + u':');
    return 0;
}
