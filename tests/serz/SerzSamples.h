#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace veltrane::serz::test {

// Bytes from hex digits; whitespace between them is ignored.
QByteArray fromHex(const char* hex);
// Lines joined as Serz writes them: CR LF after every line, the last included.
QByteArray crlf(const QByteArrayList& lines);

// The hand-made vectors: the binary file and Serz's XML of it.
struct Vector {
    const char* name;
    QByteArray binary;
    QByteArray xml;
};
Vector vector1();
Vector vector2();
Vector vector3();
// Starts with a 0x43 record; the XML encodes canonically to canonicalBinary().
Vector vector4();
QByteArray vector4Canonical();

} // namespace veltrane::serz::test
