#include "BatchWildcard.h"

#include <algorithm>
#include <vector>

namespace veltrane {

namespace {

bool sameLetter(QChar a, QChar b)
{
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

// May the "?" at index i of the pattern stand for no character? Only when nothing but
// further "?" lie between it and a dot or the end.
bool questionMayBeEmpty(QStringView pattern, qsizetype i)
{
    for (qsizetype k = i; k < pattern.size(); ++k) {
        if (pattern[k] == u'.')
            return true;
        if (pattern[k] != u'?')
            return false;
    }
    return true;
}

// Dynamic programming over pattern and name: linear memory, no backtracking blow-up.
bool glob(QStringView pattern, QStringView name)
{
    const qsizetype n = name.size();
    // row[j]: the pattern read so far matches the first j characters of name.
    std::vector<char> row(size_t(n) + 1, 0);
    std::vector<char> next(size_t(n) + 1, 0);
    row[0] = 1;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar p = pattern[i];
        std::fill(next.begin(), next.end(), 0);
        if (p == u'*') {
            bool any = false;
            for (qsizetype j = 0; j <= n; ++j) {
                any = any || row[size_t(j)] != 0;
                next[size_t(j)] = any ? 1 : 0;
            }
        } else {
            const bool mayBeEmpty = p == u'?' && questionMayBeEmpty(pattern, i);
            for (qsizetype j = 0; j <= n; ++j) {
                if (!row[size_t(j)])
                    continue;
                if (mayBeEmpty)
                    next[size_t(j)] = 1;
                if (j < n && (p == u'?' || sameLetter(p, name[j])))
                    next[size_t(j) + 1] = 1;
            }
        }
        row.swap(next);
    }
    return row[size_t(n)] != 0;
}

} // namespace

bool BatchWildcard::hasWildcards(QStringView text)
{
    return text.contains(u'*') || text.contains(u'?');
}

bool BatchWildcard::matches(QStringView pattern, QStringView name)
{
    if (name.isEmpty())
        return false;
    if (glob(pattern, name))
        return true;
    // "x.*" also matches "x"; "x." matches "x" only when "x" has no dot of its own.
    if (pattern.endsWith(u".*"))
        return !name.contains(u'.') && glob(pattern.chopped(2), name);
    if (pattern.endsWith(u'.') && pattern.size() > 1)
        return !name.contains(u'.') && glob(pattern.chopped(1), name);
    return false;
}

BatchWildcard::Matcher::Matcher(QString pattern)
    : m_pattern(std::move(pattern)),
      // A trailing dot has a rule of its own; everything else without wildcards is one name.
      m_plain(!hasWildcards(m_pattern) && !m_pattern.endsWith(u'.'))
{
}

bool BatchWildcard::Matcher::matches(QStringView name) const
{
    if (!m_plain)
        return BatchWildcard::matches(m_pattern, name);
    if (name.size() != m_pattern.size() || name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!sameLetter(m_pattern[i], name[i]))
            return false;
    }
    return true;
}

QString BatchWildcard::rename(QStringView mask, QStringView name)
{
    QString result;
    qsizetype pos = 0;
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar m = mask[i];
        if (m == u'?') {
            if (pos < n && name[pos] != u'.')
                result += name[pos++];
        } else if (m == u'*') {
            if (i + 1 == mask.size()) {
                result += name.mid(pos);
                pos = n;
            } else if (mask[i + 1] != u'*' && mask[i + 1] != u'?') {
                // Up to the last occurrence of the character that follows the star.
                const QChar stop = mask[i + 1];
                qsizetype found = -1;
                for (qsizetype k = n - 1; k >= pos; --k) {
                    if (sameLetter(name[k], stop)) {
                        found = k;
                        break;
                    }
                }
                const qsizetype end = found < 0 ? n : found;
                result += name.mid(pos, end - pos);
                pos = end;
            }
        } else if (m == u'.') {
            result += u'.';
            const qsizetype dot = name.indexOf(u'.', pos);
            pos = dot < 0 ? n : dot + 1;
        } else {
            result += m;
            if (pos < n && name[pos] != u'.')
                ++pos;
        }
    }
    while (!result.isEmpty() && (result.back() == u'.' || result.back() == u' '))
        result.chop(1);
    return result;
}

} // namespace veltrane
