#pragma once

#include "util/Expected.h"

#include <QString>
#include <optional>

namespace veltrane {

// The text work of a route install: the values read from the route marker and the new
// route list. All searches ignore letter case. A text that does not have the expected
// shape yields a failure saying what is wrong instead of a damaged list.
namespace RouteListSplice {

using Result = Expected<QString>;

// The text of the first element of that tag: from the last ">" before its closing tag.
Result elementText(const QString& marker, const QString& tag);
inline Result routeName(const QString& marker)
{
    return elementText(marker, QStringLiteral("English"));
}
Result routeIdentifier(const QString& marker);

// Whether the marker is exactly one complete route record, as it must be to be pasted into
// the list; the failure says why not.
Expected<void> checkMarker(const QString& marker);

// The record that holds the identifier's first occurrence, its place 0-based from its
// opening tag to the start of its closing tag; start is -1 when the identifier occurs outside
// every record. Nothing when the identifier does not occur.
struct Record {
    qsizetype start = -1;
    qsizetype end = -1;
    QString identifier; // the record's own DevString
    QString name;       // and its English name
};
std::optional<Record> recordHolding(const QString& list, const QString& identifier);

enum class Placement {
    ReplaceRecord, // the record that holds the identifier, when there is one
    AsNewRoute,    // always as the last record
};

// Replaces the record that holds the identifier's first occurrence, or appends the marker
// as the last record when the identifier does not occur or the placement says so (into an
// empty list's "<Record/>", opened for it).
Result splice(const QString& list, const QString& marker, const QString& identifier,
              Placement placement = Placement::ReplaceRecord);

} // namespace RouteListSplice

} // namespace veltrane
