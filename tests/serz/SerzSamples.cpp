#include "SerzSamples.h"

namespace veltrane::serz::test {

QByteArray fromHex(const char* hex)
{
    QByteArray digits(hex);
    digits.replace(' ', "").replace('\n', "");
    return QByteArray::fromHex(digits);
}

QByteArray crlf(const QByteArrayList& lines)
{
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + "\r\n";
    return out;
}

namespace {

const QByteArray kHeader = "5345525A00000100";

} // namespace

Vector vector1()
{
    return {
        "vector 1",
        fromHex(kHeader + "FF50FFFF0500000063526F6F740700000003000000"
                          "FF50FFFF040000004974656D0000000001000000"
                          "FF56FFFF040000004E616D65FFFF0C0000006344656C7461537472696E67"
                          "FFFF0100000061"
                          "FF700100"
                          "010000000001000000"
                          "020400"
                          "03"
                          "FF50FFFF05000000456D7074790000000000000000"
                          "FF700500"
                          "FF700000"),
        crlf({R"(<?xml version="1.0" encoding="utf-8"?>)",
              R"(<cRoot xmlns:d="http://www.kuju.com/TnT/2003/Delta" d:version="1.0" d:id="7">)",
              "\t<Item>", "\t\t<Name d:type=\"cDeltaString\">a</Name>", "\t</Item>", "\t<Item>",
              "\t\t<Name d:type=\"cDeltaString\">a</Name>", "\t</Item>", "\t<Empty/>",
              "</cRoot>"})};
}

Vector vector2()
{
    return {"vector 2",
            fromHex(kHeader + "FF50FFFF04000000634F626A0000000004000000"
                              "FF56FFFF050000005370656564FFFF0800000073466C6F6174333200603544"
                              "FF41FFFF03000000506F730200040000803F000000800000003F10B968C5"
                              "FF52FFFF050000004F776E65727B000000"
                              "FF4E"
                              "FF700000"),
            crlf({R"(<?xml version="1.0" encoding="utf-8"?>)",
                  R"(<cObj xmlns:d="http://www.kuju.com/TnT/2003/Delta" d:version="1.0">)",
                  "\t<Speed d:type=\"sFloat32\" d:alt_encoding=\"0000000000AC8640\" "
                  "d:precision=\"string\">725.5</Speed>",
                  "\t<Pos d:numElements=\"4\" d:elementType=\"sFloat32\" d:precision=\"string\">"
                  "1.0000000 -0.0000000 0.5000000 -3723.5664063</Pos>",
                  "\t<Owner d:type=\"ref\">123</Owner>", "\t<d:nil/>", "</cObj>"})};
}

Vector vector3()
{
    return {
        "vector 3",
        fromHex(kHeader + "FF50FFFF0A0000004C6F633A3A6354657874E803000004000000"
                          "FF56FFFF0100000065FFFF070000007355496E743634FFFFFFFFFFFFFFFF"
                          "FF560100FFFF0600000073496E743332FBFFFFFF"
                          "FF56FFFF0400000054657874FFFF0C0000006344656C7461537472696E67"
                          "FFFF090000004974277320226F6B22"
                          "FF56FFFF04000000466C6167FFFF04000000626F6F6C01"
                          "FF700000"),
        crlf(
            {R"(<?xml version="1.0" encoding="utf-8"?>)",
             R"(<Loc-cText xmlns:d="http://www.kuju.com/TnT/2003/Delta" d:version="1.0" d:id="1000">)",
             "\t<e d:type=\"sUInt64\">18446744073709551615</e>", "\t<e d:type=\"sInt32\">-5</e>",
             "\t<Text d:type=\"cDeltaString\">It&apos;s &quot;ok&quot;</Text>",
             "\t<Flag d:type=\"bool\">1</Flag>", "</Loc-cText>"})};
}

Vector vector4()
{
    return {"vector 4",
            fromHex(kHeader + "FF43002A000000"
                              "FF50FFFF01000000520000000002000000"
                              "FF56FFFF0100000076FFFF04000000626F6F6C01"
                              "0200"
                              "FF700000"),
            crlf({R"(<?xml version="1.0" encoding="utf-8"?>)",
                  R"(<R xmlns:d="http://www.kuju.com/TnT/2003/Delta" d:version="1.0">)",
                  "\t<v d:type=\"bool\">1</v>", "\t<v d:type=\"bool\">0</v>", "</R>"})};
}

QByteArray vector4Canonical()
{
    return fromHex(kHeader + "FF50FFFF01000000520000000002000000"
                             "FF56FFFF0100000076FFFF04000000626F6F6C01"
                             "0100"
                             "FF700000");
}

} // namespace veltrane::serz::test
