#pragma once

#include <QString>

class QWidget;

namespace veltrane {

// Asks for a package where none lies: its folder or the archive it came in, each chosen in
// Qt's own file dialog.
namespace PackageChooser {

// The folder or archive the user chose; empty when they chose none.
QString choose(QWidget* parent);

} // namespace PackageChooser

} // namespace veltrane
