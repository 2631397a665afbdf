#pragma once

#include "util/HostPath.h"

#include <QStringList>

namespace veltrane {

class UserInterface;
struct RunOptions;

// What "ATTRIB -h -r -s <folder>\*.* /s /d" achieves: on Windows that command itself;
// elsewhere the owner may write every file and folder below the folder, the folder included.
namespace AttributeClearer {

// What could not be changed, each with the reason; empty when everything is writable now.
QStringList makeWritable(const HostPath& folder, const RunOptions& options, UserInterface& ui);

} // namespace AttributeClearer

} // namespace veltrane
