#include "serz/FloatText.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace veltrane::serz {

namespace {

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 U128;
#define VELTRANE_HAVE_U128 1
#endif

constexpr std::array<quint64, 28> kPow5 = [] {
    std::array<quint64, 28> p{};
    p[0] = 1;
    for (size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 5;
    return p;
}();

// Just enough arbitrary precision for the exact decimal value of any binary64 scaled by
// a power of ten: at most about 1,100 bits.
class BigUInt {
public:
    explicit BigUInt(quint64 v = 0)
    {
        m_limb[0] = quint32(v);
        m_limb[1] = quint32(v >> 32);
        m_size = m_limb[1] ? 2 : (m_limb[0] ? 1 : 0);
    }

    bool isZero() const { return m_size == 0; }
    quint64 low64() const { return m_limb[0] | (quint64(m_limb[1]) << 32); }
    int bitLength() const
    {
        return m_size == 0 ? 0 : (m_size - 1) * 32 + int(std::bit_width(m_limb[m_size - 1]));
    }

    void mulSmall(quint32 f)
    {
        quint64 carry = 0;
        for (int i = 0; i < m_size; ++i) {
            const quint64 t = quint64(m_limb[i]) * f + carry;
            m_limb[i] = quint32(t);
            carry = t >> 32;
        }
        if (carry)
            m_limb[m_size++] = quint32(carry);
    }

    void mulPow5(int k)
    {
        for (; k >= 13; k -= 13)
            mulSmall(1220703125u); // 5^13
        if (k > 0)
            mulSmall(quint32(kPow5[size_t(k)]));
    }

    void addSmall(quint32 v)
    {
        quint64 carry = v;
        for (int i = 0; i < m_size && carry; ++i) {
            const quint64 t = quint64(m_limb[i]) + carry;
            m_limb[i] = quint32(t);
            carry = t >> 32;
        }
        if (carry)
            m_limb[m_size++] = quint32(carry);
    }

    quint32 divSmall(quint32 d)
    {
        quint64 rem = 0;
        for (int i = m_size - 1; i >= 0; --i) {
            const quint64 cur = (rem << 32) | m_limb[i];
            m_limb[i] = quint32(cur / d);
            rem = cur % d;
        }
        trim();
        return quint32(rem);
    }

    void shiftLeft(int bits)
    {
        if (m_size == 0 || bits == 0)
            return;
        const int words = bits / 32;
        const int rest = bits % 32;
        int size = m_size + words + 1;
        Q_ASSERT(size <= kLimbs);
        for (int i = size - 1; i >= words; --i) {
            const int src = i - words;
            quint64 v = src < m_size ? quint64(m_limb[src]) << rest : 0;
            if (rest && src - 1 >= 0 && src - 1 < m_size)
                v |= m_limb[src - 1] >> (32 - rest);
            m_limb[i] = quint32(v);
        }
        for (int i = 0; i < words; ++i)
            m_limb[i] = 0;
        m_size = size;
        trim();
    }

    void shiftRight(int bits)
    {
        const int words = bits / 32;
        const int rest = bits % 32;
        if (words >= m_size) {
            m_size = 0;
            return;
        }
        const int size = m_size - words;
        for (int i = 0; i < size; ++i) {
            quint64 v = m_limb[i + words] >> rest;
            if (rest && i + words + 1 < m_size)
                v |= quint64(m_limb[i + words + 1]) << (32 - rest);
            m_limb[i] = quint32(v);
        }
        for (int i = size; i < m_size; ++i)
            m_limb[i] = 0;
        m_size = size;
        trim();
    }

    int compare(const BigUInt& o) const
    {
        if (m_size != o.m_size)
            return m_size < o.m_size ? -1 : 1;
        for (int i = m_size - 1; i >= 0; --i) {
            if (m_limb[i] != o.m_limb[i])
                return m_limb[i] < o.m_limb[i] ? -1 : 1;
        }
        return 0;
    }

    // Requires *this >= o.
    void subtract(const BigUInt& o)
    {
        qint64 borrow = 0;
        for (int i = 0; i < m_size; ++i) {
            qint64 t = qint64(m_limb[i]) - (i < o.m_size ? qint64(o.m_limb[i]) : 0) - borrow;
            borrow = t < 0 ? 1 : 0;
            m_limb[i] = quint32(t + (borrow << 32));
        }
        trim();
    }

private:
    static constexpr int kLimbs = 48;

    void trim()
    {
        while (m_size > 0 && m_limb[m_size - 1] == 0)
            --m_size;
    }

    std::array<quint32, kLimbs> m_limb{};
    int m_size = 0;
};

// |x| = m * 2^e with m odd, for finite non-zero x.
struct Decomposed {
    quint64 m;
    int e;
};

Decomposed decompose(quint64 bits)
{
    const int biased = int((bits >> 52) & 0x7FF);
    quint64 m = bits & ((quint64(1) << 52) - 1);
    int e;
    if (biased == 0) {
        e = -1074;
    } else {
        m |= quint64(1) << 52;
        e = biased - 1075;
    }
    const int zeros = std::countr_zero(m);
    return Decomposed{m >> zeros, e + zeros};
}

// floor(m * 2^e * 10^t) exactly.
BigUInt floorScaledBig(Decomposed d, int t)
{
    BigUInt num(d.m);
    const int shift = d.e + t;
    if (t >= 0) {
        num.mulPow5(t);
        if (shift >= 0)
            num.shiftLeft(shift);
        else
            num.shiftRight(-shift);
        return num;
    }
    BigUInt den(1);
    den.mulPow5(-t);
    if (shift >= 0)
        num.shiftLeft(shift);
    else
        den.shiftLeft(-shift);
    // Callers only divide when the quotient is small.
    BigUInt quotient(0);
    if (num.compare(den) < 0)
        return quotient;
    const int steps = num.bitLength() - den.bitLength();
    den.shiftLeft(steps);
    quint64 q = 0;
    for (int s = steps; s >= 0; --s) {
        if (num.compare(den) >= 0) {
            num.subtract(den);
            q |= quint64(1) << s;
        }
        den.shiftRight(1);
    }
    return BigUInt(q);
}

// floor(m * 2^e * 10^t) when the caller knows it is below 2^63.
quint64 floorScaledSmall(Decomposed d, int t)
{
#ifdef VELTRANE_HAVE_U128
    const int shift = d.e + t;
    if (t >= 0 && t < int(kPow5.size())) {
        const U128 product = U128(d.m) * kPow5[size_t(t)];
        if (shift >= 0)
            return quint64(product << shift);
        return shift <= -128 ? 0 : quint64(product >> -shift);
    }
    if (t < 0 && -t < int(kPow5.size())) {
        const quint64 divisor = kPow5[size_t(-t)];
        if (shift >= 0) {
            if (int(std::bit_width(d.m)) + shift <= 127)
                return quint64((U128(d.m) << shift) / divisor);
        } else {
            const quint64 q = d.m / divisor;
            return shift <= -64 ? 0 : q >> -shift;
        }
    }
#endif
    return floorScaledBig(d, t).low64();
}

// n in units of 1e-7, at least 2^63.
char* writeBigFixed(BigUInt n, char* p)
{
    // Nine digits per chunk, least significant first.
    std::array<quint32, 40> chunks{};
    int count = 0;
    while (!n.isZero())
        chunks[size_t(count++)] = n.divSmall(1'000'000'000);
    char digits[400];
    int length = 0;
    for (int i = count - 1; i >= 0; --i) {
        quint32 c = chunks[size_t(i)];
        for (int k = 8; k >= 0; --k) {
            digits[length + k] = char('0' + c % 10);
            c /= 10;
        }
        length += 9;
    }
    int first = 0;
    while (digits[first] == '0')
        ++first;
    std::memcpy(p, digits + first, size_t(length - 7 - first));
    p += length - 7 - first;
    *p++ = '.';
    std::memcpy(p, digits + length - 7, 7);
    return p + 7;
}

int writeUnsigned(quint64 v, char* out)
{
    return int(std::to_chars(out, out + 24, v).ptr - out);
}

int writeSpecial(quint64 bits, char* out)
{
    const bool negative = bits >> 63;
    const bool nan = (bits & ((quint64(1) << 52) - 1)) != 0;
    char* p = out;
    if (negative)
        *p++ = '-';
    std::memcpy(p, nan ? "nan" : "inf", 3);
    return int(p + 3 - out);
}

bool isSpecial(quint64 bits)
{
    return ((bits >> 52) & 0x7FF) == 0x7FF;
}

} // namespace

double FloatText::toDouble(quint64 bits)
{
    return std::bit_cast<double>(bits);
}

int FloatText::formatScalar(double value, char* out)
{
    const quint64 bits = std::bit_cast<quint64>(value);
    if (isSpecial(bits))
        return writeSpecial(bits, out);
    char* p = out;
    if (bits >> 63)
        *p++ = '-';
    if ((bits << 1) == 0) {
        *p++ = '0';
        return int(p - out);
    }
    const Decomposed d = decompose(bits);
    // |x| >= 2^(width-1+e), so this never exceeds the decimal exponent and is at most
    // one below it.
    int exponent = int(std::floor((int(std::bit_width(d.m)) - 1 + d.e) * 0.30102999566398120));
    quint64 n = floorScaledSmall(d, 6 - exponent);
    if (n >= 10'000'000) {
        ++exponent;
        n /= 10;
    }
    quint64 digits = (n + 5) / 10; // ties away from zero
    if (digits >= 1'000'000) {
        ++exponent;
        digits /= 10;
    }
    char d6[6];
    for (int i = 5; i >= 0; --i) {
        d6[i] = char('0' + digits % 10);
        digits /= 10;
    }
    int significant = 6;
    while (significant > 1 && d6[significant - 1] == '0')
        --significant;

    if (exponent >= -4 && exponent <= 5) {
        if (exponent >= 0) {
            std::memcpy(p, d6, size_t(exponent) + 1);
            p += exponent + 1;
            if (significant > exponent + 1) {
                *p++ = '.';
                std::memcpy(p, d6 + exponent + 1, size_t(significant - exponent - 1));
                p += significant - exponent - 1;
            }
        } else {
            *p++ = '0';
            *p++ = '.';
            for (int i = 0; i < -exponent - 1; ++i)
                *p++ = '0';
            std::memcpy(p, d6, size_t(significant));
            p += significant;
        }
        return int(p - out);
    }
    *p++ = d6[0];
    if (significant > 1) {
        *p++ = '.';
        std::memcpy(p, d6 + 1, size_t(significant - 1));
        p += significant - 1;
    }
    *p++ = 'e';
    *p++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    *p++ = char('0' + magnitude / 100);
    *p++ = char('0' + magnitude / 10 % 10);
    *p++ = char('0' + magnitude % 10);
    return int(p - out);
}

int FloatText::formatFixed7(double value, char* out)
{
    const quint64 bits = std::bit_cast<quint64>(value);
    if (isSpecial(bits))
        return writeSpecial(bits, out);
    char* p = out;
    if (bits >> 63)
        *p++ = '-';
    quint64 scaled = 0; // the value in units of 1e-7
    if ((bits << 1) != 0) {
        const Decomposed d = decompose(bits);
        bool fits = false;
#ifdef VELTRANE_HAVE_U128
        const U128 product = U128(d.m) * kPow5[8];
        const int shift = d.e + 8;
        if (shift < 0) {
            const U128 n = shift <= -128 ? 0 : product >> -shift;
            fits = (n >> 63) == 0;
            scaled = quint64(n);
        } else if (int(std::bit_width(quint64(product >> 64))) == 0 &&
                   int(std::bit_width(quint64(product))) + shift <= 62) {
            fits = true;
            scaled = quint64(product) << shift;
        }
#endif
        if (fits) {
            scaled = (scaled + 5) / 10;
        } else {
            BigUInt n = floorScaledBig(d, 8);
            n.addSmall(5);
            n.divSmall(10);
            if (n.bitLength() > 63)
                return int(writeBigFixed(n, p) - out);
            scaled = n.low64();
        }
    }
    p += writeUnsigned(scaled / 10'000'000, p);
    *p++ = '.';
    quint64 fraction = scaled % 10'000'000;
    for (int k = 6; k >= 0; --k) {
        p[k] = char('0' + fraction % 10);
        fraction /= 10;
    }
    return int(p + 7 - out);
}

void FloatText::formatAltEncoding(quint64 bits, char* out16)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (size_t i = 0; i < 8; ++i) {
        const quint8 byte = quint8(bits >> (8 * i));
        out16[2 * i] = kHex[byte >> 4];
        out16[2 * i + 1] = kHex[byte & 15];
    }
}

std::optional<quint64> FloatText::parseAltEncoding(QByteArrayView text)
{
    if (text.size() != 16)
        return std::nullopt;
    quint64 bits = 0;
    for (int i = 0; i < 16; ++i) {
        const char c = text[i];
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else
            return std::nullopt;
        // Byte i / 2 of the little-endian encoding; its high digit comes first.
        bits |= quint64(v) << (8 * (i / 2) + ((i % 2) ? 0 : 4));
    }
    return bits;
}

namespace {

// Decimal exponent of the first significant digit of a well-formed, non-zero decimal.
qint64 roughExponent(const char* p, const char* end)
{
    qint64 integerDigits = 0;
    qint64 leadingZeros = 0;
    bool seen = false;
    bool fraction = false;
    for (; p < end && *p != 'e' && *p != 'E'; ++p) {
        if (*p == '.') {
            fraction = true;
        } else if (!fraction) {
            if (seen || *p != '0') {
                seen = true;
                ++integerDigits;
            }
        } else if (!seen) {
            if (*p == '0')
                ++leadingZeros;
            else
                seen = true;
        }
    }
    qint64 exponent = integerDigits > 0 ? integerDigits - 1 : -(leadingZeros + 1);
    if (p < end) {
        ++p;
        bool negative = false;
        if (p < end && (*p == '+' || *p == '-'))
            negative = *p++ == '-';
        qint64 e = 0;
        for (; p < end && e < 1'000'000'000; ++p)
            e = e * 10 + (*p - '0');
        exponent += negative ? -e : e;
    }
    return exponent;
}

bool matchesOldRuntime(QByteArrayView text, bool negative, double* out)
{
    // "1.#INF", "1.#QNAN", "1.#SNAN", "1.#IND", optionally followed by zeros.
    static constexpr std::array<QByteArrayView, 4> kForms{"1.#INF", "1.#QNAN", "1.#SNAN", "1.#IND"};
    for (QByteArrayView form : kForms) {
        if (!text.startsWith(form))
            continue;
        for (qsizetype i = form.size(); i < text.size(); ++i) {
            if (text[i] != '0')
                return false;
        }
        const double v = form == kForms[0] ? std::numeric_limits<double>::infinity()
                                           : std::numeric_limits<double>::quiet_NaN();
        *out = negative ? -v : v;
        return true;
    }
    return false;
}

} // namespace

std::optional<double> FloatText::parseDouble(QByteArrayView text, bool* outOfRange)
{
    if (outOfRange)
        *outOfRange = false;
    const char* p = text.data();
    const char* end = p + text.size();
    if (p == end)
        return std::nullopt;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        // from_chars takes a minus sign but no plus sign.
        if (*p == '+' && (++p == end || *p == '-'))
            return std::nullopt;
    }
    double value = 0;
    const auto [ptr, ec] = std::from_chars(p, end, value, std::chars_format::general);
    if (ec == std::errc() && ptr == end)
        return value;
    if (ec == std::errc::result_out_of_range && ptr == end) {
        const char* digits = (*p == '-') ? p + 1 : p;
        if (roughExponent(digits, end) < 0)
            return negative ? -0.0 : 0.0;
        if (outOfRange)
            *outOfRange = true;
        return std::nullopt;
    }
    const qsizetype skip = (*p == '-') ? 1 : 0;
    if (matchesOldRuntime(QByteArrayView(p + skip, end), negative, &value))
        return value;
    return std::nullopt;
}

std::optional<quint32> FloatText::nearestFloat32(double value)
{
    const quint64 bits = std::bit_cast<quint64>(value);
    if (std::isnan(value)) {
        quint32 mantissa = quint32((bits >> 29) & 0x7FFFFF);
        if (mantissa == 0)
            mantissa = 0x400000;
        return quint32((bits >> 63) << 31) | 0x7F800000u | mantissa;
    }
    constexpr double kMax = std::numeric_limits<float>::max();
    // Halfway between FLT_MAX and 2^128; from there on binary32 rounds to infinity.
    constexpr double kOverflow = 0x1.ffffffp127;
    if (std::isfinite(value) && std::fabs(value) > kMax) {
        if (std::fabs(value) >= kOverflow)
            return std::nullopt;
        return std::bit_cast<quint32>(value < 0 ? -std::numeric_limits<float>::max()
                                                : std::numeric_limits<float>::max());
    }
    return std::bit_cast<quint32>(static_cast<float>(value));
}

quint64 FloatText::widen(quint32 floatBits)
{
    if ((floatBits & 0x7F800000u) == 0x7F800000u && (floatBits & 0x7FFFFF) != 0) {
        return (quint64(floatBits >> 31) << 63) | (quint64(0x7FF) << 52) |
               (quint64(floatBits & 0x7FFFFF) << 29);
    }
    return std::bit_cast<quint64>(static_cast<double>(std::bit_cast<float>(floatBits)));
}

std::optional<quint32> FloatText::narrowExactly(quint64 doubleBits)
{
    const double value = std::bit_cast<double>(doubleBits);
    if (std::isnan(value)) {
        if (doubleBits & ((quint64(1) << 29) - 1))
            return std::nullopt;
        return quint32((doubleBits >> 63) << 31) | 0x7F800000u |
               quint32((doubleBits >> 29) & 0x7FFFFF);
    }
    if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max())
        return std::nullopt;
    const quint32 narrow = std::bit_cast<quint32>(static_cast<float>(value));
    if (widen(narrow) != doubleBits)
        return std::nullopt;
    return narrow;
}

} // namespace veltrane::serz
