#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

namespace veltrane::test {

// Changes environment variables of this process and puts each back as it found it, unset
// ones included, when restored or destroyed. A variable changed twice goes back to the value
// it had before the first change.
class EnvironmentGuard {
public:
    EnvironmentGuard() = default;
    ~EnvironmentGuard() { restore(); }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

    void set(const char* name, const QByteArray& value);
    void unset(const char* name);
    // Every variable back as it was; the guard may then be used again.
    void restore();

private:
    struct Saved {
        QByteArray name;
        std::optional<QByteArray> value; // none: it was not set
    };
    void remember(const char* name);

    QList<Saved> m_saved;
};

} // namespace veltrane::test
