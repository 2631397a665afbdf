// Reads arbitrary bytes as Serz XML. Whatever parses must encode to a binary that decodes
// to the same content in both float modes, and its XML must be stable from then on.
#include "fuzz/FuzzRequire.h"
#include "serz/Serz.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace veltrane::serz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    XmlError error;
    const auto document = parseXml(bytes, &error);
    if (!document) {
        REQUIRE(!error.message.isEmpty() && error.line >= 1);
        return 0;
    }
    QByteArray exact;
    for (FloatMode mode : {FloatMode::Serz, FloatMode::Exact}) {
        exact = encodeBinaryCanonical(*document, mode);
        const auto written = decodeBinary(exact);
        REQUIRE(written && document->sameContent(*written, mode));
        REQUIRE(encodeBinaryVerbatim(*written) == exact);
    }

    const auto first = writeXml(*decodeBinary(exact));
    if (!first)
        return 0;
    const auto parsed = parseXml(*first);
    REQUIRE(parsed.has_value());
    const auto second = decodeBinary(encodeBinaryCanonical(*parsed, FloatMode::Exact));
    REQUIRE(second && writeXml(*second) == first);
    return 0;
}
