#pragma once

#include <QByteArray>
#include <QList>
#include <vector>

namespace veltrane {

// Where each of many keys occurs in a text, found for all keys in one pass over it
// (Aho-Corasick over bytes). A key that occurs too often to list is left out, and so is an
// empty key; the caller searches for those on its own.
class KeyOccurrences {
public:
    static constexpr qsizetype kMostListed = 64;

    KeyOccurrences(const QByteArray& text, const QList<QByteArray>& keys);

    // Whether every occurrence of key number k is listed.
    bool listed(qsizetype k) const { return m_listed[k]; }
    // The starts of its occurrences, in order.
    const QList<qsizetype>& of(qsizetype k) const { return m_found[k]; }

private:
    static constexpr int kAlphabet = 256;
    // Each state takes a kilobyte: 8 MB at most, whatever the keys file holds. Keys that do
    // not fit any more are left out like those that occur too often.
    static constexpr qsizetype kMostStates = 1 << 13;

    int stateCount() const { return int(m_next.size() / kAlphabet); }
    int& next(int state, uchar c) { return m_next[std::size_t(state) * kAlphabet + c]; }
    void complete();
    void scan(const QByteArray& text, const QList<qsizetype>& lengths);

    std::vector<int> m_next; // kAlphabet entries per state
    std::vector<std::vector<int>> m_keysEnding;
    QList<QList<qsizetype>> m_found;
    QList<bool> m_listed;
};

} // namespace veltrane
