#include "EnvironmentGuard.h"

#include <QtGlobal>
#include <algorithm>

namespace veltrane::test {

void EnvironmentGuard::remember(const char* name)
{
    const bool known = std::any_of(m_saved.cbegin(), m_saved.cend(),
                                   [name](const Saved& saved) { return saved.name == name; });
    if (known)
        return;
    std::optional<QByteArray> value;
    if (qEnvironmentVariableIsSet(name))
        value = qgetenv(name);
    m_saved.append({QByteArray(name), value});
}

void EnvironmentGuard::set(const char* name, const QByteArray& value)
{
    remember(name);
    qputenv(name, value);
}

void EnvironmentGuard::unset(const char* name)
{
    remember(name);
    qunsetenv(name);
}

void EnvironmentGuard::restore()
{
    for (const Saved& saved : std::as_const(m_saved)) {
        if (saved.value)
            qputenv(saved.name.constData(), *saved.value);
        else
            qunsetenv(saved.name.constData());
    }
    m_saved.clear();
}

} // namespace veltrane::test
