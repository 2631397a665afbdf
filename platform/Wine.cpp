#include "Wine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <vector>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace veltrane {

#ifndef Q_OS_WIN
namespace {

// A folder as the system knows it, whatever links lead to it.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;

    static std::optional<Identity> of(const QString& hostPath)
    {
        struct stat info {};
        if (::stat(QFile::encodeName(hostPath).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
            return std::nullopt;
        return Identity{info.st_dev, info.st_ino};
    }
    bool operator==(const Identity&) const = default;
};

struct Drive {
    QChar letter;
    Identity folder;
};

// The drives of the prefix, A: to Z:; entries such as "c::" name raw devices, not drives.
std::vector<Drive> drives()
{
    std::vector<Drive> found;
    const QString dosdevices = HostPath::winePrefix().toString() + u"/dosdevices/"_s;
    for (char16_t letter = u'a'; letter <= u'z'; ++letter) {
        if (const auto folder = Identity::of(dosdevices + QChar(letter) + u':'))
            found.push_back({QChar(letter).toUpper(), *folder});
    }
    return found;
}

} // namespace
#endif

HostPath Wine::program()
{
#ifdef Q_OS_WIN
    return {};
#else
    const QString found = QStandardPaths::findExecutable(u"wine"_s);
    return found.isEmpty() ? HostPath() : HostPath::fromHost(found);
#endif
}

HostPath Wine::systemFolder()
{
    return HostPath::fromProgramPath(u"C:\\windows\\system32"_s);
}

std::optional<QString> Wine::toWindowsPath(const HostPath& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return std::nullopt;
#else
    const std::vector<Drive> known = drives();
    // As Wine does it: from the whole path up, the first folder that is the folder of a
    // drive decides, the earliest letter first; the names below it stay as written.
    QString above = QDir::cleanPath(QFileInfo(path.toString()).absoluteFilePath());
    QString rest;
    while (!known.empty()) {
        if (const auto folder = Identity::of(above)) {
            for (const Drive& drive : known) {
                if (drive.folder == *folder)
                    return QString(drive.letter) + u':' + (rest.isEmpty() ? u"\\"_s : rest);
            }
        }
        if (above == u"/"_s)
            break;
        const qsizetype slash = above.lastIndexOf(u'/');
        rest.prepend(u'\\' + above.mid(slash + 1));
        above = slash <= 0 ? u"/"_s : above.left(slash);
    }
    return std::nullopt;
#endif
}

} // namespace veltrane
