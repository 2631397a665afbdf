#include "JournalFormat.h"

#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Record = JournalFormat::Record;

// The one place where each kind of record is spelt, for the writer and every reader.
constexpr std::array<std::pair<Record, QStringView>, 20> kWords{{
    {Record::Magic, u"veltrane-journal"},
    {Record::Game, u"game"},
    {Record::Package, u"package"},
    {Record::Kind, u"kind"},
    {Record::Started, u"started"},
    {Record::Id, u"id"},
    {Record::Title, u"title"},
    {Record::ListRecord, u"record"},
    {Record::Owner, u"owner"},
    {Record::Create, u"create"},
    {Record::Replace, u"replace"},
    {Record::Rename, u"rename"},
    {Record::MakeFolder, u"mkdir"},
    {Record::RemoveFolder, u"rmdir"},
    {Record::Remove, u"remove"},
    {Record::Dropped, u"dropped"},
    {Record::Note, u"note"},
    {Record::Done, u"done"},
    {Record::End, u"end"},
    {Record::TakenBack, u"undone"},
}};

QStringView wordOf(Record record)
{
    for (const auto& [kind, word] : kWords) {
        if (kind == record)
            return word;
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace

bool JournalFormat::isChange(Record record)
{
    switch (record) {
    case Record::Create:
    case Record::Replace:
    case Record::Rename:
    case Record::MakeFolder:
    case Record::RemoveFolder:
    case Record::Remove:
    case Record::Dropped:
    case Record::Note:
        return true;
    default:
        return false;
    }
}

QByteArray JournalFormat::line(Record record, const QStringList& fields)
{
    QByteArray out = wordOf(record).toUtf8();
    for (const QString& field : fields)
        out += '\t' + field.toUtf8().toPercentEncoding();
    return out + '\n';
}

std::optional<JournalFormat::Entry> JournalFormat::parse(QByteArrayView line)
{
    if (!line.endsWith('\n'))
        return std::nullopt;
    QList<QByteArray> parts = line.chopped(1).toByteArray().split('\t');
    const QString word = QString::fromUtf8(parts.takeFirst());
    for (const auto& [kind, spelt] : kWords) {
        if (spelt != word)
            continue;
        Entry entry{kind, {}};
        for (const QByteArray& part : std::as_const(parts))
            entry.fields.append(QString::fromUtf8(QByteArray::fromPercentEncoding(part)));
        return entry;
    }
    return std::nullopt;
}

} // namespace veltrane
