#include "TargetFolder.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace veltrane {

TargetFolder::TargetFolder(HostPath path) : m_path(std::move(path))
{
    std::error_code error;
    for (fs::directory_iterator it(m_path.fs(), error), end; !error && it != end;
         it.increment(error))
        remember(HostPath::fromFs(it->path()).fileName());
}

HostPath TargetFolder::entryFor(const QString& name)
{
    const auto found = m_names.constFind(name.toCaseFolded());
    if (found != m_names.constEnd())
        return m_path.child(*found);
    remember(name);
    return m_path.child(name);
}

void TargetFolder::remember(const QString& name)
{
    // An exact name wins over one that differs in case only.
    const QString key = name.toCaseFolded();
    if (!m_names.contains(key) || name == key)
        m_names.insert(key, name);
}

} // namespace veltrane
