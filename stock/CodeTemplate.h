#pragma once

#include <QString>
#include <functional>

namespace veltrane {

class RequirementLine;

// Fills the package's code template (the child entries of a number variant) from a
// requirement line: "Headlamp" takes the lamp number, the runs 111111 to 777777 their values.
namespace CodeTemplate {

// One copy, or two when both lamp numbers are set. Replacements ignore letter case and
// never search what they inserted; afterEach runs after every one. Throws
// std::invalid_argument for a first lamp number of 0 with a second one that is not.
QString fill(const QString& codeTemplate, const RequirementLine& line,
             const std::function<void()>& afterEach = {});

// " 3" for 3, "-3" for -3.
QString lampText(qint16 number);

} // namespace CodeTemplate

} // namespace veltrane
