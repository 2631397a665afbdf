#pragma once

#include <QString>

namespace veltrane {

// Reads and replaces the text between an opening tag and its closing tag, by plain
// case-insensitive searches, without parsing the document. Positions are 1-based with 0 for
// "none", so that calls chain: each starts where the previous one's closing tag stood. Both
// find "<tag" at or after position, the next ">" and then the next "</tag".
namespace TaggedText {

// Sets value to the text between and position to the closing tag. No opening tag: position
// becomes 0 and value stays. Throws std::invalid_argument for a position below 1 or an
// element that is not closed; position and value then stay as they were.
void readValue(const QString& text, qint32& position, const QString& tag, QString& value);

// Replaces the value of the same element and sets position to where the closing tag stood
// before the edit. Any failure leaves the text alone and sets position to 0, so that the
// rest of a chain fails too.
void replaceValue(QString& text, qint32& position, const QString& tag, const QString& value);

} // namespace TaggedText

} // namespace veltrane
