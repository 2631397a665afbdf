#include "CodeTemplate.h"

#include "RequirementLine.h"

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

struct CopyValues {
    QString lamp;      // what "Headlamp" becomes
    QString direction; // what "777777" becomes
    int firstCode;     // field of the first of its three code texts
};

QString fillCopy(QString copy, const RequirementLine& line, const CopyValues& values,
                 const std::function<void()>& afterEach)
{
    const QString replacements[][2] = {
        {u"Headlamp"_s, values.lamp},
        {u"444444"_s, line.field(10)},
        {u"555555"_s, line.field(11)},
        {u"666666"_s, line.field(12)},
        {u"777777"_s, values.direction},
        {u"111111"_s, line.field(values.firstCode)},
        {u"222222"_s, line.field(values.firstCode + 1)},
        {u"333333"_s, line.field(values.firstCode + 2)},
    };
    for (const auto& [placeholder, value] : replacements) {
        copy.replace(placeholder, value, Qt::CaseInsensitive);
        if (afterEach)
            afterEach();
    }
    return copy;
}

} // namespace

QString CodeTemplate::lampText(qint16 number)
{
    return number < 0 ? QString::number(number) : u' ' + QString::number(number);
}

QString CodeTemplate::fill(const QString& codeTemplate, const RequirementLine& line,
                           const std::function<void()>& afterEach)
{
    const qint16 lamp1 = line.lampNumber1();
    const qint16 lamp2 = line.lampNumber2();
    if (lamp1 == 0 && lamp2 != 0)
        throw std::invalid_argument(
            "Invalid procedure call or argument: the first lamp number is 0 but the second is "
            "not, which no fill rule covers");
    if (lamp1 == 0)
        return fillCopy(codeTemplate, line, {u"Taillamp"_s, u"-1.0000"_s, 4}, afterEach);
    QString fragment =
        fillCopy(codeTemplate, line, {u"Headlamp"_s + lampText(lamp1), u"1.0000"_s, 4}, afterEach);
    if (lamp2 != 0)
        fragment += fillCopy(codeTemplate, line, {u"Headlamp"_s + lampText(lamp2), u"1.0000"_s, 7},
                             afterEach);
    return fragment;
}

} // namespace veltrane
