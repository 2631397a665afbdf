#pragma once

#include "serz/StringPool.h"
#include "serz/ValueType.h"

#include <QtGlobal>

namespace veltrane::serz {

enum class RecordKind : quint8 {
    Open,        // container start
    Close,       // container end
    Value,       // one scalar or cDeltaString
    Array,       // count byte plus elements
    Reference,   // id of a container elsewhere
    Nil,         // empty object slot
    Blob,        // opaque bytes
    Unexplained, // the 0x43 record: five raw bytes, absent from XML
};

// Written in place of a table index when a string field was stored as a new string.
inline constexpr quint16 kNewString = 0xFFFF;
// The slot value of a record that was written in full.
inline constexpr quint8 kFullRecord = 0xFF;

// One record in document order; a container is an Open record, its children and the
// matching Close record. Besides the content, a record remembers how a binary wrote it
// (full or cached, string indices) so that the file can be written again byte for byte.
struct Record {
    enum Flag : quint8 {
        FormRecorded = 0x01,   // slot holds the head-cache slot, or kFullRecord
        NameRecorded = 0x02,   // nameField is valid
        TypeRecorded = 0x04,   // typeField is valid
        StringRecorded = 0x08, // stringField is valid (cDeltaString values)
        HasAlt = 0x10,         // a float whose d:alt_encoding value differs from its text
    };

    RecordKind kind = RecordKind::Nil;
    ValueType type = ValueType::Bool; // Value and Array (element type)
    quint8 flags = 0;
    quint8 slot = kFullRecord;
    StringId name = 0;       // Open, Close, Value, Array, Reference
    quint16 nameField = 0;   // table index or kNewString, as written
    quint16 typeField = 0;   // same, for the type name
    quint16 stringField = 0; // same, for a cDeltaString value
    quint16 reserved = 0;
    quint32 id = 0;         // Open: container id; Reference: target id
    quint32 count = 0;      // Open: stored child count; Array: elements; Blob: bytes
    quint32 match = 0;      // Open: index of its Close; Close: index of its Open
    quint32 dataOffset = 0; // Array, Blob: their bytes in Document::data(); HasAlt: the alt bits
    // Value: the raw little-endian bits (bool bytes kept as they were) or, for
    // cDeltaString, the StringId. Unexplained: its five bytes.
    quint64 raw = 0;
};

// A cDeltaString array element, stored in Document::data().
struct StringElement {
    StringId text = 0;
    quint16 field = 0;    // as written
    quint16 recorded = 0; // 1 when field is valid
};

} // namespace veltrane::serz
