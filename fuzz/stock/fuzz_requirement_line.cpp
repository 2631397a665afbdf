// Splits arbitrary text as a line of a scenario's list of required rolling stock and reads
// its numbers.
#include "fuzz/FuzzRequire.h"
#include "stock/RequirementLine.h"
#include "util/Windows1252.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

void checkLamp(double value)
{
    const std::optional<qint16> lamp = RequirementLine::toLampNumber(value);
    if (!lamp) {
        REQUIRE(!std::isfinite(value) || value < -32768.5 || value >= 32767.5);
        return;
    }
    const double distance = std::fabs(double(*lamp) - value);
    REQUIRE(distance <= 0.5);
    if (distance == 0.5)
        REQUIRE(*lamp % 2 == 0);
}

void checkNumber(const QString& field)
{
    const double value = RequirementLine::leadingNumber(field);
    REQUIRE(!std::isnan(value));
    checkLamp(value);
    // A minus sign in front of a plain decimal number negates it.
    if (!field.isEmpty() && ((field[0] >= u'0' && field[0] <= u'9') || field[0] == u'.'))
        REQUIRE(RequirementLine::leadingNumber(u'-' + field) == -value);

    // However long its run of digits, a fraction stays at most 1 and a whole number of at
    // least 1 stays positive when divided by ten.
    qsizetype digits = 0;
    while (digits < field.size() && field[digits] >= u'0' && field[digits] <= u'9')
        ++digits;
    if (digits == 0)
        return;
    const QString run = field.left(digits);
    const double fraction = RequirementLine::leadingNumber(u"0."_s + run);
    REQUIRE(fraction >= 0 && fraction <= 1);
    if (run.contains(QRegularExpression(u"[1-9]"_s)))
        REQUIRE(RequirementLine::leadingNumber(run + u"e-1"_s) > 0);
}

void checkLine(const QString& line)
{
    const QString path = RequirementLine::stockPath(line);
    REQUIRE(!path.contains(u','));
    REQUIRE(!path.endsWith(u"xml"_s, Qt::CaseInsensitive));
    const QString first = line.section(u',', 0, 0);
    REQUIRE(path.size() == first.size());
    REQUIRE(path == first || path.chopped(3) == first.chopped(3));

    try {
        const RequirementLine requirement(line);
        QStringList fields;
        for (int number = 1; number <= RequirementLine::kFields; ++number)
            fields.append(requirement.field(number));
        REQUIRE(fields.join(u',') == line);
        REQUIRE(requirement.field(1) == first);
        REQUIRE(requirement.lampNumber1() ==
                RequirementLine::toLampNumber(RequirementLine::leadingNumber(fields[1])));
        REQUIRE(requirement.lampNumber2() ==
                RequirementLine::toLampNumber(RequirementLine::leadingNumber(fields[2])));
    } catch (const std::invalid_argument&) {
        REQUIRE(line.count(u',') < RequirementLine::kFields - 1);
    } catch (const std::overflow_error&) {
        REQUIRE(line.count(u',') >= RequirementLine::kFields - 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString line = Windows1252::decode(bytes);
    checkLine(line);
    for (const QString& field : line.split(u','))
        checkNumber(field);
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        checkLamp(raw);
    }
    return 0;
}
