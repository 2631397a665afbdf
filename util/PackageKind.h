#pragma once

namespace veltrane {

// What the package folder holds, told by its marker files.
enum class PackageKind { Route = 1, Scenario = 2, Assets = 3 };

} // namespace veltrane
