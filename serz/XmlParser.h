#pragma once

#include "serz/Document.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace veltrane::serz {

struct XmlError {
    qint64 line = 0; // 1-based line of the fault
    QString message;
};

// Reads Serz's XML strictly: well-formed elements, one root container, known d:type
// and d:elementType names, numbers where numbers belong. Accepts CR LF and LF.
// Floats keep both their text value and, where it prints as exactly the text, their
// d:alt_encoding value; FloatMode picks one when the document is written.
namespace XmlParser {

std::optional<Document> parse(QByteArrayView xml, XmlError* error = nullptr);

} // namespace XmlParser

} // namespace veltrane::serz
