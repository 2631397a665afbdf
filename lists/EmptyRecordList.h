#pragma once

#include <QString>
#include <optional>

namespace veltrane {

// A route or scenario list with no entries is written as a single self-closing
// "<Record/>", which has no closing tag for a new entry to go before. Opened, it takes the
// form a list with entries has: "<Record>", a line end, the same indentation and
// "</Record>".
namespace EmptyRecordList {

// The list with its "<Record/>" opened when it has no "</Record" and exactly one
// "<Record/>" (any letter case); otherwise nothing, and the list is used as it is.
std::optional<QString> opened(const QString& list);

} // namespace EmptyRecordList

} // namespace veltrane
