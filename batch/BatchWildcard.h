#pragma once

#include <QString>
#include <QStringView>

namespace veltrane {

// The wildcards of Windows file names, without regard to letter case: "*" stands for any
// run of characters, "?" for one (or none, at the end of a name or in front of a dot).
// "*.*" matches every name, also one without a dot, and "*." the names without one.
namespace BatchWildcard {

bool hasWildcards(QStringView text);
bool matches(QStringView pattern, QStringView name);
// The new name that REN gives to name under a mask such as "*.bak" or "new.*".
QString rename(QStringView mask, QStringView name);

} // namespace BatchWildcard

} // namespace veltrane
