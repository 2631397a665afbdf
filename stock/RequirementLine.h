#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace veltrane {

// One line of a scenario's list of required rolling stock, split into its twelve fields:
// the blueprint's path, two lamp numbers, six code texts and three common values. Field 12
// keeps any further commas.
class RequirementLine {
public:
    static constexpr int kFields = 12;

    // Throws std::invalid_argument for a line with fewer than eleven commas and
    // std::overflow_error for a comma beyond what a 16-bit position holds or a lamp number
    // outside -32768..32767.
    explicit RequirementLine(const QString& line);

    const QString& field(int number) const { return m_fields[number - 1]; }
    qint16 lampNumber1() const { return m_lamp1; }
    qint16 lampNumber2() const { return m_lamp2; }

    // The required blueprint's path relative to the game's Assets folder: the text before
    // the line's first comma (the whole line without one), a final "xml" made "bin".
    static QString stockPath(const QString& line);

    // The field's leading number, as the old BASIC Val() reads it: blanks anywhere are
    // ignored, reading stops at the first character that cannot continue the number, and
    // no number at all is 0.
    static double leadingNumber(const QString& field);
    // The nearest integer, halves to the even neighbour; nothing outside the 16-bit range.
    static std::optional<qint16> toLampNumber(double value);

private:
    QStringList m_fields;
    qint16 m_lamp1 = 0;
    qint16 m_lamp2 = 0;
};

} // namespace veltrane
