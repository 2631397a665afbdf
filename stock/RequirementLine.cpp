#include "RequirementLine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Digits of a &H or &O number; blanks are skipped like everywhere in Val().
double radixNumber(const QString& field, qsizetype at, int radix)
{
    double value = 0;
    bool any = false;
    for (; at < field.size(); ++at) {
        const QChar c = field[at];
        if (isBlank(c))
            continue;
        const int digit = c.isDigit() ? c.digitValue()
                          : (radix == 16 && c.toLower() >= u'a' && c.toLower() <= u'f')
                              ? c.toLower().unicode() - u'a' + 10
                              : -1;
        if (digit < 0 || digit >= radix)
            break;
        value = value * radix + digit;
        any = true;
    }
    return any ? value : 0;
}

// The power of ten of the first significant digit of a gathered number ("0.05" -> -2,
// "120e3" -> 5), which tells a number too large for a double from one too small: neither
// the exponent's sign nor the digits alone do ("1000...0e-5", "0.000...1").
long long decimalMagnitude(const std::string& number)
{
    const std::size_t e = number.find('e');
    const std::string digits = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string::npos) {
        std::size_t at = e + 1;
        const bool negative = at < number.size() && number[at] == '-';
        if (at < number.size() && (number[at] == '-' || number[at] == '+'))
            ++at;
        // Far beyond any double's range; saturating keeps the sum below from overflowing.
        constexpr long long kCap = 1'000'000'000;
        for (; at < number.size() && exponent < kCap; ++at)
            exponent = exponent * 10 + (number[at] - '0');
        if (negative)
            exponent = -exponent;
    }
    const std::size_t point = std::min(digits.find('.'), digits.size());
    const std::size_t first = digits.find_first_of("123456789");
    if (first == std::string::npos)
        return std::numeric_limits<long long>::min();
    const long long position =
        first < point ? (long long)(point - first) - 1 : -(long long)(first - point);
    return position + exponent;
}

} // namespace

RequirementLine::RequirementLine(const QString& line)
{
    qsizetype start = 0;
    for (int number = 1; number < kFields; ++number) {
        const qsizetype comma = line.indexOf(u',', start);
        if (comma < 0)
            throw std::invalid_argument("Invalid procedure call or argument: the line has " +
                                        std::to_string(number - 1) +
                                        " commas where at least 11 are needed");
        if (comma + 1 > std::numeric_limits<qint16>::max())
            throw std::overflow_error("Overflow: a comma lies beyond character 32767 of the line");
        m_fields.append(line.mid(start, comma - start));
        start = comma + 1;
    }
    m_fields.append(line.mid(start));

    const auto lamp1 = toLampNumber(leadingNumber(field(2)));
    const auto lamp2 = toLampNumber(leadingNumber(field(3)));
    if (!lamp1 || !lamp2)
        throw std::overflow_error("Overflow: a lamp number lies outside -32768 to 32767");
    m_lamp1 = *lamp1;
    m_lamp2 = *lamp2;
}

QString RequirementLine::stockPath(const QString& line)
{
    const qsizetype comma = line.indexOf(u',');
    QString path = comma < 0 ? line : line.left(comma);
    if (path.endsWith(u"xml"_s, Qt::CaseInsensitive))
        path = path.chopped(3) + u"bin"_s;
    return path;
}

double RequirementLine::leadingNumber(const QString& field)
{
    qsizetype at = 0;
    const auto skipBlanks = [&] {
        while (at < field.size() && isBlank(field[at]))
            ++at;
    };
    skipBlanks();
    if (at + 1 < field.size() && field[at] == u'&') {
        const QChar kind = field[at + 1].toLower();
        if (kind == u'h')
            return radixNumber(field, at + 2, 16);
        if (kind == u'o')
            return radixNumber(field, at + 2, 8);
    }

    // Gather the characters that form a decimal number, blanks dropped.
    std::string number;
    bool digits = false;
    bool point = false;
    bool exponent = false;
    if (at < field.size() && (field[at] == u'-' || field[at] == u'+')) {
        number += char(field[at].unicode());
        ++at;
    }
    for (; at < field.size(); ++at) {
        const QChar c = field[at];
        if (isBlank(c))
            continue;
        if (c.isDigit() && c.unicode() < 0x80) {
            number += char(c.unicode());
            digits = true;
        } else if (c == u'.' && !point && !exponent) {
            number += '.';
            point = true;
        } else if ((c == u'e' || c == u'E' || c == u'd' || c == u'D') && digits && !exponent) {
            // Only an exponent that has digits counts.
            qsizetype next = at + 1;
            while (next < field.size() && isBlank(field[next]))
                ++next;
            std::string sign;
            if (next < field.size() && (field[next] == u'-' || field[next] == u'+')) {
                sign = char(field[next].unicode());
                ++next;
                while (next < field.size() && isBlank(field[next]))
                    ++next;
            }
            if (next >= field.size() || !field[next].isDigit() || field[next].unicode() >= 0x80)
                break;
            number += 'e' + sign;
            exponent = true;
            at = next - 1;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    // from_chars does not take a "+"; it also ignores the locale, unlike strtod.
    const char* first = number.data() + (number[0] == '+' ? 1 : 0);
    double value = 0;
    const auto [end, error] = std::from_chars(first, number.data() + number.size(), value);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range) {
        if (decimalMagnitude(number) < 0)
            return 0.0;
        return number[0] == '-' ? -std::numeric_limits<double>::infinity()
                                : std::numeric_limits<double>::infinity();
    }
    return value;
}

std::optional<qint16> RequirementLine::toLampNumber(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded =
        value - std::floor(value) == 0.5 ? 2.0 * std::round(value / 2.0) : std::round(value);
    if (rounded < std::numeric_limits<qint16>::min() ||
        rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(rounded);
}

} // namespace veltrane
