#pragma once

#include <QString>
#include <exception>
#include <string>
#include <system_error>

namespace veltrane {

// A failing file or process operation. The install operation treats the kinds differently:
// permission denied offers to make the game folder writable, a failed journal stops the
// install, anything else skips the failed step.
class FileError : public std::exception {
public:
    enum class Kind {
        PermissionDenied,
        Other,
        // The change journal could not keep a record: nothing more may change.
        Journal
    };

    FileError(Kind kind, QString description);

    // Classifies a system error; "what" names the operation and the path for the message.
    static FileError fromSystem(const std::error_code& error, const QString& what);

    Kind kind() const { return m_kind; }
    bool permissionDenied() const { return m_kind == Kind::PermissionDenied; }
    // The platform's description of the failure, as shown to the user.
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_utf8.c_str(); }

private:
    Kind m_kind;
    QString m_description;
    std::string m_utf8;
};

} // namespace veltrane
