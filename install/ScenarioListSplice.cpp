#include "ScenarioListSplice.h"

#include <QStringMatcher>
#include <algorithm>
#include <iterator>
#include <vector>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

const QString kRecordOpen = u"<cScenarioProperties"_s;
const QString kRecordClose = u"</cScenarioProperties>"_s;
const QString kListClose = u"</Record"_s;
const QString kLineEnd = u"\r\n"_s;

ScenarioListSplice::Result problem(const QString& what)
{
    return {QString(), what};
}

// A key shown in a message: long or odd keys would make it unreadable.
QString shownKey(const QString& key)
{
    QString shown = key.left(80);
    for (QChar& c : shown) {
        if (c.unicode() < 0x20)
            c = u' ';
    }
    return u'"' + shown + (key.size() > 80 ? u"...\""_s : u"\""_s);
}

// Each UTF-16 unit folded on its own, so positions in the copy are positions in the text.
QString folded(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar* to = out.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80)
            *to++ = QChar(u >= u'A' && u <= u'Z' ? char16_t(u + 0x20) : u);
        else
            *to++ = c.isSurrogate() ? c : QChar(QChar::toCaseFolded(u));
    }
    return out;
}

ScenarioListSplice::Result outsideEveryRecord(const QString& key)
{
    return problem(u"The scenario key "_s + shownKey(key) +
                   u" occurs outside every scenario record, so no record can be removed for "
                   u"it."_s);
}

// Where each key occurs in the text, found for all keys in one pass (Aho-Corasick over the
// text's Latin-1 characters). A key with other characters, or one that occurs too often to
// list, is left out and searched for on its own.
class KeyOccurrences {
public:
    static constexpr qsizetype kMostListed = 64;
    static constexpr qsizetype kMostStates = 1 << 16;

    KeyOccurrences(const QString& text, const QStringList& keys)
        : m_found(keys.size()), m_listed(keys.size(), false)
    {
        QList<qsizetype> lengths(keys.size(), 0);
        m_next.assign(kAlphabet, 0);
        m_keysEnding.resize(1);
        for (qsizetype k = 0; k < keys.size(); ++k) {
            const QString& key = keys[k];
            const bool latin1 = std::all_of(key.begin(), key.end(), [](QChar c) {
                return c.unicode() != 0 && c.unicode() < kAlphabet;
            });
            if (key.isEmpty() || !latin1 || stateCount() + key.size() > kMostStates)
                continue;
            m_listed[k] = true;
            lengths[k] = key.size();
            int state = 0;
            for (const QChar c : key) {
                int& next = m_next[std::size_t(state) * kAlphabet + c.unicode()];
                if (next == 0) {
                    next = stateCount();
                    m_next.resize(m_next.size() + kAlphabet, 0);
                    m_keysEnding.emplace_back();
                }
                state = next;
            }
            m_keysEnding[std::size_t(state)].push_back(int(k));
        }
        complete();
        scan(text, lengths);
    }

    // Whether every occurrence of key number k is listed.
    bool listed(qsizetype k) const { return m_listed[k]; }
    const QList<qsizetype>& of(qsizetype k) const { return m_found[k]; }

private:
    static constexpr int kAlphabet = 256;

    int stateCount() const { return int(m_next.size() / kAlphabet); }

    // Turns the trie into a full automaton: every state answers every character.
    void complete()
    {
        std::vector<int> fallback(std::size_t(stateCount()), 0);
        std::vector<int> queue;
        for (int c = 0; c < kAlphabet; ++c) {
            if (const int child = m_next[std::size_t(c)])
                queue.push_back(child);
        }
        for (std::size_t head = 0; head < queue.size(); ++head) {
            const int state = queue[head];
            const std::vector<int>& inherited =
                m_keysEnding[std::size_t(fallback[std::size_t(state)])];
            m_keysEnding[std::size_t(state)].insert(m_keysEnding[std::size_t(state)].end(),
                                                    inherited.begin(), inherited.end());
            for (int c = 0; c < kAlphabet; ++c) {
                int& next = m_next[std::size_t(state) * kAlphabet + std::size_t(c)];
                const int viaFallback =
                    m_next[std::size_t(fallback[std::size_t(state)]) * kAlphabet + std::size_t(c)];
                if (next == 0) {
                    next = viaFallback;
                } else {
                    fallback[std::size_t(next)] = viaFallback;
                    queue.push_back(next);
                }
            }
        }
    }

