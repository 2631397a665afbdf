#include "TargetFolder.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace veltrane {

namespace {

TargetFolder::Existing existingOf(const fs::directory_entry& entry)
{
    // The kind the listing gave, looked through a link as a merge goes through it: no look
    // at each entry of a large folder.
    std::error_code error;
    if (entry.is_directory(error))
        return TargetFolder::Existing::Folder;
    if (!error && entry.is_regular_file(error))
        return TargetFolder::Existing::File;
    return TargetFolder::Existing::Other;
}

} // namespace

TargetFolder::TargetFolder(HostPath path) : m_path(std::move(path))
{
    std::error_code error;
    for (fs::directory_iterator it(m_path.fs(), error), end; !error && it != end;
         it.increment(error))
        remember(HostPath::fromFs(it->path()).fileName(), existingOf(*it));
}

TargetFolder::Entry TargetFolder::entryFor(const QString& name)
{
    const auto found = m_names.constFind(name.toCaseFolded());
    if (found != m_names.constEnd())
        return {m_path.child(found->name), found->existing};
    remember(name, Existing::Nothing);
    return {m_path.child(name), Existing::Nothing};
}

void TargetFolder::remember(const QString& name, Existing existing)
{
    // An exact name wins over one that differs in case only.
    const QString key = name.toCaseFolded();
    if (!m_names.contains(key) || name == key)
        m_names.insert(key, {name, existing});
}

} // namespace veltrane
