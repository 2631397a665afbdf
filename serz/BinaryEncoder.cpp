#include "serz/BinaryEncoder.h"

#include "serz/ByteSink.h"

#include <array>

using namespace Qt::StringLiterals;

namespace veltrane::serz {

namespace {

constexpr quint64 kEmptySlot = ~quint64(0);

quint8 kindByte(RecordKind kind)
{
    static constexpr std::array<quint8, 8> kBytes{0x50, 0x70, 0x56, 0x41, 0x52, 0x4E, 0x42, 0x43};
    return kBytes[size_t(kind)];
}

// Kind, plus the name, plus the type for values and arrays; nil and blob by kind alone.
quint64 headKey(const Record& r)
{
    const quint64 kind = quint64(r.kind) << 60;
    switch (r.kind) {
    case RecordKind::Nil:
    case RecordKind::Blob:
    case RecordKind::Unexplained:
        return kind;
    case RecordKind::Value:
    case RecordKind::Array:
        return kind | (quint64(r.type) << 52) | r.name;
    default:
        return kind | r.name;
    }
}

// The 255 head slots, with a small hash index so that a lookup does not scan them all.
class HeadCache {
public:
    HeadCache()
    {
        m_slot.fill(kEmptySlot);
        m_bucket.fill(-1);
        m_next.fill(-1);
    }

    int find(quint64 key) const
    {
        for (int s = m_bucket[bucketOf(key)]; s >= 0; s = m_next[size_t(s)]) {
            if (m_slot[size_t(s)] == key)
                return s;
        }
        return -1;
    }
    bool holds(int slot, quint64 key) const { return m_slot[size_t(slot)] == key; }

    void store(quint64 key)
    {
        const int s = m_cursor;
        if (m_slot[size_t(s)] != kEmptySlot)
            unlink(s);
        m_slot[size_t(s)] = key;
        const size_t b = bucketOf(key);
        m_next[size_t(s)] = m_bucket[b];
        m_bucket[b] = qint16(s);
        m_cursor = (m_cursor + 1) % 255;
    }

private:
    static size_t bucketOf(quint64 key) { return size_t((key * 0x9E3779B97F4A7C15ull) >> 54); }

    void unlink(int s)
    {
        qint16* link = &m_bucket[bucketOf(m_slot[size_t(s)])];
        while (*link != s)
            link = &m_next[size_t(*link)];
        *link = m_next[size_t(s)];
    }

    std::array<quint64, 255> m_slot;
    std::array<qint16, 255> m_next;
    std::array<qint16, 1024> m_bucket;
    int m_cursor = 0;
};

class Writer {
public:
    Writer(const Document& document, bool verbatim, FloatMode mode, QStringList* warnings)
        : m_doc(document), m_verbatim(verbatim), m_mode(mode), m_warnings(warnings),
          m_out(document.size() * 6 + 64)
    {
        const StringId poolSize = StringId(document.strings().size());
        m_firstIndex.assign(size_t(poolSize) + kValueTypeCount, -1);
        for (int t = 0; t < kValueTypeCount; ++t) {
            const auto id = document.strings().find(valueTypeName(ValueType(t)));
            m_typeId[size_t(t)] = id ? *id : poolSize + StringId(t);
        }
    }

    QByteArray run();

private:
    QByteArrayView bytesOf(StringId id) const
    {
        const StringId poolSize = StringId(m_doc.strings().size());
        return id < poolSize ? m_doc.text(id) : valueTypeName(ValueType(id - poolSize));
    }
    void string(StringId id, bool recorded, quint16 field);
    void head(const Record& r);
    quint32 childCount(qsizetype open) const;

