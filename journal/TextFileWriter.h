#pragma once

#include "util/FileError.h"
#include "util/HostPath.h"

#include <QString>
#include <optional>

namespace veltrane {

class UserInterface;

// Writes text whole in Windows-1252. The target is replaced only by a complete file,
// so a failed write leaves the previous file as it was. Reports failures itself, an
// empty result included, and returns true only for a complete, non-empty file. Messages name
// the file as shownAs when given: a list written under a passing name is named as the list.
// failure, when given, receives what failed, so that a caller can tell permission denied.
bool writeTextFile(UserInterface& ui, const HostPath& path, const QString& text,
                   const HostPath& shownAs = {}, std::optional<FileError>* failure = nullptr);

} // namespace veltrane
