// Reads arbitrary bytes as a binary serialised file. Whatever decodes must come back byte
// for byte, and its XML must read back to the same XML.
#include "serz/Serz.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace veltrane::serz;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    DecodeError error;
    const auto document = decodeBinary(bytes, &error);
    if (!document) {
        require(!error.message.isEmpty() && error.offset >= 0 && error.offset <= qint64(size));
        return 0;
    }
    require(encodeBinaryVerbatim(*document) == bytes);

    const QByteArray canonical = encodeBinaryCanonical(*document);
    const auto reread = decodeBinary(canonical);
    require(reread && reread->sameContent(*document, FloatMode::Exact));

    const auto xml = writeXml(*document);
    if (!xml)
        return 0;
    XmlError xmlError;
    const auto parsed = parseXml(*xml, &xmlError);
    require(parsed.has_value());
    const auto again = decodeBinary(encodeBinaryCanonical(*parsed, FloatMode::Exact));
    require(again.has_value());
    require(writeXml(*again) == xml);
    return 0;
}
