#include "JournalCheck.h"

#include "JournalFormat.h"
#include "util/OwnFolder.h"
#include "util/PathGuard.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace fs = std::filesystem;

namespace veltrane {

namespace {

using Record = JournalFormat::Record;

const QString kSetAsideFolder = u"set-aside"_s;

// A path of a record: relative, "/"-separated, inside the game, not the program's folder.
bool isGamePath(const QString& path)
{
    return !path.contains(u'\\') && PathGuard::isContainedRelative(path) &&
           !OwnFolder::isOwnName(path.section(u'/', 0, 0));
}

// A number as this program writes it: an install's, or a kept file's.
bool isPositiveNumber(const QString& number, bool mayBeEmpty)
{
    if (number.isEmpty())
        return mayBeEmpty;
    bool ok = false;
    return number.size() <= 9 && number.toInt(&ok) > 0 && ok &&
           number == QString::number(number.toInt());
}

bool sameFolder(const HostPath& recorded, const HostPath& game)
{
    if (recorded.fs().lexically_normal() == game.fs().lexically_normal())
        return true;
    std::error_code error;
    return fs::equivalent(recorded.fs(), game.fs(), error);
}

// The fields a record of each kind holds, and which of them are paths and aside numbers.
QString problemOf(const JournalFormat::Entry& entry)
{
    const QStringList& f = entry.fields;
    const auto paths = [&](std::initializer_list<int> at) {
        return std::all_of(at.begin(), at.end(), [&](int i) { return isGamePath(f.value(i)); });
    };
    switch (entry.record) {
    case Record::Create:
    case Record::MakeFolder:
    case Record::RemoveFolder:
    case Record::Dropped:
        return f.size() == 1 && paths({0}) ? QString() : u"a path outside the game"_s;
    case Record::Replace:
        return f.size() == 2 && paths({0}) && isPositiveNumber(f[1], false)
                   ? QString()
                   : u"a replaced file recorded wrongly"_s;
    case Record::Remove:
        return f.size() == 2 && paths({0}) && isPositiveNumber(f[1], true)
                   ? QString()
                   : u"a removed file recorded wrongly"_s;
    case Record::Rename:
        return f.size() == 3 && paths({0, 1}) && isPositiveNumber(f[2], true)
                   ? QString()
                   : u"a rename recorded wrongly"_s;
    case Record::Done:
        return f.size() == 2 && paths({0}) ? QString() : u"a change recorded wrongly"_s;
    case Record::Owner:
        return f.size() == 2 && paths({0}) && isPositiveNumber(f[1], true)
                   ? QString()
                   : u"an owner recorded wrongly"_s;
    case Record::ListRecord:
        return f.size() == 4 && paths({0}) &&
                       QStringList{u"added"_s, u"replaced"_s, u"removed"_s}.contains(f[1])
                   ? QString()
                   : u"a list record recorded wrongly"_s;
    case Record::Id:
        return f.size() == 1 && isPositiveNumber(f[0], false)
                   ? QString()
                   : u"an install number recorded wrongly"_s;
    case Record::Title:
    case Record::Note:
    case Record::End:
    case Record::TakenBack:
        return {};
    default:
        return u"a second header"_s;
    }
}

// The numbers of the files kept aside that the records name.
QStringList asideNumbers(const JournalFormat::Entry& entry)
{
    switch (entry.record) {
    case Record::Replace:
    case Record::Remove:
        return {entry.fields.value(1)};
    case Record::Rename:
        return {entry.fields.value(2)};
    default:
        return {};
    }
}

} // namespace

Expected<void> JournalCheck::check(const InstallHistory::Install& install, const HostPath& game)
{
    const auto refused = [&](const QString& why) {
        return failure(u"The journal "_s + install.journal.display() + u" cannot be used: "_s +
                       why + u'.');
    };
    const HostPath journals = OwnFolder::in(game).child(JournalFormat::kJournalsFolder);
    if (!PathGuard::leadsInto(install.journal, journals, PathGuard::LastName::Follow))
        return refused(u"its folder leads out of the game's journals"_s);
    QFile file(install.journal.child(JournalFormat::kRecordFile).toString());
    if (!QFileInfo(file.fileName()).isFile() || !file.open(QIODevice::ReadOnly))
        return refused(u"it cannot be read"_s);
    const HostPath aside = install.journal.child(JournalFormat::kAsideFolder);
    // The header: the journal's mark, then the game it was kept for.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const bool last = n + 1 == lines.size();
        // A line the killed program did not finish describes a change it did not begin.
        if (last)
            break;
        const std::optional<JournalFormat::Entry> entry = JournalFormat::parse(lines[n] + '\n');
        const QString line = u"line "_s + QString::number(n + 1);
        if (!entry)
            return refused(line + u" is of no known kind"_s);
        if (n == 0) {
            if (entry->record != Record::Magic ||
                entry->fields.value(0) != QString::number(JournalFormat::kVersion))
                return refused(u"it is not a journal of this program"_s);
            continue;
        }
        if (n <= 4) {
            const Record expected[] = {Record::Game, Record::Package, Record::Kind,
                                       Record::Started};
            if (entry->record != expected[n - 1])
                return refused(u"its header is damaged"_s);
            if (n == 1 && !sameFolder(HostPath::fromHost(entry->fields.value(0)), game))
                return refused(u"it was kept for another game folder, "_s +
                               HostPath::fromHost(entry->fields.value(0)).display());
            continue;
        }
        if (const QString problem = problemOf(*entry); !problem.isEmpty())
            return refused(line + u" holds "_s + problem);
        for (const QString& number : asideNumbers(*entry)) {
            if (!number.isEmpty() &&
                !PathGuard::leadsInto(aside.child(number), aside, PathGuard::LastName::Keep))
                return refused(u"a file it kept aside lies outside its folder"_s);
        }
    }
    if (lines.size() < 6)
        return refused(u"its header is incomplete"_s);
    return {};
}

Expected<HostPath> JournalCheck::setAside(const InstallHistory::Install& install,
                                          const HostPath& game)
{
    const HostPath folder = OwnFolder::in(game).child(kSetAsideFolder);
    std::error_code error;
    fs::create_directories(folder.fs(), error);
    const HostPath target =
        folder.child(install.journal.fileName() + u'-' +
                     QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd-HHmmss-zzz"_s));
    if (!error)
        fs::rename(install.journal.fs(), target.fs(), error);
    if (!error)
        return target;
    // Never to be replayed, whatever it takes: a link is removed, not followed.
    std::error_code ignored;
    fs::remove_all(install.journal.fs(), ignored);
    return failure(QString::fromLocal8Bit(error.message()));
}

} // namespace veltrane
