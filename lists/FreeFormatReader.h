#pragma once

#include <QString>
#include <QStringList>

namespace veltrane {

// Items of a list file in the free-format input convention: separated by commas or line
// ends; double quotes are removed and commas inside them belong to the item; leading
// blanks of an unquoted item are skipped.
namespace FreeFormatReader {

QStringList items(const QString& text);

} // namespace FreeFormatReader

} // namespace veltrane
