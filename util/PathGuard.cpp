#include "PathGuard.h"

#include "HostPath.h"

#include <QRegularExpression>
#include <filesystem>

namespace fs = std::filesystem;

namespace veltrane {

bool PathGuard::isContainedRelative(const QString& relative)
{
    if (relative.isEmpty() || relative.contains(u':'))
        return false;
    static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
    for (const QString& component : relative.split(separators)) {
        QString meaningful = component;
        while (!meaningful.isEmpty() && (meaningful.back() == u'.' || meaningful.back() == u' '))
            meaningful.chop(1);
        if (meaningful.isEmpty())
            return false;
        for (const QChar c : component) {
            if (c.unicode() < 0x20)
                return false;
        }
    }
    return true;
}

bool PathGuard::staysInside(const QString& folder, const QString& path)
{
    std::error_code error;
    const fs::path root = fs::weakly_canonical(HostPath::toFs(HostPath::toHost(folder)), error);
    if (error)
        return false;
    const fs::path target = fs::weakly_canonical(HostPath::toFs(HostPath::toHost(path)), error);
    if (error)
        return false;
    auto rootIt = root.begin();
    auto targetIt = target.begin();
    for (; rootIt != root.end(); ++rootIt, ++targetIt) {
        if (rootIt->empty() && std::next(rootIt) == root.end())
            break; // a trailing separator of the root
        if (targetIt == target.end() || *targetIt != *rootIt)
            return false;
    }
    return true;
}

} // namespace veltrane
