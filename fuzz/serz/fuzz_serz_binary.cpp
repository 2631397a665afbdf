// Reads arbitrary bytes as a binary serialised file. Whatever decodes must come back byte
// for byte, and its XML must read back to the same XML, up to the names that Serz's own
// mapping cannot give back (see below).
#include "fuzz/FuzzRequire.h"
#include "serz/Serz.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace veltrane::serz;

namespace {

// Each run of ":" and "-" as one ":", where the name mapping may have changed it.
QByteArray squashedColonsAndDashes(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        const bool mark = c == ':' || c == '-';
        if (!mark || out.isEmpty() || out.back() != ':')
            out.append(mark ? ':' : c);
    }
    return out;
}

} // namespace

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
    const auto second = writeXml(*again);
    REQUIRE(second.has_value());
    if (*second == *xml)
        return 0;
    // "::" is written as "-" and "-" read as "::", so a stored name that mixes the two (":-")
    // comes back otherwise. Only names may differ, and one more round changes nothing.
    REQUIRE(squashedColonsAndDashes(*second) == squashedColonsAndDashes(*xml));
    const auto parsedAgain = parseXml(*second);
    REQUIRE(parsedAgain.has_value());
    const auto third = decodeBinary(encodeBinaryCanonical(*parsedAgain, FloatMode::Exact));
    REQUIRE(third.has_value() && writeXml(*third) == second);
    return 0;
}
