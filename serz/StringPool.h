#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>
#include <vector>

namespace veltrane::serz {

using StringId = quint32;

// Byte strings stored once each. Names repeat on almost every record, so records hold
// a small id and equal strings compare by id.
class StringPool {
public:
    StringPool();

    // The id of these bytes, adding them when new.
    StringId intern(QByteArrayView bytes);
    std::optional<StringId> find(QByteArrayView bytes) const;
    // Valid until the next intern().
    QByteArrayView view(StringId id) const
    {
        const Span& span = m_spans[id];
        return QByteArrayView(m_bytes.constData() + span.offset, span.size);
    }
    qsizetype size() const { return qsizetype(m_spans.size()); }

private:
    struct Span {
        qsizetype offset;
        qsizetype size;
        quint64 hash;
    };

    static quint64 hashOf(QByteArrayView bytes);
    qsizetype slotOf(QByteArrayView bytes, quint64 hash) const;
    void grow();

    QByteArray m_bytes;
    std::vector<Span> m_spans;
    std::vector<quint32> m_table; // id + 1; 0 = empty; open addressing, power-of-two size
};

} // namespace veltrane::serz
