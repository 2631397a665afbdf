#pragma once

#include "serz/Document.h"

#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

namespace veltrane::serz {

struct DecodeError {
    qint64 offset = 0; // byte offset in the file
    QString message;
};

// Reads a binary serialised file, remembering for each record how it was written.
// Every read is bounds-checked; a file that is not exactly one well-formed root
// container (plus 0x43 records) is refused with the offset of the first fault.
namespace BinaryDecoder {

// recordOffsets, when given, receives each record's starting byte offset.
std::optional<Document> decode(QByteArrayView bytes, DecodeError* error = nullptr,
                               std::vector<qint64>* recordOffsets = nullptr);

} // namespace BinaryDecoder

} // namespace veltrane::serz
