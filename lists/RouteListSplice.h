#pragma once

#include <QString>
#include <optional>

namespace veltrane {

// The text work of a route install: the values read from the route marker and the new
// route list. All searches ignore letter case. A text that does not have the expected
// shape yields a problem instead of a damaged list.
namespace RouteListSplice {

struct Result {
    QString text;    // the value or the new list
    QString problem; // empty on success; otherwise what is wrong with the input
    bool ok() const { return problem.isEmpty(); }
};

// The text of the first element of that tag: from the last ">" before its closing tag.
Result elementText(const QString& marker, const QString& tag);
inline Result routeName(const QString& marker)
{
    return elementText(marker, QStringLiteral("English"));
}
Result routeIdentifier(const QString& marker);

// Why the marker is not exactly one complete route record, as it must be to be pasted into
// the list; ok() when it is.
Result markerProblem(const QString& marker);

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
