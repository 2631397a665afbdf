#pragma once

#include <QByteArrayView>
#include <QString>

namespace veltrane::serz {

// Bytes from a file, quoted for a one-line message: shortened, with control characters
// and invalid UTF-8 shown as \xNN.
QString printable(QByteArrayView bytes);

} // namespace veltrane::serz
