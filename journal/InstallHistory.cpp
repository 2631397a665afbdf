#include "InstallHistory.h"

#include "journal/JournalFormat.h"
#include "util/OwnFolder.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

HostPath journalsOf(const HostPath& root)
{
    return OwnFolder::in(root).child(JournalFormat::kJournalsFolder);
}

std::optional<InstallHistory::Install> readHeader(const HostPath& folder)
{
    QFile file(folder.child(JournalFormat::kRecordFile).toString());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    InstallHistory::Install install;
    install.journal = folder;
    bool known = false;
    using Record = JournalFormat::Record;
    while (!file.atEnd()) {
        const std::optional<JournalFormat::Entry> entry = JournalFormat::parse(file.readLine());
        if (!entry)
            continue;
        const QString first = entry->fields.value(0);
        switch (entry->record) {
        case Record::Magic:
            known = true;
            break;
        case Record::Package:
            install.package = first;
            break;
        case Record::Kind:
            install.kind = first;
            break;
        case Record::Started:
            install.started = QDateTime::fromString(first, Qt::ISODate);
            break;
        case Record::End:
            install.finished = true;
            break;
        default:
            break;
        }
    }
    return known ? std::optional(install) : std::nullopt;
}

} // namespace

InstallHistory::InstallHistory(HostPath gameRoot) : m_root(std::move(gameRoot)) {}

QList<InstallHistory::Install> InstallHistory::installs() const
{
    QList<Install> found;
    const QDir folder(journalsOf(m_root).toString());
    // Named by the time they began, so that names sort as the installs were made.
    const QStringList names = folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        if (auto install = readHeader(journalsOf(m_root).child(*name)))
            found.append(*install);
    }
    return found;
}

std::optional<InstallHistory::Install> InstallHistory::interrupted() const
{
    const QList<Install> all = installs();
    if (all.isEmpty() || all.first().finished)
        return std::nullopt;
    return all.first();
}

HostPath InstallHistory::newJournal() const
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd-HHmmss-zzz"_s);
    HostPath folder = journalsOf(m_root).child(stamp);
    for (int n = 1; QFile::exists(folder.toString()); ++n)
        folder = journalsOf(m_root).child(stamp + u'-' + QString::number(n));
    return folder;
}

void InstallHistory::prune() const
{
    const QList<Install> all = installs();
    for (qsizetype i = kKept; i < all.size(); ++i) {
        std::error_code error;
        std::filesystem::remove_all(all[i].journal.fs(), error);
    }
}

QString InstallHistory::describe(const Install& install)
{
    const QString when = QLocale().toString(install.started.toLocalTime(), QLocale::LongFormat);
    return install.package + u" ("_s + install.kind + u"), "_s + when +
           (install.finished ? QString() : u", cut short"_s);
}

} // namespace veltrane