    void scan(const QString& text, const QList<qsizetype>& lengths)
    {
        if (stateCount() == 1)
            return;
        int state = 0;
        const QChar* chars = text.constData();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = chars[i].unicode();
            // Characters no listed key holds all lead back to the start.
            state = c < kAlphabet ? m_next[std::size_t(state) * kAlphabet + c] : 0;
            for (const int k : m_keysEnding[std::size_t(state)]) {
                if (!m_listed[k])
                    continue;
                if (m_found[k].size() == kMostListed) {
                    m_listed[k] = false;
                    m_found[k].clear();
                    continue;
                }
                m_found[k].append(i - lengths[k] + 1);
            }
        }
    }

    std::vector<int> m_next; // kAlphabet entries per state
    std::vector<std::vector<int>> m_keysEnding;
    QList<QList<qsizetype>> m_found;
    QList<bool> m_listed;
};

// A text with stretches taken out, without moving what is left: searches see only the kept
// characters, in their places in the whole text.
class LiveText {
public:
    explicit LiveText(const QString& text) : m_text(text) {}

    // The first kept occurrence at or after from, or -1.
    qsizetype firstFrom(const QStringMatcher& matcher, qsizetype length, qsizetype from) const
    {
        qsizetype at = matcher.indexIn(m_text, from);
        while (at >= 0) {
            const auto removed = firstEndingAfter(at);
            if (removed == m_removed.end() || removed->begin >= at + length)
                return at;
            from = at < removed->begin ? at + 1 : removed->end;
            at = matcher.indexIn(m_text, from);
        }
        return -1;
    }

    // The first of the listed places (in order) whose stretch of length is kept, or -1.
    qsizetype firstKept(const QList<qsizetype>& places, qsizetype length) const
    {
        for (const qsizetype at : places) {
            const auto removed = firstEndingAfter(at);
            if (removed == m_removed.end() || removed->begin >= at + length)
                return at;
        }
        return -1;
    }

    // The last kept occurrence that starts at or before latest, or -1.
    qsizetype lastStartingBy(const QString& pattern, qsizetype latest) const
    {
        while (latest >= 0) {
            const qsizetype at = m_text.lastIndexOf(pattern, latest);
            if (at < 0)
                return -1;
            const auto removed = firstEndingAfter(at);
            if (removed == m_removed.end() || removed->begin >= at + pattern.size())
                return at;
            latest = at >= removed->begin ? removed->begin - 1 : at - 1;
        }
        return -1;
    }

    void remove(qsizetype begin, qsizetype end)
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

    // Up to reach kept characters on each side of the join left by the removed stretch that
    // begins at position; joinOffset receives where in the result the join lies.
    QString windowAround(qsizetype position, qsizetype reach, qsizetype* joinOffset) const
    {
        auto stretch = firstEndingAfter(position);
        QString before;
        qsizetype at = stretch->begin;
        auto previous = stretch;
        while (before.size() < reach && at > 0) {
            if (previous != m_removed.begin() && std::prev(previous)->end == at) {
                --previous;
                at = previous->begin;
                continue;
            }
            before.prepend(m_text[--at]);
        }
        QString after;
        at = stretch->end;
        auto next = std::next(stretch);
        while (after.size() < reach && at < m_text.size()) {
            if (next != m_removed.end() && next->begin == at) {
                at = next->end;
                ++next;
                continue;
            }
            after.append(m_text[at++]);
        }
        *joinOffset = before.size();
        return before + after;
    }

    // The characters of text (as long as the searched one) that are kept.
    QString keptOf(const QString& text) const
    {
        QString kept;
        qsizetype removedLength = 0;
        for (const Stretch& stretch : m_removed)
            removedLength += stretch.end - stretch.begin;
        kept.reserve(text.size() - removedLength);
        qsizetype at = 0;
        for (const Stretch& stretch : m_removed) {
            kept.append(QStringView(text).mid(at, stretch.begin - at));
            at = stretch.end;
        }
        kept.append(QStringView(text).mid(at));
        return kept;
    }

private:
    struct Stretch {
        qsizetype begin;
        qsizetype end; // past the last removed character
    };

    QList<Stretch>::const_iterator firstEndingAfter(qsizetype position) const
    {
        return std::upper_bound(
            m_removed.cbegin(), m_removed.cend(), position,
            [](qsizetype p, const Stretch& stretch) { return p < stretch.end; });
    }

    const QString& m_text;
    QList<Stretch> m_removed; // in order, apart from each other
};

} // namespace

