#include "MergePlan.h"

#include "TargetFolder.h"
#include "TreeMerge.h"
#include "util/PathGuard.h"

#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

fs::file_type entryType(const fs::directory_entry& entry, std::error_code& error)
{
    if (entry.is_symlink(error))
        return fs::file_type::symlink;
    if (!error && entry.is_directory(error))
        return fs::file_type::directory;
    if (!error && entry.is_regular_file(error))
        return fs::file_type::regular;
    return fs::file_type::unknown;
}

MergePlan::Existing existingOf(TargetFolder::Existing existing)
{
    switch (existing) {
    case TargetFolder::Existing::File:
        return MergePlan::Existing::File;
    case TargetFolder::Existing::Folder:
        return MergePlan::Existing::Folder;
    case TargetFolder::Existing::Other:
        return MergePlan::Existing::Other;
    case TargetFolder::Existing::Nothing:
        break;
    }
    return MergePlan::Existing::Nothing;
}

} // namespace

// One walk of the tree. Two folders of the tree that land in one target folder ("ASSETS" and
// "Assets") share its names, so the second meets what the first brought as a merge would.
class MergeWalk {
public:
    using Entry = MergePlan::Entry;

    explicit MergeWalk(MergePlan& plan) : m_plan(plan), m_root(plan.m_source.fs()) {}

    void walk(const HostPath& folder, qsizetype parent, std::vector<fs::path>& chain)
    {
        const Entry* above = parent < 0 ? nullptr : &m_plan.m_entries[parent];
        const HostPath target = above ? above->destination : m_plan.m_target;
        const QString relative = above ? above->relative + u'/' : QString();
        const bool throughLink = above && above->throughLink;
        std::error_code error;
        fs::directory_iterator it(folder.fs(), error);
        for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
            const HostPath source = HostPath::fromFs(it->path());
            std::error_code typeError;
            // The kind the folder listing gave: no look at each file of a large tree.
            const fs::file_type type = entryType(*it, typeError);
            if (typeError) {
                failed(source, typeError, parent);
                continue;
            }
            fs::file_status status(type);
            if (type == fs::file_type::symlink) {
                add({Entry::Kind::Link, source, {}, {}, parent, {}, throughLink, 0, {}});
                const auto real = followed(folder, source, chain);
                if (!real)
                    continue;
                status = *real;
            }
            const bool isLink = type == fs::file_type::symlink;
            if (!fs::is_directory(status) && !fs::is_regular_file(status))
                continue;
            const TargetFolder::Entry named = targetFolder(target).entryFor(source.fileName());
            Entry entry{fs::is_directory(status) ? Entry::Kind::Folder : Entry::Kind::File,
                        source,
                        named.path,
                        relative + named.path.fileName(),
                        parent,
                        existingOf(named.existing),
                        throughLink || isLink,
                        0,
                        {}};
            if (entry.kind == Entry::Kind::File) {
                std::error_code sizeError;
                entry.size = qint64(isLink ? fs::file_size(source.fs(), sizeError)
                                           : it->file_size(sizeError));
                ++m_plan.m_files;
                m_plan.m_bytes += sizeError ? 0 : entry.size;
                add(std::move(entry));
                continue;
            }
            const qsizetype index = add(std::move(entry));
            chain.push_back(source.fs());
            walk(source, index, chain);
            chain.pop_back();
        }
        if (error)
            failed(folder, error, parent);
    }

private:
    qsizetype add(Entry entry)
    {
        m_plan.m_entries.append(std::move(entry));
        return m_plan.m_entries.size() - 1;
    }

    void failed(const HostPath& path, const std::error_code& error, qsizetype parent)
    {
        add({Entry::Kind::Failure,
             path,
             {},
             {},
             parent,
             {},
             false,
             0,
             FileError::fromSystem(error, path.display())});
    }

    // What a link of the tree leads to, when it is followed: only inside the tree, and never
    // back into a folder on the way.
    std::optional<fs::file_status> followed(const HostPath& folder, const HostPath& link,
                                            const std::vector<fs::path>& chain) const
    {
        const auto real = PathGuard::whereItLeads(link);
        if (!real || !PathGuard::isWithin(*real, m_root))
            return std::nullopt;
        std::error_code error;
        const fs::file_status status = fs::status(*real, error);
        if (error)
            return std::nullopt;
        if (fs::is_directory(status)) {
            bool loops = PathGuard::isWithin(folder.fs(), *real);
            for (const fs::path& open : chain)
                loops = loops || fs::equivalent(open, *real, error);
            if (loops)
                return std::nullopt;
        }
        return status;
    }

    TargetFolder& targetFolder(const HostPath& path)
    {
        const std::string key = path.fs().native();
        auto found = m_targets.find(key);
        if (found == m_targets.end())
            found = m_targets.emplace(key, TargetFolder(path)).first;
        return found->second;
    }

    MergePlan& m_plan;
    const fs::path m_root;
    std::unordered_map<std::string, TargetFolder> m_targets;
};

MergePlan MergePlan::of(const HostPath& source, const HostPath& target)
{
    MergePlan plan;
    plan.m_target = target;
    try {
        plan.m_source = HostPath::fromFs(TreeMerge::checkedSource(source));
    } catch (const FileError& error) {
        plan.m_source = source;
        plan.m_refusal = error;
        return plan;
    }
    std::vector<fs::path> chain{plan.m_source.fs()};
    MergeWalk(plan).walk(plan.m_source, -1, chain);
    return plan;
}

} // namespace veltrane
