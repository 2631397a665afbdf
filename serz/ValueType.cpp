#include "serz/ValueType.h"

#include <array>

namespace veltrane::serz {

namespace {

struct TypeInfo {
    QByteArrayView name;
    int size;
};

constexpr std::array<TypeInfo, kValueTypeCount> kTypes{{
    {"bool", 1},
    {"sInt8", 1},
    {"sUInt8", 1},
    {"sInt16", 2},
    {"sUInt16", 2},
    {"sInt32", 4},
    {"sUInt32", 4},
    {"sInt64", 8},
    {"sUInt64", 8},
    {"sFloat32", 4},
    {"sFloat64", 8},
    {"cDeltaString", 0},
}};

} // namespace

QByteArrayView valueTypeName(ValueType type)
{
    return kTypes[static_cast<int>(type)].name;
}

std::optional<ValueType> valueTypeFromName(QByteArrayView name)
{
    for (int i = 0; i < kValueTypeCount; ++i) {
        if (kTypes[i].name == name)
            return static_cast<ValueType>(i);
    }
    return std::nullopt;
}

int valueTypeSize(ValueType type)
{
    return kTypes[static_cast<int>(type)].size;
}

bool isFloatType(ValueType type)
{
    return type == ValueType::SFloat32 || type == ValueType::SFloat64;
}

bool isSignedType(ValueType type)
{
    switch (type) {
    case ValueType::SInt8:
    case ValueType::SInt16:
    case ValueType::SInt32:
    case ValueType::SInt64:
        return true;
    default:
        return false;
    }
}

} // namespace veltrane::serz
