#include "JournalSummary.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Record = JournalFormat::Record;
using Change = InstallRecord::Change;

QDateTime utcTime(const QString& text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(text, Qt::ISODate);
    return time.toUTC();
}

} // namespace

std::optional<JournalSummary> JournalSummary::read(const HostPath& folder)
{
    QFile file(folder.child(JournalFormat::kRecordFile).toString());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    JournalSummary summary;
    bool known = false;
    while (!file.atEnd()) {
        // A line the killed program did not finish describes a change it did not begin.
        const std::optional<JournalFormat::Entry> entry = JournalFormat::parse(file.readLine());
        if (!entry)
            break;
        known = known || entry->record == Record::Magic;
        summary.add(*entry);
    }
    if (!known)
        return std::nullopt;
    summary.m_install.journal = folder.fileName();
    return summary;
}

JournalSummary::Path& JournalSummary::track(const QString& path, bool thereBefore)
{
    const auto found = m_index.constFind(path);
    if (found != m_index.cend())
        return m_paths[*found];
    m_index.insert(path, m_paths.size());
    m_paths.append({path, thereBefore, thereBefore, m_owners.value(path)});
    return m_paths.last();
}

void JournalSummary::renamed(const QStringList& fields)
{
    track(fields.value(0), true).now = false;
    // The kept copy's number tells whether the new name held a file before.
    track(fields.value(1), !fields.value(2).isEmpty()).now = true;
}

void JournalSummary::add(const JournalFormat::Entry& entry)
{
    const QStringList& f = entry.fields;
    const QString first = f.value(0);
    switch (entry.record) {
    case Record::Package:
        m_install.package = first;
        break;
    case Record::Kind:
        m_install.kind = first;
        break;
    case Record::Started:
        m_install.started = utcTime(first);
        break;
    case Record::Id:
        m_install.id = first.toInt();
        break;
    case Record::Title:
        m_install.displayName = first;
        break;
    case Record::ListRecord:
        m_lists.append({first, f.value(1), f.value(2), f.value(3)});
        break;
    case Record::Owner:
        if (!m_owners.contains(first))
            m_owners.insert(first, f.value(1).toInt());
        break;
    case Record::Create:
        track(first, false).now = true;
        break;
    case Record::Replace:
        track(first, true).now = true;
        break;
    case Record::Rename:
        renamed(f);
        break;
    case Record::Remove:
        track(first, true).now = false;
        break;
    case Record::Note:
        // A file a program out of the journal's reach changed or removed.
        if (f.size() > 1)
            track(f[1], true).now = first != u"removed"_s;
        break;
    case Record::End:
        m_install.state = InstallRecord::State::Installed;
        m_install.outcome = first;
        m_install.ended = utcTime(f.value(1));
        break;
    case Record::TakenBack:
        m_install.state = InstallRecord::State::TakenBack;
        break;
    default:
        break;
    }
}

QList<InstallRecord::File> JournalSummary::files() const
{
    QList<InstallRecord::File> files;
    for (const Path& path : m_paths) {
        if (!path.before && !path.now)
            continue;
        const Change change = !path.before ? Change::Added
                              : path.now   ? Change::Replaced
                                           : Change::Removed;
        files.append({path.path, change, path.before ? path.owner : 0});
    }
    return files;
}

} // namespace veltrane
