#pragma once

#include "serz/Document.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace veltrane::serz {

struct WriteIssue {
    qsizetype record = -1; // the record concerned
    QString message;
};

// Writes a document as Serz's XML: UTF-8, TAB indentation, CR LF after every line.
namespace XmlWriter {

// Fails when a record cannot be written as XML that reads back the same: a name
// that is not usable as an element name, or an empty string inside a cDeltaString
// array. Invalid UTF-8 is copied as it is and reported in warnings.
std::optional<QByteArray> write(const Document& document, WriteIssue* error = nullptr,
                                std::vector<WriteIssue>* warnings = nullptr);
// The same text handed to out in pieces of about a megabyte, so that a large file is
// never held whole. A false from out stops the writing; write then returns false with
// error->record at -1.
bool write(const Document& document, const std::function<bool(QByteArrayView)>& out,
           WriteIssue* error = nullptr, std::vector<WriteIssue>* warnings = nullptr);

} // namespace XmlWriter

} // namespace veltrane::serz
