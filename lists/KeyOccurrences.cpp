#include "KeyOccurrences.h"

namespace veltrane {

KeyOccurrences::KeyOccurrences(const QByteArray& text, const QList<QByteArray>& keys)
    : m_found(keys.size()), m_listed(keys.size(), false)
{
    QList<qsizetype> lengths(keys.size(), 0);
    m_next.assign(kAlphabet, 0);
    m_keysEnding.resize(1);
    for (qsizetype k = 0; k < keys.size(); ++k) {
        const QByteArray& key = keys[k];
        if (key.isEmpty() || stateCount() + key.size() > kMostStates)
            continue;
        m_listed[k] = true;
        lengths[k] = key.size();
        int state = 0;
        for (const char c : key) {
            int following = next(state, uchar(c));
            if (following == 0) {
                following = stateCount();
                next(state, uchar(c)) = following;
                m_next.resize(m_next.size() + kAlphabet, 0);
                m_keysEnding.emplace_back();
            }
            state = following;
        }
        m_keysEnding[std::size_t(state)].push_back(int(k));
    }
    complete();
    scan(text, lengths);
}

// Turns the trie into a full automaton: every state answers every byte.
void KeyOccurrences::complete()
{
    std::vector<int> fallback(std::size_t(stateCount()), 0);
    std::vector<int> queue;
    for (int c = 0; c < kAlphabet; ++c) {
        if (const int child = next(0, uchar(c)))
            queue.push_back(child);
    }
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const int state = queue[head];
        const int back = fallback[std::size_t(state)];
        // A key that ends where the fallback state ends also ends here.
        const std::vector<int> inherited = m_keysEnding[std::size_t(back)];
        std::vector<int>& ending = m_keysEnding[std::size_t(state)];
        ending.insert(ending.end(), inherited.begin(), inherited.end());
        for (int c = 0; c < kAlphabet; ++c) {
            const int viaFallback = next(back, uchar(c));
            int& following = next(state, uchar(c));
            if (following == 0) {
                following = viaFallback;
            } else {
                fallback[std::size_t(following)] = viaFallback;
                queue.push_back(following);
            }
        }
    }
}

void KeyOccurrences::scan(const QByteArray& text, const QList<qsizetype>& lengths)
{
    if (stateCount() == 1)
        return;
    int state = 0;
    const qsizetype size = text.size();
    const uchar* bytes = reinterpret_cast<const uchar*>(text.constData());
    for (qsizetype i = 0; i < size; ++i) {
        state = m_next[std::size_t(state) * kAlphabet + bytes[i]];
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

} // namespace veltrane
