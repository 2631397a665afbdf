#pragma once

#include "HostPath.h"
#include "PathGuard.h"

#include <filesystem>
#include <vector>

namespace veltrane {

// The folders a piece of work may change, and the test of whether a path lies in them.
class FolderGuard {
public:
    explicit FolderGuard(const std::vector<HostPath>& roots);

    bool admits(const HostPath& path, PathGuard::LastName last = PathGuard::LastName::Follow) const;
    // The same for a path as whereItLeads() gives it: no look at the disk.
    bool contains(const std::filesystem::path& real) const;
    bool isEmpty() const { return m_roots.empty(); }
    // path is one of the folders themselves.
    bool isRoot(const HostPath& path) const;

private:
    std::vector<std::filesystem::path> m_roots;
};

} // namespace veltrane
