#include "FileError.h"

using namespace Qt::StringLiterals;

namespace veltrane {

FileError::FileError(Kind kind, QString description)
    : m_kind(kind), m_description(std::move(description)),
      m_utf8(m_description.toUtf8().toStdString())
{
}

FileError FileError::fromSystem(const std::error_code& error, const QString& what)
{
    const bool denied =
        error == std::errc::permission_denied || error == std::errc::operation_not_permitted;
    QString description = QString::fromLocal8Bit(error.message());
    if (!what.isEmpty())
        description += u" ("_s + what + u')';
    return FileError(denied ? Kind::PermissionDenied : Kind::Other, description);
}

} // namespace veltrane
