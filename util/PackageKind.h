#pragma once

#include <QtGlobal>

namespace veltrane {

// What the package folder holds, told by its marker files.
enum class PackageKind : qint16 { Route = 1, Scenario = 2, Assets = 3 };

} // namespace veltrane
