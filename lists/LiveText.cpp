#include "LiveText.h"

#include <algorithm>
#include <iterator>

namespace veltrane {

QList<LiveText::Stretch>::const_iterator LiveText::firstEndingAfter(qsizetype position) const
{
    return std::upper_bound(m_removed.cbegin(), m_removed.cend(), position,
                            [](qsizetype p, const Stretch& stretch) { return p < stretch.end; });
}

bool LiveText::isKept(qsizetype at, qsizetype length) const
{
    const auto removed = firstEndingAfter(at);
    return removed == m_removed.cend() || removed->begin >= at + length;
}

qsizetype LiveText::firstFrom(const QByteArrayMatcher& matcher, qsizetype from) const
{
    const qsizetype length = matcher.pattern().size();
    qsizetype at = matcher.indexIn(m_text, from);
    while (at >= 0) {
        const auto removed = firstEndingAfter(at);
        if (removed == m_removed.cend() || removed->begin >= at + length)
            return at;
        at = matcher.indexIn(m_text, at < removed->begin ? at + 1 : removed->end);
    }
    return -1;
}

qsizetype LiveText::firstKept(const QList<qsizetype>& places, qsizetype length) const
{
    for (const qsizetype at : places) {
        if (isKept(at, length))
            return at;
    }
    return -1;
}

qsizetype LiveText::lastStartingBy(const QByteArray& pattern, qsizetype latest) const
{
    while (latest >= 0) {
        const qsizetype at = m_text.lastIndexOf(pattern, latest);
        if (at < 0)
            return -1;
        const auto removed = firstEndingAfter(at);
        if (removed == m_removed.cend() || removed->begin >= at + pattern.size())
            return at;
        latest = at >= removed->begin ? removed->begin - 1 : at - 1;
    }
    return -1;
}

QList<qsizetype> LiveText::keptFrom(qsizetype from, qsizetype count) const
{
    QList<qsizetype> places;
    auto removed = firstEndingAfter(from);
    for (qsizetype at = from; at < m_text.size() && places.size() < count;) {
        if (removed != m_removed.cend() && removed->begin <= at) {
            at = removed->end;
            ++removed;
            continue;
        }
        places.append(at++);
    }
    return places;
}

void LiveText::remove(qsizetype begin, qsizetype end)
{
    auto first = std::lower_bound(
        m_removed.begin(), m_removed.end(), begin,
        [](const Stretch& stretch, qsizetype position) { return stretch.end < position; });
    auto last = first;
    while (last != m_removed.end() && last->begin <= end) {
        begin = qMin(begin, last->begin);
        end = qMax(end, last->end);
        ++last;
    }
    first = m_removed.erase(first, last);
    m_removed.insert(first, Stretch{begin, end});
}

QByteArray LiveText::windowAround(qsizetype position, qsizetype reach, qsizetype* joinOffset) const
{
    const auto stretch = firstEndingAfter(position);
    QByteArray before;
    qsizetype at = stretch->begin;
    auto previous = stretch;
    while (before.size() < reach && at > 0) {
        if (previous != m_removed.cbegin() && std::prev(previous)->end == at) {
            --previous;
            at = previous->begin;
            continue;
        }
        before.prepend(m_text[--at]);
    }
    QByteArray after;
    at = stretch->end;
    auto next = std::next(stretch);
    while (after.size() < reach && at < m_text.size()) {
        if (next != m_removed.cend() && next->begin == at) {
            at = next->end;
            ++next;
            continue;
        }
        after.append(m_text[at++]);
    }
    *joinOffset = before.size();
    return before + after;
}

void LiveText::appendKept(QString& out, const QString& text, qsizetype from, qsizetype to) const
{
    for (auto removed = firstEndingAfter(from); from < to; ++removed) {
        const qsizetype stop = removed == m_removed.cend() ? to : qMin(removed->begin, to);
        if (stop > from)
            out.append(QStringView(text).mid(from, stop - from));
        if (removed == m_removed.cend())
            break;
        from = qMax(from, removed->end);
    }
}

qsizetype LiveText::removedLength() const
{
    qsizetype length = 0;
    for (const Stretch& stretch : m_removed)
        length += stretch.end - stretch.begin;
    return length;
}

} // namespace veltrane
