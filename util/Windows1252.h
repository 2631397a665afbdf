#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace veltrane {

// The game's "ANSI" text. Our own table rather than the system codec, so that every byte
// value survives a read and a write on every platform, the five unassigned ones included.
namespace Windows1252 {

QString decode(QByteArrayView bytes);

// Index of the first character that the code page cannot hold, if any.
std::optional<qsizetype> firstUnencodable(QStringView text);

// Encodes text that firstUnencodable() accepted.
QByteArray encode(QStringView text);

} // namespace Windows1252

} // namespace veltrane
