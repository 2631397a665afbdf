#pragma once

#include "util/HostPath.h"

#include <QString>

class QWidget;

namespace veltrane {

// Asks for a package where none lies: its folder or the archive it came in, each chosen in
// Qt's own file dialog.
namespace PackageChooser {

// The folder or archive the user chose; empty when they chose none. whereNone: the folder
// that holds no package, named in the question.
QString choose(QWidget* parent, const HostPath& whereNone);

} // namespace PackageChooser

} // namespace veltrane
