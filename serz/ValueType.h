#pragma once

#include <QByteArrayView>
#include <optional>

namespace veltrane::serz {

// The scalar types a value or array element can have; the binary names them by their
// type-name strings.
enum class ValueType : quint8 {
    Bool,
    SInt8,
    SUInt8,
    SInt16,
    SUInt16,
    SInt32,
    SUInt32,
    SInt64,
    SUInt64,
    SFloat32,
    SFloat64,
    DeltaString,
};

inline constexpr int kValueTypeCount = 12;

// The type name as the binary and the XML spell it, e.g. "sFloat32".
QByteArrayView valueTypeName(ValueType type);
std::optional<ValueType> valueTypeFromName(QByteArrayView name);
// Bytes of one encoded value; 0 for cDeltaString, which is a string field.
int valueTypeSize(ValueType type);
bool isFloatType(ValueType type);
bool isSignedType(ValueType type);

} // namespace veltrane::serz
