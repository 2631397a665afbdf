#include "PackageFolder.h"

#include "util/OwnFolder.h"
#include "util/TextFile.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace veltrane {

std::optional<PackageKind> PackageFolder::identify(const HostPath& folder)
{
    if (fileExists(folder.mappedChild(u"Veltrane.xxx"_s)))
        return PackageKind::Route;
    if (fileExists(folder.mappedChild(u"Scenario.zzz"_s)))
        return PackageKind::Scenario;
    if (folderExists(folder.mappedChild(u"Rail Simulator"_s)))
        return PackageKind::Assets;
    return std::nullopt;
}

QString PackageFolder::ownFolderEntry(const HostPath& folder)
{
    const auto ownIn = [](const HostPath& where) -> QString {
        const QStringList names =
            QDir(where.toString())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            if (OwnFolder::isOwnName(name))
                return name;
        }
        return {};
    };
    if (const QString top = ownIn(folder); !top.isEmpty())
        return top;
    const QString tree = folder.matchEntry(u"Rail Simulator"_s);
    if (tree.isEmpty())
        return {};
    const QString below = ownIn(folder.child(tree));
    return below.isEmpty() ? QString() : tree + u'/' + below;
}

} // namespace veltrane
