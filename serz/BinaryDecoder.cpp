#include "serz/BinaryDecoder.h"

#include "serz/LargeMemory.h"
#include "serz/Printable.h"

#include <array>
#include <cstring>
#include <limits>

using namespace Qt::StringLiterals;

namespace veltrane::serz {

namespace {

constexpr std::array<uchar, 8> kHeader{'S', 'E', 'R', 'Z', 0, 0, 1, 0};

QString kindWord(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Open:
        return u"open"_s;
    case RecordKind::Close:
        return u"close"_s;
    case RecordKind::Value:
        return u"value"_s;
    case RecordKind::Array:
        return u"array"_s;
    case RecordKind::Reference:
        return u"reference"_s;
    case RecordKind::Nil:
        return u"nil"_s;
    case RecordKind::Blob:
        return u"blob"_s;
    case RecordKind::Unexplained:
        return u"0x43"_s;
    }
    return {};
}

std::optional<RecordKind> kindFromByte(uchar b)
{
    switch (b) {
    case 0x50:
        return RecordKind::Open;
    case 0x70:
        return RecordKind::Close;
    case 0x56:
        return RecordKind::Value;
    case 0x41:
        return RecordKind::Array;
    case 0x52:
        return RecordKind::Reference;
    case 0x4E:
        return RecordKind::Nil;
    case 0x42:
        return RecordKind::Blob;
    case 0x43:
        return RecordKind::Unexplained;
    default:
        return std::nullopt;
    }
}

bool hasName(RecordKind kind)
{
    return kind == RecordKind::Open || kind == RecordKind::Close || kind == RecordKind::Value ||
           kind == RecordKind::Array || kind == RecordKind::Reference;
}

class Reader {
public:
    Reader(QByteArrayView bytes, std::vector<qint64>* offsets)
        : m_data(reinterpret_cast<const uchar*>(bytes.data())), m_size(bytes.size()),
          m_offsets(offsets)
    {
    }

    bool run();

    Document document;
    DecodeError error;

private:
    struct Head {
        bool used = false;
        RecordKind kind = RecordKind::Nil;
        ValueType type = ValueType::Bool;
        StringId name = 0;
    };

    bool fail(qint64 at, const QString& message)
    {
        error.offset = at;
        error.message = message;
        return false;
    }
    bool need(qint64 n, RecordKind kind)
    {
        if (m_size - m_pos >= n)
            return true;
        return fail(m_size, u"the file ends inside a %1 record"_s.arg(kindWord(kind)));
    }
    quint64 littleEndian(int n)
    {
        quint64 v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | m_data[m_pos + i];
        m_pos += n;
        return v;
    }
    bool readString(RecordKind kind, StringId* id, quint16* field);
    bool readType(RecordKind kind, ValueType* type, quint16* field);
    bool readHead(Record& r, qint64 start);
    bool readTail(Record& r);
    bool place(Record& r, qint64 start);
    bool reserveData(qint64 n)
    {
        if (qint64(document.data().size()) + n <= qint64(std::numeric_limits<quint32>::max()))
            return true;
        return fail(m_pos, u"the file is too large"_s);
    }

