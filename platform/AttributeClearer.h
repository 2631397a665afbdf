#pragma once

#include "util/HostPath.h"

namespace veltrane {

class UserInterface;
struct RunOptions;

// What "ATTRIB -h -r -s <folder>\*.* /s /d" achieves: on Windows that command itself;
// elsewhere the owner may write every file and folder below the folder, the folder included.
namespace AttributeClearer {

// Returns false when some entry could not be changed.
bool makeWritable(const HostPath& folder, const RunOptions& options, UserInterface& ui);

} // namespace AttributeClearer

} // namespace veltrane
