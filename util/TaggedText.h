#pragma once

#include <QString>

namespace veltrane {

// Reads and replaces the text between an opening tag and its closing tag, by plain
// case-insensitive searches, without parsing the document. Positions are 1-based with 0 for
// "none", so that calls chain: each starts where the previous one's closing tag stood.
class TaggedText {
public:
    // Finds "<tag" at or after position, the next ">" and then the next "</tag". Sets value
    // to the text between and position to the closing tag. No opening tag: position
    // becomes 0 and value stays. Throws std::invalid_argument for a position below 1 or an
    // element that is not closed; position and value then stay as they were.
    static void GetDetail(const QString& text, qint32& position, const QString& tag,
                          QString& value);

    // Replaces the value of the same element with strResponse and sets xx to where the
    // closing tag stood before the edit. Any failure leaves the document alone and sets xx
    // to 0, so that the rest of a chain fails too.
    static void PutDetail(QString& strCheck, qint32& xx, const QString& strPrefix,
                          const QString& strResponse);
};

} // namespace veltrane