ScenarioListSplice::Result ScenarioListSplice::removeRecordsOneByOne(const QString& list,
                                                                     const QStringList& keys)
{
    // Searched in a folded copy that shrinks with the text: a plain search is many times
    // quicker than a case-insensitive one over a long list.
    QString text = list;
    QString lower = folded(list);
    const QString openTag = folded(kRecordOpen);
    const QStringMatcher close(folded(kRecordClose));
    for (const QString& key : keys) {
        if (key.isEmpty())
            continue;
        const qsizetype at = QStringMatcher(folded(key)).indexIn(lower);
        if (at < 0)
            continue;
        // The last opening tag that lies wholly before the key's first character ends.
        const qsizetype searchFrom = at + 1 - openTag.size();
        const qsizetype start = searchFrom < 0 ? -1 : lower.lastIndexOf(openTag, searchFrom);
        const qsizetype end = close.indexIn(lower, at);
        // The record that opens at start must still be open where the key stands.
        if (start < 0 || end < 0 || close.indexIn(lower, start) != end)
            return outsideEveryRecord(key);
        const qsizetype stop = end + kRecordClose.size();
        text.remove(start, stop - start);
        lower.remove(start, stop - start);
    }
    return {text, QString()};
}

ScenarioListSplice::Result ScenarioListSplice::removeRecords(const QString& list,
                                                             const QStringList& keys)
{
    // The same searches as one key at a time, made in the unchanged text with the removed
    // records skipped, and the text put together once at the end: no copy per key.
    const QString lower = folded(list);
    const QString openTag = folded(kRecordOpen);
    const QString closeTag = folded(kRecordClose);
    const QStringMatcher close(closeTag);
    QStringList foldedKeys;
    qsizetype longest = qMax(openTag.size(), closeTag.size());
    for (const QString& key : keys) {
        foldedKeys.append(folded(key));
        longest = qMax(longest, key.size());
    }

    const KeyOccurrences occurrences(lower, foldedKeys);
    LiveText live(lower);
    for (qsizetype i = 0; i < foldedKeys.size(); ++i) {
        const QString& key = foldedKeys[i];
        if (key.isEmpty())
            continue;
        const qsizetype at = occurrences.listed(i)
                                 ? live.firstKept(occurrences.of(i), key.size())
                                 : live.firstFrom(QStringMatcher(key), key.size(), 0);
        if (at < 0)
            continue;
        const qsizetype searchFrom = at + 1 - openTag.size();
        const qsizetype start = searchFrom < 0 ? -1 : live.lastStartingBy(openTag, searchFrom);
        const qsizetype end = live.firstFrom(close, closeTag.size(), at);
        if (start < 0 || end < 0 || live.firstFrom(close, closeTag.size(), start) != end)
            return outsideEveryRecord(keys[i]);
        live.remove(start, end + closeTag.size());

        // A name that forms only where the removal joined the text would be found by the
        // plain method and not here; that rare case is left to the plain method.
        qsizetype joinOffset = 0;
        const QString window = live.windowAround(start, longest - 1, &joinOffset);
        const auto formsAcross = [&](const QString& name) {
            if (name.isEmpty())
                return false;
            const qsizetype from = qMax<qsizetype>(0, joinOffset - name.size() + 1);
            const qsizetype found = window.indexOf(name, from);
            return found >= 0 && found < joinOffset;
        };
        bool joinMatters = formsAcross(openTag) || formsAcross(closeTag);
        for (qsizetype j = i + 1; j < foldedKeys.size() && !joinMatters; ++j)
            joinMatters = formsAcross(foldedKeys[j]);
        if (joinMatters)
            return removeRecordsOneByOne(list, keys);
    }
    return {live.keptOf(list), QString()};
}

ScenarioListSplice::Result ScenarioListSplice::insertRecord(const QString& list,
                                                            const QString& record)
{
    const qsizetype listEnd = list.lastIndexOf(kListClose, -1, Qt::CaseInsensitive);
    if (listEnd < 0)
        return problem(u"It has no closing </Record> tag, so the end of its list of "
                       u"scenarios cannot be found."_s);
    const qsizetype lastTagEnd = listEnd > 0 ? list.lastIndexOf(u'>', listEnd - 1) : -1;
    if (lastTagEnd < 0)
        return problem(u"Nothing stands before its closing </Record> tag."_s);
    // The head takes the line end after the last ">"; never part of the closing tag itself.
    const qsizetype headSize = qMin(lastTagEnd + 3, listEnd);
    QStringView rest = QStringView(list).mid(lastTagEnd + 1);
    if (rest.startsWith(kLineEnd) && record.endsWith(kLineEnd))
        rest = rest.mid(2);
    QString text;
    text.reserve(headSize + record.size() + rest.size());
    text.append(QStringView(list).left(headSize));
    text.append(record);
    text.append(rest);
    return {text, QString()};
}

} // namespace veltrane
