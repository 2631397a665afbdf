#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstring>

namespace veltrane::serz {

// An append-only byte buffer for the writers: one capacity check per piece instead of
// QByteArray's per-append bookkeeping.
class ByteSink {
public:
    explicit ByteSink(qsizetype expected = 4096)
    {
        m_buffer.resize(expected < 64 ? 64 : expected);
        m_pos = m_buffer.data();
        m_end = m_pos + m_buffer.size();
    }

    // Room for n more bytes at the returned position; commit with advance().
    char* room(qsizetype n)
    {
        if (m_end - m_pos < n)
            grow(n);
        return m_pos;
    }
    void advance(qsizetype n) { m_pos += n; }

    void put(char c)
    {
        *room(1) = c;
        ++m_pos;
    }
    void put(QByteArrayView bytes)
    {
        char* p = room(bytes.size());
        if (!bytes.isEmpty())
            std::memcpy(p, bytes.data(), size_t(bytes.size()));
        m_pos += bytes.size();
    }
    void putLittleEndian(quint64 value, int bytes)
    {
        char* p = room(bytes);
        for (int i = 0; i < bytes; ++i)
            p[i] = char(value >> (8 * i));
        m_pos += bytes;
    }

    qsizetype size() const { return m_pos - m_buffer.constData(); }

    // Streaming use: hands the bytes so far to drain and starts over. Returns drain's answer.
    template <typename Drain> bool drainInto(Drain& drain)
    {
        const bool ok = drain(QByteArrayView(m_buffer.constData(), size()));
        m_pos = m_buffer.data();
        return ok;
    }

    QByteArray take()
    {
        m_buffer.truncate(size());
        m_pos = m_end = nullptr;
        return std::move(m_buffer);
    }

private:
    void grow(qsizetype n)
    {
        const qsizetype used = size();
        qsizetype capacity = m_buffer.size() * 2;
        if (capacity < used + n)
            capacity = used + n;
        m_buffer.resize(capacity);
        m_pos = m_buffer.data() + used;
        m_end = m_buffer.data() + capacity;
    }

    QByteArray m_buffer;
    char* m_pos = nullptr;
    char* m_end = nullptr;
};

} // namespace veltrane::serz
