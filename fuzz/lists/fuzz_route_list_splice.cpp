// Reads a route marker and splices it into a route list. The input is the list, a NUL byte
// and the marker; without a NUL byte the whole input serves as both.
#include "fuzz/FuzzRequire.h"
#include "lists/EmptyRecordList.h"
#include "lists/RouteListSplice.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

qsizetype commonPrefix(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

qsizetype commonSuffix(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < n && a[a.size() - 1 - i] == b[b.size() - 1 - i])
        ++i;
    return i;
}

// Whether `result` is `list` with one stretch of `removed` characters taken out and
// `inserted` put in its place, for a stretch that `acceptable` agrees to. Where the texts
// repeat themselves more than one stretch fits; any acceptable one will do.
bool isOneEdit(const QString& list, const QString& result, const QString& inserted,
               qsizetype removed, const std::function<bool(qsizetype, const QString&)>& acceptable)
{
    if (result.size() != list.size() - removed + inserted.size() || removed < 0)
        return false;
    const qsizetype prefix = commonPrefix(list, result);
    const qsizetype suffix = commonSuffix(list, result);
    const qsizetype first = std::max<qsizetype>(0, result.size() - inserted.size() - suffix);
    const qsizetype last = std::min(prefix, result.size() - inserted.size());
    for (qsizetype at = first; at <= last; ++at) {
        if (QStringView(result).mid(at, inserted.size()) == inserted &&
            acceptable(at, list.mid(at, removed)))
            return true;
    }
    return false;
}

void checkElement(const QString& marker, const QString& tag)
{
    const RouteListSplice::Result value = RouteListSplice::elementText(marker, tag);
    if (!value.ok())
        return;
    REQUIRE(!value.value().contains(u'>'));
    REQUIRE(marker.contains(value.value() + u"</"_s + tag, Qt::CaseInsensitive));
}

// An empty list's only "<Record/>" becomes an opening tag, a line end, blanks and the
// closing tag, all in the name's own letter case; nothing else changes.
QString checkedOpened(const QString& list)
{
    const auto opened = EmptyRecordList::opened(list);
    const QString selfClosing = u"<Record/>"_s;
    const qsizetype at = list.indexOf(selfClosing, 0, Qt::CaseInsensitive);
    if (!opened) {
        REQUIRE(at < 0 || list.indexOf(selfClosing, at + 1, Qt::CaseInsensitive) >= 0 ||
                list.contains(u"</Record"_s, Qt::CaseInsensitive));
        return list;
    }
    REQUIRE(at >= 0 && !list.contains(u"</Record"_s, Qt::CaseInsensitive));
    const QString tail = list.mid(at + selfClosing.size());
    REQUIRE(opened->startsWith(list.left(at)) && opened->endsWith(tail));
    const QString name = list.mid(at + 1, 6);
    const QString between = opened->mid(at, opened->size() - at - tail.size());
    const QString open = u'<' + name + u">\r\n"_s;
    const QString close = u"</"_s + name + u'>';
    REQUIRE(between.startsWith(open) && between.endsWith(close));
    const QString blanks = between.mid(open.size(), between.size() - open.size() - close.size());
    REQUIRE(std::all_of(blanks.cbegin(), blanks.cend(),
                        [](QChar c) { return c == u'\t' || c == u' '; }));
    return *opened;
}

void appendChecked(const QString& list, const QString& marker,
                   const RouteListSplice::Result& spliced)
{
    const QString inserted = marker + u'\t';
    const qsizetype removed = list.size() + inserted.size() - spliced.value().size();
    REQUIRE(isOneEdit(list, spliced.value(), inserted, removed,
                      [](qsizetype, const QString& cut) { return !cut.contains(u'>'); }));
    const qsizetype close = list.lastIndexOf(u"</Record"_s, -1, Qt::CaseInsensitive);
    REQUIRE(close >= 0 && spliced.value().endsWith(list.mid(close)));
}

void checkSplice(const QString& list, const QString& marker, const QString& identifier)
{
    const RouteListSplice::Result spliced = RouteListSplice::splice(list, marker, identifier);
    if (!spliced.ok()) {
        return;
    }
    REQUIRE(!identifier.isEmpty());
    if (!list.contains(identifier, Qt::CaseInsensitive)) {
        // A new route: the marker and one TAB go in, in place of no more than the closing
        // line's indentation, right before the list's closing tag, once an empty list is
        // opened.
        appendChecked(checkedOpened(list), marker, spliced);
        return;
    }
    // A known route: exactly one whole record, the one where the identifier first occurs,
    // makes way. (An identifier may run on past the record's closing tag.)
    const qsizetype found = list.indexOf(identifier, 0, Qt::CaseInsensitive);
    const qsizetype removed = list.size() + marker.size() - spliced.value().size();
    REQUIRE(
        isOneEdit(list, spliced.value(), marker, removed, [&](qsizetype at, const QString& cut) {
            const QString record = cut.trimmed();
            return at <= found && found < at + cut.size() &&
                   record.startsWith(u"<cRouteProperties"_s, Qt::CaseInsensitive) &&
                   record.endsWith(u"</cRouteProperties>"_s, Qt::CaseInsensitive) &&
                   record.indexOf(u"</cRouteProperties>"_s, 0, Qt::CaseInsensitive) ==
                       record.size() - 19;
        }));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype nul = bytes.indexOf('\0');
    const QString list = QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
    const QString marker = QString::fromUtf8(nul < 0 ? bytes : bytes.mid(nul + 1));

    checkElement(marker, u"English"_s);
    checkElement(marker, u"DevString"_s);
    const RouteListSplice::Result name = RouteListSplice::routeName(marker);
    REQUIRE(name.ok() == RouteListSplice::elementText(marker, u"English"_s).ok());
    const RouteListSplice::Result id = RouteListSplice::routeIdentifier(marker);
    if (id.ok())
        REQUIRE(!id.value().trimmed().isEmpty());

    if (id.ok())
        checkSplice(list, marker, id.value());
    // The marker's first line stands in as an identifier that may well be found.
    checkSplice(list, marker, marker.section(u'\n', 0, 0).left(40));
    return 0;
}
