#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace veltrane {

// The game's "ANSI" text. Our own table rather than the system codec, so that every byte
// value survives a read and a write on every platform, the five unassigned ones included.
class Windows1252 {
public:
    static QString decode(QByteArrayView bytes);

    // Index of the first character that the code page cannot hold, if any.
    static std::optional<qsizetype> firstUnencodable(QStringView text);

    // Encodes text that firstUnencodable() accepted.
    static QByteArray encode(QStringView text);
};

} // namespace veltrane
