#include "InstallRequest.h"

#include "GameFolder.h"
#include "package/PackageSource.h"

namespace veltrane {

InstallRequest InstallRequest::forPackage(const PackageSource& source, PackageKind kind)
{
    InstallRequest request = forFolder(source.folder(), kind);
    request.packageName = source.name();
    request.packageMovable = source.movable();
    return request;
}

InstallRequest InstallRequest::forFolder(const HostPath& folder, PackageKind kind)
{
    InstallRequest request;
    request.package = folder;
    request.packageName = folder.fileName();
    request.kind = kind;
    return request;
}

void InstallRequest::setGame(const QString& text)
{
    gameText = text;
    game = GameFolder::fromText(text);
}

} // namespace veltrane