    const Document& m_doc;
    bool m_verbatim;
    FloatMode m_mode;
    QStringList* m_warnings;
    ByteSink m_out;
    HeadCache m_cache;
    std::vector<StringId> m_table;
    std::vector<qint32> m_firstIndex; // per string id: its first table index, or -1
    std::array<StringId, kValueTypeCount> m_typeId{};
    bool m_warnedFull = false;
};

void Writer::string(StringId id, bool recorded, quint16 field)
{
    if (recorded && m_verbatim && field != kNewString && field < m_table.size() &&
        m_table[field] == id) {
        m_out.putLittleEndian(field, 2);
        return;
    }
    const bool keepNew = recorded && m_verbatim && field == kNewString;
    const qint32 first = m_firstIndex[id];
    if (!keepNew && first >= 0 && first < kNewString) {
        m_out.putLittleEndian(quint64(first), 2);
        return;
    }
    const QByteArrayView bytes = bytesOf(id);
    m_out.putLittleEndian(kNewString, 2);
    m_out.putLittleEndian(quint64(bytes.size()), 4);
    m_out.put(bytes);
    if (first < 0)
        m_firstIndex[id] = qint32(m_table.size());
    m_table.push_back(id);
    if (m_table.size() > kNewString && !m_warnedFull && m_warnings) {
        m_warnedFull = true;
        m_warnings->append(u"the string table has more than 65,535 entries; "
                           u"later strings are written again in full"_s);
    }
}

void Writer::head(const Record& r)
{
    const quint64 key = headKey(r);
    int slot = -1;
    if (r.kind != RecordKind::Unexplained) {
        bool forceFull = false;
        if (m_verbatim && (r.flags & Record::FormRecorded)) {
            if (r.slot == kFullRecord)
                forceFull = true;
            else if (m_cache.holds(r.slot, key))
                slot = r.slot;
        }
        if (slot < 0 && !forceFull)
            slot = m_cache.find(key);
    }
    if (slot >= 0) {
        m_out.put(char(slot));
        return;
    }
    char* p = m_out.room(2);
    p[0] = char(0xFF);
    p[1] = char(kindByte(r.kind));
    m_out.advance(2);
    switch (r.kind) {
    case RecordKind::Value:
    case RecordKind::Array:
        string(r.name, r.flags & Record::NameRecorded, r.nameField);
        string(m_typeId[size_t(r.type)], r.flags & Record::TypeRecorded, r.typeField);
        break;
    case RecordKind::Open:
    case RecordKind::Close:
    case RecordKind::Reference:
        string(r.name, r.flags & Record::NameRecorded, r.nameField);
        break;
    default:
        break;
    }
    m_cache.store(key);
}

quint32 Writer::childCount(qsizetype open) const
{
    quint32 count = 0;
    const qsizetype close = qsizetype(m_doc.record(open).match);
    for (qsizetype c = open + 1; c < close; c = m_doc.next(c)) {
        if (m_doc.record(c).kind != RecordKind::Unexplained)
            ++count;
    }
    return count;
}

QByteArray Writer::run()
{
    m_out.put(QByteArrayView("SERZ\0\0\x01\0", 8));
    const FloatMode valueMode = m_verbatim ? FloatMode::Exact : m_mode;
    for (qsizetype i = 0; i < m_doc.size(); ++i) {
        const Record& r = m_doc.record(i);
        head(r);
        switch (r.kind) {
        case RecordKind::Open:
            m_out.putLittleEndian(r.id, 4);
            m_out.putLittleEndian(m_verbatim ? r.count : childCount(i), 4);
            break;
        case RecordKind::Reference:
            m_out.putLittleEndian(r.id, 4);
            break;
        case RecordKind::Value:
            if (r.type == ValueType::DeltaString)
                string(StringId(r.raw), r.flags & Record::StringRecorded, r.stringField);
            else
                m_out.putLittleEndian(m_doc.valueBits(i, valueMode), valueTypeSize(r.type));
            break;
        case RecordKind::Array:
            m_out.put(char(r.count));
            if (r.type == ValueType::DeltaString) {
                for (int k = 0; k < int(r.count); ++k) {
                    const StringElement e = m_doc.stringElement(i, k);
                    string(e.text, e.recorded != 0, e.field);
                }
            } else {
                m_out.put(m_doc.bytes(i));
            }
            break;
        case RecordKind::Blob:
            m_out.putLittleEndian(r.count, 4);
            m_out.put(m_doc.bytes(i));
            break;
        case RecordKind::Unexplained:
            m_out.putLittleEndian(r.raw, 5);
            break;
        case RecordKind::Close:
        case RecordKind::Nil:
            break;
        }
    }
    return m_out.take();
}

} // namespace

QByteArray BinaryEncoder::encodeVerbatim(const Document& document)
{
    return Writer(document, true, FloatMode::Exact, nullptr).run();
}

QByteArray BinaryEncoder::encodeCanonical(const Document& document, FloatMode mode,
                                          QStringList* warnings)
{
    return Writer(document, false, mode, warnings).run();
}

} // namespace veltrane::serz
