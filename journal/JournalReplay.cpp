#include "JournalReplay.h"

#include "ChangeJournal.h"
#include "FileChanges.h"
#include "JournalFormat.h"
#include "util/FileError.h"
#include "util/UserInterface.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace fs = std::filesystem;

namespace veltrane {

namespace {

using Entry = JournalFormat::Entry;
using Record = JournalFormat::Record;

QList<Entry> readRecords(const HostPath& journal)
{
    QList<Entry> records;
    QFile file(journal.child(JournalFormat::kRecordFile).toString());
    if (!file.open(QIODevice::ReadOnly))
        return records;
    while (!file.atEnd()) {
        // A line the killed program did not finish describes a change it did not begin.
        const std::optional<Entry> entry = JournalFormat::parse(file.readLine());
        if (!entry)
            break;
        records.append(*entry);
    }
    return records;
}

bool exists(const HostPath& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path.fs(), error));
}

bool isEmptyFolder(const HostPath& path)
{
    std::error_code error;
    return fs::is_directory(fs::symlink_status(path.fs(), error)) && fs::is_empty(path.fs(), error);
}

// Files a killed copy left under a passing name, which never took their names.
void removePassingNames(const HostPath& folder)
{
    static const QRegularExpression passing(u"^\\..*\\.veltrane-[0-9a-z]+$"_s);
    const QStringList names =
        QDir(folder.toString()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (passing.match(name).hasMatch()) {
            std::error_code error;
            fs::remove(folder.child(name).fs(), error);
        }
    }
}

// One undo of one journal: its records taken back from the last to the first.
class Replay {
public:
    Replay(UserInterface& ui, FileChanges& files, const HostPath& root,
           const InstallHistory::Install& install, bool askAboutChanges)
        : m_ui(ui), m_files(files), m_root(root), m_install(install), m_ask(askAboutChanges),
          m_changedText(u" has changed since the install of "_s + install.package +
                        u", by the game or by hand.\r\n"_s)
    {
    }

    JournalReplay::Result run(const QList<Entry>& records)
    {
        // What the install left at each path, from its last change of it.
        for (const Entry& entry : records) {
            if (entry.record == Record::Done)
                m_left.insert(entry.fields.value(0), entry.fields.value(1));
        }
        for (auto it = records.crbegin(); it != records.crend(); ++it)
            takeBack(*it);
        // Only a copy that was killed leaves a file under its passing name.
        if (!m_install.finished) {
            for (const QString& folder : std::as_const(m_folders))
                removePassingNames(folder.isEmpty() ? m_root : at(folder));
        }
        return m_result;
    }

private:
    void takeBack(const Entry& entry)
    {
        const QString path = entry.fields.value(0);
        switch (entry.record) {
        case Record::Note:
            if (entry.fields.size() > 1)
                m_result.beyondReach.prepend(at(entry.fields[1]).display() + u" ("_s + path + u')');
            m_result.wineRan = m_result.wineRan || path.startsWith(u"wine"_s);
            return;
        case Record::Create:
            removeMade(path);
            break;
        case Record::Replace:
        case Record::Remove:
            putBackKept(path, entry.fields.value(1), entry.record == Record::Remove);
            break;
        case Record::Rename:
            renameBack(path, entry.fields.value(1), entry.fields.value(2));
            break;
        case Record::MakeFolder:
            // What a killed copy left under a passing name would keep the folder.
            if (!m_install.finished)
                removePassingNames(at(path));
            if (isEmptyFolder(at(path)))
                attempt(path, [&] {
                    m_files.removeEntry(at(path));
                    ++m_result.removed;
                });
            break;
        case Record::RemoveFolder:
            if (!exists(at(path)))
                attempt(path, [&] {
                    m_files.makeFolder(at(path));
                    ++m_result.restored;
                });
            break;
        default:
            return;
        }
        seen(path);
    }

    void removeMade(const QString& path)
    {
        const QString now = signatureAt(path);
        if (now.isEmpty())
            return;
        if (changedSince(path, now, true) &&
            !mayOverwrite(path, u"It was added by that install. Remove it all the same?"_s))
            return;
        attempt(path, [&] {
            m_files.removeFile(at(path));
            ++m_result.removed;
        });
    }

