#pragma once

#include "BatchLine.h"

#include <QList>
#include <QStringView>

namespace veltrane {

// Reads the text of a batch file into lines, the way cmd.exe splits and reads them, for the
// commands our interpreter knows. Pure: it looks at no file, so every line of a file can be
// judged before the first one runs.
namespace BatchParser {

QList<BatchLine> parse(QStringView text);
BatchLine parseLine(QStringView text, int number);

} // namespace BatchParser

} // namespace veltrane
