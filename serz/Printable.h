#pragma once

#include <QByteArrayView>
#include <QString>

namespace veltrane::serz {

// Bytes from a file, quoted for a one-line message: shortened, with control characters
// and invalid UTF-8 shown as \xNN. Unquoted for names that sit inside "<...>".
QString printable(QByteArrayView bytes, bool quoted = true);

} // namespace veltrane::serz
