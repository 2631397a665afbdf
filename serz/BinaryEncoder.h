#pragma once

#include "serz/Document.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace veltrane::serz {

// Writes a document as a binary serialised file.
namespace BinaryEncoder {

// Replays how each record was written (full or cached, slot, string indices, stored
// child counts), so a decoded file comes back byte for byte. A choice that no longer
// holds after an edit, or was never recorded, is made the canonical way instead.
QByteArray encodeVerbatim(const Document& document);

// What Serz writes: strings by index once in the table, a record cached whenever a
// slot holds its head, child counts recomputed. 0x43 records are kept, written in
// full. Warnings (a string table past 65,535 entries) go to warnings.
QByteArray encodeCanonical(const Document& document, FloatMode mode = FloatMode::Exact,
                           QStringList* warnings = nullptr);

} // namespace BinaryEncoder

} // namespace veltrane::serz
