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

// A pattern made ready once for the many names of a walk through folders.
class Matcher {
public:
    explicit Matcher(QString pattern);
    bool matches(QStringView name) const;
    // The one length a matching name has, when the pattern is a plain name; -1 otherwise.
    qsizetype onlyLength() const { return m_plain ? m_pattern.size() : -1; }

private:
    QString m_pattern;
    bool m_plain;
};

// The new name that REN gives to name under a mask such as "*.bak" or "new.*".
QString rename(QStringView mask, QStringView name);

} // namespace BatchWildcard

} // namespace veltrane
