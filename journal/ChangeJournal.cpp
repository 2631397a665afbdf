#include "ChangeJournal.h"

#include "JournalFormat.h"
#include "util/FileError.h"
#include "util/OwnFolder.h"

#include <QDateTime>
#include <QFile>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#endif

using namespace Qt::StringLiterals;

namespace fs = std::filesystem;

namespace veltrane {

namespace {

using Record = JournalFormat::Record;

// How long a record may wait in the page cache before it is synced to the disk.
constexpr qint64 kSyncInterval = 200;

bool isBlueprintCache(const HostPath& path)
{
    return path.fileName().compare(u"Blueprints.pak"_s, Qt::CaseInsensitive) == 0;
}

} // namespace

QString ChangeJournal::signature(qint64 size, qint64 writtenTicks)
{
    return QString::number(size) + u':' + QString::number(writtenTicks);
}

QString ChangeJournal::signatureOf(const HostPath& path)
{
    // One look at the file: its size and the time it was last written.
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(QFile::encodeName(path.toString()).constData(), &info) != 0)
        return {};
    return signature(info.st_size, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec);
#else
    std::error_code error;
    const auto size = fs::file_size(path.fs(), error);
    const auto written = fs::last_write_time(path.fs(), error);
    if (error)
        return {};
    return signature(qint64(size), qint64(written.time_since_epoch().count()));
#endif
}

ChangeJournal::ChangeJournal(const HostPath& gameRoot, const HostPath& folder, const Header& header)
    : m_root(gameRoot), m_folder(folder)
{
    std::error_code error;
    fs::create_directories(folder.child(JournalFormat::kAsideFolder).fs(), error);
    if (error)
        fail(u"its folder "_s + folder.display() + u" cannot be made: "_s +
             QString::fromLocal8Bit(error.message()));
    m_file.setFileName(folder.child(JournalFormat::kRecordFile).toString());
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        fail(m_file.errorString());
    m_sinceSync.start();
    record(Record::Magic, {QString::number(JournalFormat::kVersion)});
    record(Record::Game, {gameRoot.toString()});
    record(Record::Package, {header.package});
    record(Record::Kind, {header.kind});
    m_summary.install().journal = folder.fileName();
    const QString started = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    if (header.id > 0) {
        record(Record::Started, {started}, Urgency::MayWait);
        record(Record::Id, {QString::number(header.id)}, Urgency::SyncNow);
    } else {
        record(Record::Started, {started}, Urgency::SyncNow);
    }
}

ChangeJournal::~ChangeJournal()
{
    if (!m_failed && !m_pending.isEmpty())
        m_file.write(m_pending);
}

void ChangeJournal::fail(const QString& reason)
{
    m_failed = true;
    throw FileError(FileError::Kind::Journal,
                    u"The install's journal could not be kept: "_s + reason);
}

void ChangeJournal::record(Record kind, const QStringList& fields, Urgency urgency)
{
    if (m_failed)
        fail(u"an earlier record failed"_s);
    if (JournalFormat::isChange(kind))
        ++m_changes;
    m_summary.add({kind, fields});
    m_pending += JournalFormat::line(kind, fields);
    if (urgency == Urgency::MayWait)
        return;
    if (m_file.write(m_pending) != m_pending.size())
        fail(m_file.errorString());
    m_pending.clear();
    if (urgency != Urgency::SyncNow && m_sinceSync.elapsed() < kSyncInterval)
        return;
#ifdef Q_OS_UNIX
    const bool synced = ::fdatasync(m_file.handle()) == 0;
#elif defined(Q_OS_WIN)
    const bool synced = ::_commit(m_file.handle()) == 0;
#else
    const bool synced = true;
#endif
    if (!synced)
        fail(u"it cannot be written to the disk"_s);
    m_sinceSync.restart();
}

bool ChangeJournal::covers(const HostPath& path) const
{
    const fs::path relative = path.fs().lexically_normal().lexically_relative(m_root.fs());
    if (relative.empty() || relative == ".")
        return false;
    const fs::path first = *relative.begin();
    return first != ".." && HostPath::fromFs(first).toString() != OwnFolder::kName;
}

QString ChangeJournal::relative(const HostPath& path) const
{
    return HostPath::fromFs(path.fs().lexically_relative(m_root.fs())).toString();
}

HostPath ChangeJournal::nextAside()
{
    return m_folder.child(JournalFormat::kAsideFolder).child(QString::number(++m_asides));
}

void ChangeJournal::willCreate(const HostPath& path)
{
    const QString name = relative(path);
    record(Record::Create, {name});
    m_created.insert(name);
}

void ChangeJournal::noteOwner(const QString& relativePath)
{
    if (!m_ownerLookup || m_created.contains(relativePath) || m_owners.contains(relativePath))
        return;
    const Owner owner = m_ownerLookup(relativePath);
    m_owners.insert(relativePath, owner.id > 0 ? owner.package : QString(u""_s));
    // Goes with the record of the change that follows it.
    record(Record::Owner, {relativePath, owner.id > 0 ? QString::number(owner.id) : QString()},
           Urgency::MayWait);
}

