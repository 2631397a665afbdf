#pragma once

#include <QString>

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

// Replaces the record that holds the identifier's first occurrence, or appends the
// marker as the last record when the identifier does not occur (into an empty list's
// "<Record/>", opened for it).
Result splice(const QString& list, const QString& marker, const QString& identifier);

} // namespace RouteListSplice

} // namespace veltrane