    void putBackKept(const QString& path, const QString& number, bool removed)
    {
        // A file the install made and removed again was not kept: there is nothing to put
        // back.
        const HostPath kept = aside(number);
        if (number.isEmpty() || !exists(kept))
            return;
        if (changedSince(path, signatureAt(path), !removed) && !mayOverwrite(path, kPutBack))
            return;
        attempt(path, [&] {
            m_files.renameFile(kept, at(path));
            ++m_result.restored;
        });
    }

    void renameBack(const QString& from, const QString& to, const QString& number)
    {
        const bool goesBack =
            !changedSince(to, signatureAt(to), true) || mayOverwrite(to, kPutBack);
        if (goesBack && exists(at(to)) && !exists(at(from)))
            attempt(to, [&] { m_files.renameFile(at(to), at(from)); });
        if (goesBack && !number.isEmpty() && exists(aside(number))) {
            attempt(to, [&] {
                m_files.renameFile(aside(number), at(to));
                ++m_result.restored;
            });
        }
        seen(to);
    }

    HostPath at(const QString& relative) const
    {
        return HostPath::fromFs(
            (m_root.fs() / HostPath::fromHost(relative).fs()).lexically_normal());
    }
    HostPath aside(const QString& number) const
    {
        return m_install.journal.child(JournalFormat::kAsideFolder).child(number);
    }
    QString signatureAt(const QString& relative) const
    {
        return ChangeJournal::signatureOf(at(relative));
    }
    void seen(const QString& relative)
    {
        m_seen.insert(relative);
        m_folders.insert(relative.section(u'/', 0, -2));
    }

    // Only the install's last change of a path can meet a change made after it. `now` is the
    // path's signature today, empty when nothing is there.
    bool changedSince(const QString& relative, const QString& now, bool shouldExist) const
    {
        if (!m_ask || m_seen.contains(relative))
            return false;
        const auto last = m_left.constFind(relative);
        // A program out of the journal's reach removed it during the install.
        if (now.isEmpty() && last != m_left.cend() && last->isEmpty())
            return false;
        if (now.isEmpty() || !shouldExist)
            return now.isEmpty() == shouldExist;
        // A change that failed or was cut short left the old file or the install's own.
        return last != m_left.cend() && now != *last;
    }

    bool mayOverwrite(const QString& relative, const QString& question)
    {
        if (m_ui.askYesNo(u"The file "_s + at(relative).display() + m_changedText + question))
            return true;
        m_result.kept.append(at(relative).display());
        return false;
    }

    template <typename Work> void attempt(const QString& relative, Work work)
    {
        try {
            work();
        } catch (const FileError& error) {
            m_result.failed.append(at(relative).display() + u": "_s + error.description());
        }
    }

    inline static const QString kPutBack =
        u"Put back the file as it was before that install all the same?"_s;

    UserInterface& m_ui;
    FileChanges& m_files;
    const HostPath& m_root;
    const InstallHistory::Install& m_install;
    const bool m_ask;
    const QString m_changedText;
    JournalReplay::Result m_result;
    QHash<QString, QString> m_left;
    QSet<QString> m_seen;
    QSet<QString> m_folders;
};

} // namespace

JournalReplay::JournalReplay(UserInterface& ui, FileChanges& files, HostPath gameRoot)
    : m_ui(ui), m_files(files), m_root(std::move(gameRoot))
{
}

JournalReplay::Result JournalReplay::undo(const InstallHistory::Install& install,
                                          bool askAboutChanges)
{
    Result result =
        Replay(m_ui, m_files, m_root, install, askAboutChanges).run(readRecords(install.journal));
    if (!result.failed.isEmpty())
        return result;
    // The journal stays, for the inventory of what was installed; what it kept goes.
    try {
        ChangeJournal::markTakenBack(install.journal);
    } catch (const FileError& error) {
        result.failed.append(error.description());
        return result;
    }
    std::error_code error;
    fs::remove_all(install.journal.child(JournalFormat::kAsideFolder).fs(), error);
    return result;
}

} // namespace veltrane
