#include "serz/StringPool.h"

#include <cstring>

namespace veltrane::serz {

StringPool::StringPool() : m_table(64, 0) {}

quint64 StringPool::hashOf(QByteArrayView bytes)
{
    // FNV-1a over 8-byte words; names are short, so this beats a general-purpose hash.
    quint64 h = 0xcbf29ce484222325ull ^ quint64(bytes.size());
    const char* p = bytes.data();
    qsizetype n = bytes.size();
    while (n >= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        h = (h ^ word) * 0x100000001b3ull;
        h ^= h >> 29;
        p += 8;
        n -= 8;
    }
    quint64 tail = 0;
    if (n > 0)
        std::memcpy(&tail, p, size_t(n));
    h = (h ^ tail) * 0x100000001b3ull;
    h ^= h >> 32;
    h *= 0x9e3779b97f4a7c15ull;
    return h ^ (h >> 29);
}

qsizetype StringPool::slotOf(QByteArrayView bytes, quint64 hash) const
{
    const size_t mask = m_table.size() - 1;
    size_t slot = size_t(hash) & mask;
    for (;;) {
        const quint32 entry = m_table[slot];
        if (entry == 0)
            return qsizetype(slot);
        const Span& span = m_spans[entry - 1];
        if (span.hash == hash && span.size == bytes.size() &&
            (span.size == 0 ||
             std::memcmp(m_bytes.constData() + span.offset, bytes.data(), size_t(span.size)) == 0))
            return qsizetype(slot);
        slot = (slot + 1) & mask;
    }
}

std::optional<StringId> StringPool::find(QByteArrayView bytes) const
{
    const quint32 entry = m_table[size_t(slotOf(bytes, hashOf(bytes)))];
    if (entry == 0)
        return std::nullopt;
    return entry - 1;
}

StringId StringPool::intern(QByteArrayView bytes)
{
    const quint64 hash = hashOf(bytes);
    qsizetype slot = slotOf(bytes, hash);
    if (m_table[size_t(slot)] != 0)
        return m_table[size_t(slot)] - 1;
    const StringId id = StringId(m_spans.size());
    m_spans.push_back(Span{m_bytes.size(), bytes.size(), hash});
    m_bytes.append(bytes.data(), bytes.size());
    if (m_spans.size() * 2 > m_table.size()) {
        grow();
    } else {
        m_table[size_t(slot)] = id + 1;
    }
    return id;
}

void StringPool::grow()
{
    std::vector<quint32> table(m_table.size() * 2, 0);
    const size_t mask = table.size() - 1;
    for (size_t id = 0; id < m_spans.size(); ++id) {
        size_t slot = size_t(m_spans[id].hash) & mask;
        while (table[slot] != 0)
            slot = (slot + 1) & mask;
        table[slot] = quint32(id + 1);
    }
    m_table.swap(table);
}

} // namespace veltrane::serz
