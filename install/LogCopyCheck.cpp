#include "LogCopyCheck.h"

#include "util/PathGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace veltrane {

Expected<void> LogCopyCheck::check(const QString& path, const HostPath& game,
                                   const HostPath& package)
{
    const QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const HostPath target = HostPath::fromHost(info.filePath());
    const auto refused = [&](const QString& why) {
        return failure(u"The log file "_s + target.display() + u" cannot be written: "_s + why +
                       u". Nothing has been changed."_s);
    };
    if (!game.isEmpty() && PathGuard::leadsInto(target, game))
        return refused(u"it lies inside the game folder "_s + game.display());
    if (!package.isEmpty() && PathGuard::leadsInto(target, package))
        return refused(u"it lies inside the package "_s + package.display());
    // A link is followed: what it leads to is what would be written.
    if ((info.exists() || info.isSymLink()) && !info.isFile())
        return refused(u"it is not a plain file"_s);
    // Asked by writing a file beside it, which /proc, a read-only mount or a full disk refuses
    // truthfully; the copy itself is made the same way and takes the name at the end.
    QTemporaryFile probe(info.absolutePath() + u"/.veltrane-log-XXXXXX"_s);
    if (!probe.open() || probe.write("\n", 1) != 1 || !probe.flush())
        return refused(probe.errorString().isEmpty() ? u"its folder may not be written to"_s
                                                     : probe.errorString());
    return {};
}

} // namespace veltrane