std::optional<QString> ChangeJournal::previousOwner(const HostPath& path) const
{
    const auto found = m_owners.constFind(relative(path));
    return found == m_owners.cend() ? std::nullopt : std::optional(*found);
}

void ChangeJournal::title(const QString& displayName)
{
    record(Record::Title, {displayName}, Urgency::MayWait);
}

void ChangeJournal::listChanged(const HostPath& list, const QString& change,
                                const QString& recordId, const QString& name)
{
    record(Record::ListRecord, {relative(list), change, recordId, name});
}

void ChangeJournal::willReplace(const HostPath& path)
{
    const HostPath aside = nextAside();
    noteOwner(relative(path));
    record(Record::Replace, {relative(path), aside.fileName()});
    m_replaced.insert(relative(path));
    // A second name keeps the old file whole while the new one takes its name.
    std::error_code error;
    fs::create_hard_link(path.fs(), aside.fs(), error);
    if (error)
        fs::copy_file(path.fs(), aside.fs(), error);
    if (error)
        fail(path.display() + u" cannot be kept aside: "_s +
             QString::fromLocal8Bit(error.message()));
}

void ChangeJournal::willRename(const HostPath& from, const HostPath& to)
{
    std::error_code error;
    const bool replaces = fs::exists(fs::symlink_status(to.fs(), error));
    const HostPath aside = nextAside();
    if (replaces)
        noteOwner(relative(to));
    record(Record::Rename, {relative(from), relative(to), replaces ? aside.fileName() : QString()},
           Urgency::SyncNow);
    // What the undo does with the file goes with it to its new name.
    for (QSet<QString>* set : {&m_created, &m_replaced}) {
        if (set->remove(relative(from)))
            set->insert(relative(to));
    }
    if (!replaces)
        return;
    fs::create_hard_link(to.fs(), aside.fs(), error);
    if (error)
        fs::copy_file(to.fs(), aside.fs(), error);
    if (error)
        fail(to.display() + u" cannot be kept aside: "_s + QString::fromLocal8Bit(error.message()));
}

void ChangeJournal::willMakeFolder(const HostPath& path)
{
    record(Record::MakeFolder, {relative(path)});
}

void ChangeJournal::willRemoveFolder(const HostPath& path)
{
    record(Record::RemoveFolder, {relative(path)});
}

bool ChangeJournal::removeKeepingAside(const HostPath& path)
{
    if (isBlueprintCache(path)) {
        record(Record::Dropped, {relative(path)});
        return false;
    }
    // What this install made itself needs no keeping: taking the install back removes it.
    if (m_created.contains(relative(path))) {
        record(Record::Remove, {relative(path), QString()});
        return false;
    }
    const HostPath aside = nextAside();
    noteOwner(relative(path));
    record(Record::Remove, {relative(path), aside.fileName()}, Urgency::SyncNow);
    std::error_code error;
    fs::rename(path.fs(), aside.fs(), error);
    if (error)
        throw FileError::fromSystem(error, path.display());
    return true;
}

void ChangeJournal::changed(const HostPath& path, const QString& knownSignature)
{
    // Only an undo's questions read it: it may wait for the next record.
    record(Record::Done,
           {relative(path), knownSignature.isEmpty() ? signatureOf(path) : knownSignature},
           Urgency::MayWait);
}

void ChangeJournal::note(const QString& what)
{
    record(Record::Note, {what}, Urgency::SyncNow);
}

void ChangeJournal::madeOutside(const HostPath& path, bool folder)
{
    if (folder) {
        record(Record::MakeFolder, {relative(path)});
        return;
    }
    willCreate(path);
    changed(path);
}

void ChangeJournal::changedOutside(const HostPath& path, const QString& how)
{
    const QString name = relative(path);
    // The undo removes what the install made and puts back what it kept: the file there now
    // is the install's, whichever program changed it last.
    if (m_created.contains(name) || m_replaced.contains(name))
        record(Record::Done, {name, signatureOf(path)}, Urgency::Write);
    else
        record(Record::Note, {how, name});
}

void ChangeJournal::finish(const QString& outcome, const QDateTime& ended)
{
    record(Record::End, {outcome, ended.toUTC().toString(Qt::ISODateWithMs)}, Urgency::SyncNow);
}

void ChangeJournal::markTakenBack(const HostPath& folder)
{
    QFile file(folder.child(JournalFormat::kRecordFile).toString());
    bool written = file.open(QIODevice::ReadWrite);
    // A line a killed program left unfinished describes a change it never began: it goes,
    // so that the record is not joined to it.
    if (written && file.size() > 0) {
        const QByteArray bytes = file.readAll();
        if (!bytes.endsWith('\n'))
            written = file.resize(bytes.lastIndexOf('\n') + 1);
    }
    const QByteArray line = JournalFormat::line(
        Record::TakenBack, {QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)});
    written = written && file.seek(file.size()) && file.write(line) == line.size() && file.flush();
#ifdef Q_OS_UNIX
    written = written && ::fdatasync(file.handle()) == 0;
#endif
    if (!written)
        throw FileError(FileError::Kind::Journal, u"The journal "_s + folder.display() +
                                                      u" cannot be marked as taken back: "_s +
                                                      file.errorString());
}

} // namespace veltrane
