#pragma once

#include <QByteArrayView>
#include <optional>

namespace veltrane::serz {

// Float text as Serz writes and reads it. All formatting works on the exact decimal
// value of the binary64, rounding ties away from zero as the old Microsoft runtime did;
// the C library's printf rounds ties to even and would differ on such values.
namespace FloatText {

// Longest possible outputs, for callers' buffers.
inline constexpr int kScalarMax = 16;
inline constexpr int kFixedMax = 330;

// "%g": 6 significant digits, fixed notation for exponents -4..5, otherwise
// d.ddddde+XXX with at least three exponent digits. Returns the length.
int formatScalar(double value, char* out);
// "%.7f": always seven decimals, "-" kept when a negative value rounds to zero.
int formatFixed7(double value, char* out);
// d:alt_encoding: the 8 little-endian bytes of the binary64 as 16 uppercase digits.
void formatAltEncoding(quint64 bits, char* out16);
std::optional<quint64> parseAltEncoding(QByteArrayView text);

// The nearest binary64 to a decimal number (also "inf", "nan", and the old runtime's
// "1.#INF" forms). Fails on anything else, and on a finite number too large for
// binary64; outOfRange then says which it was. Tiny numbers become zero.
std::optional<double> parseDouble(QByteArrayView text, bool* outOfRange = nullptr);
// The nearest binary32, or nothing when a finite value is too large for it.
std::optional<quint32> nearestFloat32(double value);

// Exact widening of binary32 bits, NaN payloads included.
quint64 widen(quint32 floatBits);
// The binary32 whose widening is these bits, if there is one.
std::optional<quint32> narrowExactly(quint64 doubleBits);
double toDouble(quint64 bits);

} // namespace FloatText

} // namespace veltrane::serz
