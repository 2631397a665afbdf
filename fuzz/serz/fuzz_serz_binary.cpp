// Reads arbitrary bytes as a binary serialised file. Whatever decodes must come back byte
// for byte, and its XML must read back to the same XML.
#include "fuzz/FuzzRequire.h"
#include "serz/Serz.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace veltrane::serz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    DecodeError error;
    const auto document = decodeBinary(bytes, &error);
    if (!document) {
        REQUIRE(!error.message.isEmpty() && error.offset >= 0 && error.offset <= qint64(size));
        return 0;
    }
    REQUIRE(encodeBinaryVerbatim(*document) == bytes);

    const QByteArray canonical = encodeBinaryCanonical(*document);
    const auto reread = decodeBinary(canonical);
    REQUIRE(reread && reread->sameContent(*document, FloatMode::Exact));

    const auto xml = writeXml(*document);
    if (!xml)
        return 0;
    XmlError xmlError;
    const auto parsed = parseXml(*xml, &xmlError);
    REQUIRE(parsed.has_value());
    const auto again = decodeBinary(encodeBinaryCanonical(*parsed, FloatMode::Exact));
    REQUIRE(again.has_value());
    REQUIRE(writeXml(*again) == xml);
    return 0;
}
