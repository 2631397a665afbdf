#pragma once

// The serialiser in one include: binary <-> document <-> XML.

#include "serz/BinaryDecoder.h"
#include "serz/BinaryEncoder.h"
#include "serz/Document.h"
#include "serz/XmlParser.h"
#include "serz/XmlWriter.h"

namespace veltrane::serz {

inline std::optional<Document> decodeBinary(QByteArrayView bytes, DecodeError* error = nullptr)
{
    return BinaryDecoder::decode(bytes, error);
}

inline QByteArray encodeBinaryVerbatim(const Document& document)
{
    return BinaryEncoder::encodeVerbatim(document);
}

inline QByteArray encodeBinaryCanonical(const Document& document, FloatMode mode = FloatMode::Exact,
                                        QStringList* warnings = nullptr)
{
    return BinaryEncoder::encodeCanonical(document, mode, warnings);
}

inline std::optional<QByteArray> writeXml(const Document& document, WriteIssue* error = nullptr,
                                          std::vector<WriteIssue>* warnings = nullptr)
{
    return XmlWriter::write(document, error, warnings);
}

inline std::optional<Document> parseXml(QByteArrayView xml, XmlError* error = nullptr)
{
    return XmlParser::parse(xml, error);
}

} // namespace veltrane::serz
