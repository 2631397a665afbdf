#include "JournalReplay.h"

#include "journal/ChangeJournal.h"
#include "journal/FileOps.h"
#include "journal/JournalFormat.h"
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

struct Record {
    QString what;
    QStringList fields;
};

QList<Record> readRecords(const HostPath& journal)
{
    QList<Record> records;
    QFile file(journal.child(JournalFormat::kRecordFile).toString());
    if (!file.open(QIODevice::ReadOnly))
        return records;
    while (!file.atEnd()) {
        const QStringList fields = JournalFormat::fields(file.readLine());
        // A line the killed program did not finish describes a change it did not begin.
        if (fields.isEmpty())
            break;
        records.append({fields.first(), fields.mid(1)});
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

} // namespace

JournalReplay::JournalReplay(UserInterface& ui, HostPath gameRoot)
    : m_ui(ui), m_root(std::move(gameRoot))
{
}

JournalReplay::Result JournalReplay::undo(const InstallHistory::Install& install,
                                          bool askAboutChanges)
{
    Result result;
    const QList<Record> records = readRecords(install.journal);
    const auto at = [this](const QString& relative) {
        return HostPath::fromFs(
            (m_root.fs() / HostPath::fromHost(relative).fs()).lexically_normal());
    };
    const auto aside = [&install](const QString& number) {
        return install.journal.child(JournalFormat::kAsideFolder).child(number);
    };
    // What the install left at each path, from its last change of it.
    QHash<QString, QString> left;
    for (const Record& record : records) {
        if (record.what == u"done"_s)
            left.insert(record.fields.value(0), record.fields.value(1));
    }

    QSet<QString> seen;
    QSet<QString> folders;
    // Only the install's last change of a path can meet a change made after it. `now` is the
    // path's signature today, empty when nothing is there.
    const auto changedSince = [&](const QString& relative, const QString& now, bool shouldExist) {
        if (!askAboutChanges || seen.contains(relative))
            return false;
        if (now.isEmpty() || !shouldExist)
            return now.isEmpty() == shouldExist;
        // A change that failed or was cut short left the old file or the install's own.
        const auto last = left.constFind(relative);
        return last != left.cend() && now != *last;
    };
    const auto signatureAt = [&](const QString& relative) {
        return ChangeJournal::signatureOf(at(relative));
    };
    const auto mayOverwrite = [&](const QString& relative, const QString& question) {
        if (m_ui.askYesNo(question))
            return true;
        result.kept.append(at(relative).display());
        return false;
    };
    const auto attempt = [&](const QString& relative, auto&& work) {
        try {
            work();
        } catch (const FileError& error) {
            result.failed.append(at(relative).display() + u": "_s + error.description());
        }
    };
    const QString changedText = u" has changed since the install of "_s + install.package +
                                u", by the game or by hand.\r\n"_s;

    for (auto it = records.crbegin(); it != records.crend(); ++it) {
        const QString& what = it->what;
        const QString path = it->fields.value(0);
        if (what == u"note"_s) {
            result.wineRan = result.wineRan || path.startsWith(u"wine"_s);
            continue;
        }
        if (what == u"create"_s) {
            const QString now = signatureAt(path);
            if (!now.isEmpty() &&
                (!changedSince(path, now, true) ||
                 mayOverwrite(path, u"The file "_s + at(path).display() + changedText +
                                        u"It was added by that install. Remove it all the "
                                        u"same?"_s))) {
                attempt(path, [&] {
                    FileOps::removeFile(at(path));
                    ++result.removed;
                });
            }
        } else if (what == u"replace"_s || what == u"remove"_s) {
            // A file the install made and removed again was not kept: there is nothing to put
            // back.
            const QString number = it->fields.value(1);
            const HostPath kept = aside(number);
            const bool removed = what == u"remove"_s;
            if (!number.isEmpty() && exists(kept) &&
                (!changedSince(path, signatureAt(path), !removed) ||
                 mayOverwrite(path, u"The file "_s + at(path).display() + changedText +
                                        u"Put back the file as it was before that install all "
                                        u"the same?"_s))) {
                attempt(path, [&] {
                    FileOps::renameFile(kept, at(path));
                    ++result.restored;
                });
            }
        } else if (what == u"rename"_s) {
            const QString to = it->fields.value(1);
            const bool goesBack =
                !changedSince(to, signatureAt(to), true) ||
                mayOverwrite(to, u"The file "_s + at(to).display() + changedText +
                                     u"Put back the file as it was before that install all the "
                                     u"same?"_s);
            if (goesBack && exists(at(to)) && !exists(at(path)))
                attempt(to, [&] { FileOps::renameFile(at(to), at(path)); });
            const QString number = it->fields.value(2);
            if (goesBack && !number.isEmpty() && exists(aside(number))) {
                attempt(to, [&] {
                    FileOps::renameFile(aside(number), at(to));
                    ++result.restored;
                });
            }
            seen.insert(to);
            folders.insert(to.section(u'/', 0, -2));
        } else if (what == u"mkdir"_s) {
            if (isEmptyFolder(at(path))) {
                attempt(path, [&] {
                    FileOps::removeEntry(at(path));
                    ++result.removed;
                });
            }
        } else if (what == u"rmdir"_s) {
            if (!exists(at(path))) {
                attempt(path, [&] {
                    FileOps::makeFolder(at(path));
                    ++result.restored;
                });
            }
        } else {
            continue;
        }
        seen.insert(path);
        folders.insert(path.section(u'/', 0, -2));
    }

    for (const QString& folder : std::as_const(folders))
        removePassingNames(folder.isEmpty() ? m_root : at(folder));
    if (result.failed.isEmpty()) {
        std::error_code error;
        fs::remove_all(install.journal.fs(), error);
    }
    return result;
}

} // namespace veltrane
