#pragma once

#include "util/HostPath.h"
#include "util/PackageKind.h"

#include <optional>

namespace veltrane {

// What a package folder holds, by its marker files.
namespace PackageFolder {

// The one rule for whether a package lies in a folder, and of which kind: Veltrane.xxx makes
// it a route, Scenario.zzz a scenario, and a "Rail Simulator" folder without either makes it
// assets. Nothing when it holds none of them.
std::optional<PackageKind> identify(const HostPath& folder);

// The name the package's marker gives what it installs (the route's or the scenario's English
// name); empty for assets, or when the marker names none.
QString displayName(const HostPath& folder, PackageKind kind);

// The kind as the user reads it: "route", "scenario", "assets".
QString kindName(PackageKind kind);

// The entry of the package that would reach the program's own folder of the game (".veltrane"
// in any letter case at its top or under "Rail Simulator"), as the package names it; empty
// when there is none. No package may bring it.
QString ownFolderEntry(const HostPath& folder);

} // namespace PackageFolder

} // namespace veltrane
