#include "PackageFolder.h"

#include "util/TextFile.h"

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

} // namespace veltrane
