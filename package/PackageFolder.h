#pragma once

#include "util/PackageKind.h"

#include <QString>

namespace veltrane {

// What a package folder holds, from its marker files, and where the game is looked for when
// the user has not said.
namespace PackageFolder {

// The kind its marker files make it: Veltrane.xxx a route, Scenario.zzz a scenario, else
// assets. folder is in the program's path form.
PackageKind kindOf(const QString& folder);
// Whether it holds a package at all: a marker file or a "Rail Simulator" folder.
bool holdsPackage(const QString& folder);

// "c:\program files\Rail Simulator" when RailSim.exe is there, else the first game found where
// Linux users keep it; empty when none.
QString defaultGameFolder();

} // namespace PackageFolder

} // namespace veltrane