    const uchar* m_data;
    qint64 m_size;
    qint64 m_pos = 0;
    std::vector<qint64>* m_offsets;
    std::vector<StringId> m_table;
    std::array<Head, 255> m_cache{};
    int m_cursor = 0;
    std::vector<quint32> m_open;
    std::vector<qint64> m_openedAt;
    std::vector<qint8> m_typeOf; // per StringId: -1 unknown yet, -2 not a type name
    bool m_rootSeen = false;
};

bool Reader::readString(RecordKind kind, StringId* id, quint16* field)
{
    const qint64 at = m_pos;
    if (!need(2, kind))
        return false;
    const quint16 index = quint16(littleEndian(2));
    *field = index;
    if (index != kNewString) {
        if (index >= m_table.size()) {
            return fail(
                at, u"string index %1 does not exist (the table has %2 entries)"_s.arg(index).arg(
                        m_table.size()));
        }
        *id = m_table[index];
        return true;
    }
    if (!need(4, kind))
        return false;
    const quint32 length = quint32(littleEndian(4));
    if (m_size - m_pos < qint64(length)) {
        return fail(
            at + 2,
            u"string length %1 goes beyond the end of the file (%2 bytes left)"_s.arg(length).arg(
                m_size - m_pos));
    }
    *id = document.strings().intern(
        QByteArrayView(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(length)));
    m_pos += length;
    m_table.push_back(*id);
    return true;
}

bool Reader::readType(RecordKind kind, ValueType* type, quint16* field)
{
    const qint64 at = m_pos;
    StringId id;
    if (!readString(kind, &id, field))
        return false;
    if (m_typeOf.size() <= id)
        m_typeOf.resize(size_t(id) + 1, -1);
    if (m_typeOf[id] == -1) {
        const auto t = valueTypeFromName(document.text(id));
        m_typeOf[id] = t ? qint8(*t) : qint8(-2);
    }
    if (m_typeOf[id] < 0)
        return fail(at, u"unknown type name %1"_s.arg(printable(document.text(id))));
    *type = ValueType(m_typeOf[id]);
    return true;
}

bool Reader::readHead(Record& r, qint64 start)
{
    const uchar first = m_data[m_pos++];
    r.flags = Record::FormRecorded;
    if (first != 0xFF) {
        const Head& head = m_cache[first];
        if (!head.used)
            return fail(start, u"head-cache slot %1 is empty"_s.arg(first));
        if (head.kind == RecordKind::Unexplained) {
            return fail(
                start,
                u"head-cache slot %1 holds a 0x43 record, which is never cached"_s.arg(first));
        }
        r.kind = head.kind;
        r.type = head.type;
        r.name = head.name;
        r.slot = first;
        return true;
    }
    if (m_pos >= m_size)
        return fail(m_size, u"the file ends inside a record"_s);
    const auto kind = kindFromByte(m_data[m_pos]);
    if (!kind)
        return fail(m_pos,
                    u"unknown record kind 0x%1"_s.arg(m_data[m_pos], 2, 16, QLatin1Char('0')));
    ++m_pos;
    r.kind = *kind;
    r.slot = kFullRecord;
    if (hasName(r.kind)) {
        if (!readString(r.kind, &r.name, &r.nameField))
            return false;
        r.flags |= Record::NameRecorded;
    }
    if (r.kind == RecordKind::Value || r.kind == RecordKind::Array) {
        if (!readType(r.kind, &r.type, &r.typeField))
            return false;
        r.flags |= Record::TypeRecorded;
    }
    m_cache[size_t(m_cursor)] = Head{true, r.kind, r.type, r.name};
    m_cursor = (m_cursor + 1) % 255;
    return true;
}

bool Reader::readTail(Record& r)
{
    switch (r.kind) {
    case RecordKind::Open:
        if (!need(8, r.kind))
            return false;
        r.id = quint32(littleEndian(4));
        r.count = quint32(littleEndian(4));
        return true;
    case RecordKind::Close:
    case RecordKind::Nil:
        return true;
    case RecordKind::Reference:
        if (!need(4, r.kind))
            return false;
        r.id = quint32(littleEndian(4));
        return true;
    case RecordKind::Value:
        if (r.type == ValueType::DeltaString) {
            StringId id;
            if (!readString(r.kind, &id, &r.stringField))
                return false;
            r.raw = id;
            r.flags |= Record::StringRecorded;
            return true;
        }
        if (!need(valueTypeSize(r.type), r.kind))
            return false;
        r.raw = littleEndian(valueTypeSize(r.type));
        return true;
    case RecordKind::Array: {
        if (!need(1, r.kind))
            return false;
        r.count = m_data[m_pos++];
        r.dataOffset = quint32(document.data().size());
        if (r.type == ValueType::DeltaString) {
            if (!reserveData(qint64(r.count) * qint64(sizeof(StringElement))))
                return false;
            for (quint32 k = 0; k < r.count; ++k) {
                StringElement e;
                if (!readString(r.kind, &e.text, &e.field))
                    return false;
                e.recorded = 1;
                document.data().append(reinterpret_cast<const char*>(&e), sizeof e);
            }
            return true;
        }
        const qint64 size = qint64(r.count) * valueTypeSize(r.type);
        if (m_size - m_pos < size) {
            return fail(m_pos - 1,
                        u"an array of %1 elements goes beyond the end of the file"_s.arg(r.count));
        }
        if (!reserveData(size))
            return false;
        document.data().append(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(size));
        m_pos += size;
        return true;
    }
    case RecordKind::Blob: {
        if (!need(4, r.kind))
            return false;
        r.count = quint32(littleEndian(4));
        if (m_size - m_pos < qint64(r.count)) {
            return fail(
                m_pos - 4,
                u"blob size %1 goes beyond the end of the file (%2 bytes left)"_s.arg(r.count).arg(
                    m_size - m_pos));
        }
        if (!reserveData(r.count))
            return false;
        r.dataOffset = quint32(document.data().size());
        document.data().append(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(r.count));
        m_pos += r.count;
        return true;
    }
    case RecordKind::Unexplained:
        if (!need(5, r.kind))
            return false;
        r.raw = littleEndian(5);
        return true;
    }
    return false;
}

// Checks where the record may stand and links it into the nesting.
bool Reader::place(Record& r, qint64 start)
{
    auto& records = document.records();
    const quint32 index = quint32(records.size());
    if (r.kind == RecordKind::Unexplained)
        return true;
    if (m_open.empty()) {
        if (m_rootSeen)
            return fail(start, u"a %1 record follows the end of the root container"_s.arg(
                                   kindWord(r.kind)));
        if (r.kind != RecordKind::Open)
            return fail(start,
                        u"expected the root container, found a %1 record"_s.arg(kindWord(r.kind)));
        m_rootSeen = true;
    }
    if (r.kind == RecordKind::Close) {
        Record& open = records[m_open.back()];
        if (open.name != r.name) {
            return fail(start,
                        u"close record %1 does not match the open container %2"_s.arg(
                            printable(document.text(r.name)), printable(document.text(open.name))));
        }
        open.match = index;
        r.match = m_open.back();
        m_open.pop_back();
        m_openedAt.pop_back();
        return true;
    }
    if (r.kind == RecordKind::Open) {
        if (m_open.size() >= size_t(kMaxDepth))
            return fail(start, u"containers are nested deeper than %1 levels"_s.arg(kMaxDepth));
        m_open.push_back(index);
        m_openedAt.push_back(start);
    }
    return true;
}

bool Reader::run()
{
    if (m_size >= qint64(std::numeric_limits<quint32>::max()))
        return fail(0, u"the file is too large"_s);
    for (qint64 i = 0; i < qint64(kHeader.size()); ++i) {
        if (i >= m_size)
            return fail(m_size, u"the file ends inside the header"_s);
        if (m_data[i] != kHeader[size_t(i)])
            return fail(i, u"wrong header: not a SERZ file (expected 53 45 52 5A 00 00 01 00)"_s);
    }
    m_pos = qint64(kHeader.size());
    auto& records = document.records();
    reserveLarge(records, size_t(m_size / 4));
    while (m_pos < m_size) {
        const qint64 start = m_pos;
        Record r;
        if (!readHead(r, start) || !place(r, start) || !readTail(r))
            return false;
        document.pushRecord(r);
        if (m_offsets)
            m_offsets->push_back(start);
    }
    if (!m_open.empty()) {
        return fail(m_size, u"the file ends inside container %1 opened at byte %2"_s.arg(
                                printable(document.text(records[m_open.back()].name)),
                                QString::number(m_openedAt.back())));
    }
    if (!m_rootSeen)
        return fail(m_size, u"the file has no root container"_s);
    return true;
}

} // namespace

std::optional<Document> BinaryDecoder::decode(QByteArrayView bytes, DecodeError* error,
                                              std::vector<qint64>* recordOffsets)
{
    Reader reader(bytes, recordOffsets);
    if (!reader.run()) {
        if (error)
            *error = reader.error;
        return std::nullopt;
    }
    return std::move(reader.document);
}

} // namespace veltrane::serz
