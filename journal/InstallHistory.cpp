#include "InstallHistory.h"

#include "journal/JournalFormat.h"
#include "util/OwnFolder.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Record = JournalFormat::Record;

// The records that tell how an install ended lie in the journal's last lines: only so much
// of a long journal is read for them.
constexpr qint64 kTail = 4096;
// The header's records, with the install's number after them.
constexpr int kHeadLines = 8;

HostPath journalsOf(const HostPath& root)
{
    return OwnFolder::in(root).child(JournalFormat::kJournalsFolder);
}

void take(InstallHistory::Install& install, const JournalFormat::Entry& entry)
{
    const QString first = entry.fields.value(0);
    switch (entry.record) {
    case Record::Package:
        install.package = first;
        break;
    case Record::Kind:
        install.kind = first;
        break;
    case Record::Started:
        install.started = QDateTime::fromString(first, Qt::ISODate);
        break;
    case Record::Id:
        install.id = first.toInt();
        break;
    case Record::End:
        install.finished = true;
        break;
    case Record::TakenBack:
        install.takenBack = true;
        break;
    default:
        break;
    }
}

std::optional<InstallHistory::Install> readHeader(const HostPath& folder)
{
    QFile file(folder.child(JournalFormat::kRecordFile).toString());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    InstallHistory::Install install;
    install.journal = folder;
    bool known = false;
    for (int n = 0; n < kHeadLines && !file.atEnd(); ++n) {
        const std::optional<JournalFormat::Entry> entry = JournalFormat::parse(file.readLine());
        if (!entry)
            break;
        known = known || entry->record == Record::Magic;
        take(install, *entry);
    }
    if (!known)
        return std::nullopt;
    // Read from the byte before the tail: what comes before its first line end is part of a
    // line, or nothing when the tail begins with a line.
    const qint64 headEnd = file.pos();
    const qint64 from = file.size() - kTail > headEnd ? file.size() - kTail - 1 : headEnd;
    if (file.seek(from)) {
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (qsizetype i = from > headEnd ? 1 : 0; i + 1 < lines.size(); ++i) {
            if (const auto entry = JournalFormat::parse(lines[i] + '\n'))
                take(install, *entry);
        }
    }
    std::error_code error;
    install.undoable =
        std::filesystem::is_directory(folder.child(JournalFormat::kAsideFolder).fs(), error);
    return install;
}

} // namespace

InstallHistory::InstallHistory(HostPath gameRoot) : m_root(std::move(gameRoot)) {}

HostPath InstallHistory::journals() const
{
    return journalsOf(m_root);
}

QStringList InstallHistory::journalNames() const
{
    // Named by the time they began, so that names sort as the installs were made.
    return QDir(journals().toString()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QList<InstallHistory::Install> InstallHistory::installs() const
{
    QList<Install> found;
    const QStringList names = journalNames();
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        if (auto install = readHeader(journals().child(*name)); install && !install->takenBack)
            found.append(*install);
    }
    return found;
}

std::optional<InstallHistory::Install> InstallHistory::interrupted() const
{
    const QStringList names = journalNames();
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        std::optional<Install> newest = readHeader(journals().child(*name));
        if (!newest)
            continue;
        if (newest->finished || newest->takenBack)
            return std::nullopt;
        return newest;
    }
    return std::nullopt;
}

std::optional<InstallHistory::Install> InstallHistory::install(const QString& journalName) const
{
    if (journalName.isEmpty() || journalName.contains(u'/') || journalName.startsWith(u'.'))
        return std::nullopt;
    return readHeader(journals().child(journalName));
}

HostPath InstallHistory::newJournal() const
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd-HHmmss-zzz"_s);
    HostPath folder = journals().child(stamp);
    for (int n = 1; QFile::exists(folder.toString()); ++n)
        folder = journals().child(stamp + u'-' + QString::number(n));
    return folder;
}

QString InstallHistory::describe(const Install& install)
{
    const QString when = QLocale().toString(install.started.toLocalTime(), QLocale::LongFormat);
    return install.package + u" ("_s + install.kind + u"), "_s + when +
           (install.finished ? QString() : u", cut short"_s);
}

} // namespace veltrane
