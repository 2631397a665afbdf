#pragma once

#include "serz/Document.h"

#include <QString>
#include <QStringList>

namespace veltrane::serz {

// The two conversions of the command-line serialiser, file to file. Outputs are
// replaced whole or not at all. On failure a binary output is left as an empty file
// and an XML output is removed, so that a caller testing for the output sees the
// failure; the input is never touched, even when it is also named as the output.
namespace Converter {

struct Outcome {
    bool ok = false;
    QString error; // one line: the file, the byte offset or XML line, the fault
    QStringList warnings;
};

Outcome binaryToXml(const QString& input, const QString& output);
// The written binary is decoded again and compared with the XML's content; any
// difference is a failure.
Outcome xmlToBinary(const QString& input, const QString& output, FloatMode mode = FloatMode::Exact);

} // namespace Converter

} // namespace veltrane::serz
