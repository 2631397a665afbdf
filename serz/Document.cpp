#include "serz/Document.h"

#include "serz/LargeMemory.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace veltrane::serz {

qsizetype Document::append(const Record& r)
{
    if (!m_open.empty() && r.kind != RecordKind::Close && r.kind != RecordKind::Unexplained)
        ++m_records[m_open.back()].count;
    pushRecord(r);
    return qsizetype(m_records.size()) - 1;
}

void Document::pushRecord(const Record& r)
{
    if (m_records.size() == m_records.capacity())
        reserveLarge(m_records, std::max<std::size_t>(4096, m_records.capacity() * 2));
    m_records.push_back(r);
}

qsizetype Document::addNamed(RecordKind kind, QByteArrayView name)
{
    Record r;
    r.kind = kind;
    r.name = m_strings.intern(name);
    return append(r);
}

qsizetype Document::openContainer(QByteArrayView name, quint32 id)
{
    const qsizetype i = addNamed(RecordKind::Open, name);
    m_records[size_t(i)].id = id;
    m_open.push_back(quint32(i));
    return i;
}

qsizetype Document::closeContainer()
{
    Q_ASSERT(!m_open.empty());
    const quint32 open = m_open.back();
    m_open.pop_back();
    Record r;
    r.kind = RecordKind::Close;
    r.name = m_records[open].name;
    r.match = open;
    const qsizetype i = append(r);
    m_records[open].match = quint32(i);
    return i;
}

qsizetype Document::addValue(QByteArrayView name, ValueType type, quint64 raw)
{
    const qsizetype i = addNamed(RecordKind::Value, name);
    m_records[size_t(i)].type = type;
    m_records[size_t(i)].raw = raw;
    return i;
}

qsizetype Document::addString(QByteArrayView name, QByteArrayView text)
{
    const StringId id = m_strings.intern(text);
    return addValue(name, ValueType::DeltaString, id);
}

qsizetype Document::addFloat32(QByteArrayView name, float value)
{
    return addValue(name, ValueType::SFloat32, std::bit_cast<quint32>(value));
}

qsizetype Document::addArray(QByteArrayView name, ValueType type, QByteArrayView elementBytes)
{
    Q_ASSERT(type != ValueType::DeltaString);
    const qsizetype i = addNamed(RecordKind::Array, name);
    Record& r = m_records[size_t(i)];
    r.type = type;
    r.count = quint32(elementBytes.size() / valueTypeSize(type));
    r.dataOffset = quint32(m_data.size());
    m_data.append(elementBytes.data(), elementBytes.size());
    return i;
}

qsizetype Document::addStringArray(QByteArrayView name, const QList<QByteArray>& elements)
{
    std::vector<StringElement> items;
    for (const QByteArray& e : elements)
        items.push_back(StringElement{m_strings.intern(e), 0, 0});
    const qsizetype i = addNamed(RecordKind::Array, name);
    Record& r = m_records[size_t(i)];
    r.type = ValueType::DeltaString;
    r.count = quint32(items.size());
    r.dataOffset = quint32(m_data.size());
    m_data.append(reinterpret_cast<const char*>(items.data()),
                  qsizetype(items.size()) * qsizetype(sizeof(StringElement)));
    return i;
}

qsizetype Document::addReference(QByteArrayView name, quint32 target)
{
    const qsizetype i = addNamed(RecordKind::Reference, name);
    m_records[size_t(i)].id = target;
    return i;
}

qsizetype Document::addNil()
{
    Record r;
    r.kind = RecordKind::Nil;
    return append(r);
}

qsizetype Document::addBlob(QByteArrayView bytes)
{
    Record r;
    r.kind = RecordKind::Blob;
    r.count = quint32(bytes.size());
    r.dataOffset = quint32(m_data.size());
    m_data.append(bytes.data(), bytes.size());
    return append(r);
}

qsizetype Document::addUnexplained(QByteArrayView fiveBytes)
{
    Q_ASSERT(fiveBytes.size() == 5);
    Record r;
    r.kind = RecordKind::Unexplained;
    std::memcpy(&r.raw, fiveBytes.data(), 5);
    return append(r);
}

bool Document::isComplete() const
{
    return m_open.empty() && root() >= 0;
}

qsizetype Document::root() const
{
    for (size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].kind == RecordKind::Open)
            return qsizetype(i);
    }
    return -1;
}

quint64 Document::valueBits(qsizetype i, FloatMode mode) const
{
    const Record& r = record(i);
    if (mode == FloatMode::Exact && (r.flags & Record::HasAlt)) {
        quint64 alt;
        std::memcpy(&alt, m_data.constData() + r.dataOffset, 8);
        return alt;
    }
    return r.raw;
}

QByteArrayView Document::bytes(qsizetype i) const
{
    const Record& r = record(i);
    const qsizetype size = r.kind == RecordKind::Blob ? qsizetype(r.count)
                           : r.type == ValueType::DeltaString
                               ? qsizetype(r.count * sizeof(StringElement))
                               : qsizetype(r.count) * valueTypeSize(r.type);
    return QByteArrayView(m_data.constData() + r.dataOffset, size);
}

StringElement Document::stringElement(qsizetype i, int element) const
{
    StringElement e;
    std::memcpy(&e, m_data.constData() + record(i).dataOffset + element * sizeof(StringElement),
                sizeof e);
    return e;
}

bool Document::sameContent(const Document& other, FloatMode mode, qsizetype* firstDifference) const
{
    const auto differs = [&](qsizetype i) {
        const Record& a = record(i);
        const Record& b = other.record(i);
        if (a.kind != b.kind)
            return true;
        switch (a.kind) {
        case RecordKind::Open:
            return name(i) != other.name(i) || a.id != b.id;
        case RecordKind::Close:
            return name(i) != other.name(i);
        case RecordKind::Reference:
            return name(i) != other.name(i) || a.id != b.id;
        case RecordKind::Value:
            if (name(i) != other.name(i) || a.type != b.type)
                return true;
            if (a.type == ValueType::DeltaString)
                return stringValue(i) != other.stringValue(i);
            return valueBits(i, mode) != other.valueBits(i, FloatMode::Exact);
        case RecordKind::Array:
            if (name(i) != other.name(i) || a.type != b.type || a.count != b.count)
                return true;
            if (a.type == ValueType::DeltaString) {
                for (int k = 0; k < int(a.count); ++k) {
                    if (text(stringElement(i, k).text) !=
                        other.text(other.stringElement(i, k).text))
                        return true;
                }
                return false;
            }
            return bytes(i) != other.bytes(i);
        case RecordKind::Nil:
            return false;
        case RecordKind::Blob:
            return bytes(i) != other.bytes(i);
        case RecordKind::Unexplained:
            return a.raw != b.raw;
        }
        return true;
    };
    const qsizetype n = std::min(size(), other.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (differs(i)) {
            if (firstDifference)
                *firstDifference = i;
            return false;
        }
    }
    if (size() != other.size()) {
        if (firstDifference)
            *firstDifference = n;
        return false;
    }
    return true;
}

} // namespace veltrane::serz
