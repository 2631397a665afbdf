#pragma once

#include "serz/Record.h"
#include "serz/StringPool.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <vector>

namespace veltrane::serz {

// How XML float text becomes a value. Serz: the text alone, as Serz does. Exact: the
// d:alt_encoding value when it prints as exactly the element's text, so unedited
// scalars survive bin -> XML -> bin unchanged.
enum class FloatMode { Exact, Serz };

// Deeper nesting is refused by both readers; it keeps indentation and work bounded.
inline constexpr int kMaxDepth = 256;

// A serialised file as a list of records in document order. Open records know their
// Close and vice versa, so the list is walked as a tree: children of an Open record i
// are first(i) .. match, stepping with next().
class Document {
public:
    // Building, in document order. Each call returns the new record's index.
    qsizetype openContainer(QByteArrayView name, quint32 id = 0);
    qsizetype closeContainer();
    qsizetype addValue(QByteArrayView name, ValueType type, quint64 raw);
    qsizetype addString(QByteArrayView name, QByteArrayView text);
    qsizetype addFloat32(QByteArrayView name, float value);
    // Numeric elements back to back in their binary encoding.
    qsizetype addArray(QByteArrayView name, ValueType type, QByteArrayView elementBytes);
    qsizetype addStringArray(QByteArrayView name, const QList<QByteArray>& elements);
    qsizetype addReference(QByteArrayView name, quint32 target);
    qsizetype addNil();
    qsizetype addBlob(QByteArrayView bytes);
    qsizetype addUnexplained(QByteArrayView fiveBytes);
    // One root container, closed, and nothing open.
    bool isComplete() const;

    qsizetype size() const { return qsizetype(m_records.size()); }
    const Record& record(qsizetype i) const { return m_records[size_t(i)]; }
    // Index of the root Open record, or -1.
    qsizetype root() const;
    // The record after i and everything inside it.
    qsizetype next(qsizetype i) const
    {
        const Record& r = record(i);
        return r.kind == RecordKind::Open ? qsizetype(r.match) + 1 : i + 1;
    }

    QByteArrayView text(StringId id) const { return m_strings.view(id); }
    QByteArrayView name(qsizetype i) const { return text(record(i).name); }
    // A Value's bits; for HasAlt floats the mode decides between text and alt value.
    quint64 valueBits(qsizetype i, FloatMode mode = FloatMode::Exact) const;
    QByteArrayView stringValue(qsizetype i) const { return text(StringId(record(i).raw)); }
    // Numeric array elements, or a blob's bytes.
    QByteArrayView bytes(qsizetype i) const;
    StringElement stringElement(qsizetype i, int element) const;

    // Same records and content: kinds, names, types, values (this one's resolved by
    // mode), ids, elements, blobs and 0x43 bytes. How it was written is not compared.
    // On a difference, firstDifference gets the index of the first record that differs.
    bool sameContent(const Document& other, FloatMode mode,
                     qsizetype* firstDifference = nullptr) const;

    // A record as the readers build it, with no bookkeeping of open containers. The list
    // grows in advised blocks (reserveLarge).
    void pushRecord(const Record& r);

    // Direct access for the readers and writers.
    std::vector<Record>& records() { return m_records; }
    const std::vector<Record>& records() const { return m_records; }
    StringPool& strings() { return m_strings; }
    const StringPool& strings() const { return m_strings; }
    QByteArray& data() { return m_data; }
    const QByteArray& data() const { return m_data; }

private:
    qsizetype append(const Record& r);
    qsizetype addNamed(RecordKind kind, QByteArrayView name);

    std::vector<Record> m_records;
    StringPool m_strings;
    QByteArray m_data;
    std::vector<quint32> m_open; // builder's open containers
};

} // namespace veltrane::serz
