// The byte layout and Serz's XML on the hand-made vectors, and the float text rules.
#include "SerzSamples.h"
#include "serz/FloatText.h"
#include "serz/Serz.h"

#include <QTest>
#include <bit>
#include <cstring>

using namespace Qt::StringLiterals;
using namespace veltrane::serz;
using namespace veltrane::serz::test;

namespace {

QByteArray scalarText(double v)
{
    char buffer[FloatText::kScalarMax];
    return QByteArray(buffer, FloatText::formatScalar(v, buffer));
}

QByteArray arrayText(double v)
{
    char buffer[FloatText::kFixedMax];
    return QByteArray(buffer, FloatText::formatFixed7(v, buffer));
}

QByteArray altText(double v)
{
    char buffer[16];
    FloatText::formatAltEncoding(std::bit_cast<quint64>(v), buffer);
    return QByteArray(buffer, 16);
}

QByteArray binToXml(const QByteArray& binary)
{
    DecodeError error;
    const auto document = decodeBinary(binary, &error);
    if (!document) {
        qWarning() << error.offset << error.message;
        return {};
    }
    return writeXml(*document).value_or(QByteArray());
}

QByteArray xmlToBin(const QByteArray& xml, FloatMode mode = FloatMode::Exact)
{
    XmlError error;
    const auto document = parseXml(xml, &error);
    if (!document) {
        qWarning() << error.line << error.message;
        return {};
    }
    return encodeBinaryCanonical(*document, mode);
}

// Each float value of a binary, in file order, as binary64 bits.
quint64 onlyFloat(const QByteArray& binary)
{
    const auto document = decodeBinary(binary);
    if (!document)
        return 0;
    for (qsizetype i = 0; i < document->size(); ++i) {
        const Record& r = document->record(i);
        if (r.kind == RecordKind::Value && r.type == ValueType::SFloat32)
            return FloatText::widen(quint32(r.raw));
        if (r.kind == RecordKind::Value && r.type == ValueType::SFloat64)
            return r.raw;
    }
    return 0;
}

} // namespace

class TestSerzFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void vectors_data();
    void vectors();
    void vector4KeepsThe0x43RecordOnlyInBinary();
    void floatTable_data();
    void floatTable();
    void floatTiesRoundAwayFromZero();
    void floatTextParsesBack();
    void headCacheWrapsAfter255Slots();
    void namesMapBothWays();
    void textEscapesAndSpacesRoundTrip();
    void floatModes();
    void integerTypesAndLimits();
    void blobsRoundTrip();
};

void TestSerzFormat::vectors_data()
{
    QTest::addColumn<QByteArray>("binary");
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<int>("size");
    const Vector v[] = {vector1(), vector2(), vector3()};
    const int sizes[] = {132, 112, 156};
    for (int i = 0; i < 3; ++i)
        QTest::newRow(v[i].name) << v[i].binary << v[i].xml << sizes[i];
}

void TestSerzFormat::vectors()
{
    QFETCH(QByteArray, binary);
    QFETCH(QByteArray, xml);
    QFETCH(int, size);
    QCOMPARE(binary.size(), size);

    QCOMPARE(binToXml(binary), xml);
    QCOMPARE(xmlToBin(xml), binary);
    QCOMPARE(xmlToBin(xml, FloatMode::Serz), binary);
    // Files that use LF only read the same.
    QCOMPARE(xmlToBin(QByteArray(xml).replace("\r\n", "\n")), binary);

    const auto document = decodeBinary(binary);
    QVERIFY(document);
    QCOMPARE(encodeBinaryVerbatim(*document), binary);
    QCOMPARE(encodeBinaryCanonical(*document), binary);
}

void TestSerzFormat::vector4KeepsThe0x43RecordOnlyInBinary()
{
    const Vector v = vector4();
    QCOMPARE(v.binary.size(), 58);
    const auto document = decodeBinary(v.binary);
    QVERIFY(document);
    QCOMPARE(encodeBinaryVerbatim(*document), v.binary);
    // The 0x43 record took slot 0, so the second v comes from slot 2.
    QCOMPARE(encodeBinaryCanonical(*document), v.binary);
    QCOMPARE(binToXml(v.binary), v.xml);
    QCOMPARE(xmlToBin(v.xml), vector4Canonical());
    QCOMPARE(binToXml(vector4Canonical()), v.xml);
}

void TestSerzFormat::floatTable_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("scalar");
    QTest::addColumn<QByteArray>("alt");
    QTest::addColumn<QByteArray>("array");
    QTest::newRow("1") << 1.0 << "1"_ba
                       << "000000000000F03F"_ba
                       << "1.0000000"_ba;
    QTest::newRow("0.5") << 0.5 << "0.5"_ba
                         << "000000000000E03F"_ba
                         << "0.5000000"_ba;
    QTest::newRow("725.5625") << 725.5625 << "725.563"_ba
                              << "0000000080AC8640"_ba
                              << "725.5625000"_ba;
    QTest::newRow("float max") << 3.4028234663852886e38 << "3.40282e+038"_ba
                               << "000000E0FFFFEF47"_ba << QByteArray();
    QTest::newRow("5769010") << 5769010.0 << "5.76901e+006"_ba
                             << "00000080CC015641"_ba
                             << "5769010.0000000"_ba;
    QTest::newRow("-3723.56640625") << -3723.56640625 << "-3723.57"_ba
                                    << "000000002217ADC0"_ba
                                    << "-3723.5664063"_ba;
    QTest::newRow("-0") << -0.0 << "-0"_ba
                        << "0000000000000080"_ba
                        << "-0.0000000"_ba;
    QTest::newRow("-1.6e-8") << -1.5999999547489097e-8 << "-1.6e-008"_ba
                             << "000000E00B2E51BE"_ba
                             << "-0.0000000"_ba;
    QTest::newRow("1e-5") << 9.999999747378752e-6 << "1e-005"_ba
                          << "00000080B5F8E43E"_ba
                          << "0.0000100"_ba;
}

void TestSerzFormat::floatTable()
{
    QFETCH(double, value);
    QFETCH(QByteArray, scalar);
    QFETCH(QByteArray, alt);
    QFETCH(QByteArray, array);
    QCOMPARE(scalarText(value), scalar);
    QCOMPARE(altText(value), alt);
    if (!array.isEmpty())
        QCOMPARE(arrayText(value), array);
    QCOMPARE(FloatText::parseAltEncoding(alt), std::bit_cast<quint64>(value));
}

void TestSerzFormat::floatTiesRoundAwayFromZero()
{
    // Exact ties, where round-half-even would print the other neighbour.
    QCOMPARE(scalarText(1234565.0), "1.23457e+006"_ba);
    QCOMPARE(scalarText(2.5), "2.5"_ba);
    QCOMPARE(scalarText(100000.5), "100001"_ba);
    QCOMPARE(scalarText(-100000.5), "-100001"_ba);
    QCOMPARE(arrayText(1.0 / 256), "0.0039063"_ba);
    QCOMPARE(arrayText(-1.0 / 256), "-0.0039063"_ba);
    QCOMPARE(arrayText(3.0 / 256), "0.0117188"_ba);
    // Rounding that carries into the next decade, and the notation switch points.
    QCOMPARE(scalarText(999999.5), "1e+006"_ba);
    QCOMPARE(scalarText(999999.0), "999999"_ba);
    QCOMPARE(scalarText(0.0001), "0.0001"_ba);
    QCOMPARE(scalarText(0.00009999996), "0.0001"_ba);
    QCOMPARE(scalarText(0.00001), "1e-005"_ba);
    QCOMPARE(scalarText(123456789.0), "1.23457e+008"_ba);
    QCOMPARE(scalarText(1e100), "1e+100"_ba);
    QCOMPARE(scalarText(1.5e-300), "1.5e-300"_ba);
    QCOMPARE(scalarText(0.1), "0.1"_ba);
    QCOMPARE(scalarText(double(0.1f)), "0.1"_ba);
    QCOMPARE(scalarText(4.9406564584124654e-324), "4.94066e-324"_ba);
    QCOMPARE(arrayText(0.00000004), "0.0000000"_ba);
    QCOMPARE(arrayText(0.00000005000001), "0.0000001"_ba);
    QCOMPARE(arrayText(123456789.125), "123456789.1250000"_ba);
    QCOMPARE(arrayText(1e20), "100000000000000000000.0000000"_ba);
}

void TestSerzFormat::floatTextParsesBack()
{
    QCOMPARE(FloatText::parseDouble("3.40282e+038"), 3.40282e38);
    QCOMPARE(FloatText::nearestFloat32(*FloatText::parseDouble("3.40282e+038")), 0x7F7FFFEEu);
    const auto negativeZero = FloatText::parseDouble("-0.0000000");
    QVERIFY(negativeZero);
    QCOMPARE(std::bit_cast<quint64>(*negativeZero), quint64(1) << 63);
    QCOMPARE(FloatText::parseDouble("+1.5"), 1.5);
    QCOMPARE(FloatText::parseDouble("4.94066e-324"), 4.9406564584124654e-324);
    QCOMPARE(FloatText::parseDouble("1e-400"), 0.0);
    bool outOfRange = false;
    QVERIFY(!FloatText::parseDouble("1e400", &outOfRange));
    QVERIFY(outOfRange);
    for (const char* bad : {"", "+", "-", "+-1", "1.5x", " 1", "0x10", "1,5", "e5"})
        QVERIFY2(!FloatText::parseDouble(bad), bad);
    QVERIFY(!FloatText::nearestFloat32(1e39));
}

void TestSerzFormat::headCacheWrapsAfter255Slots()
{
    // The root takes slot 0 and v1..v254 slots 1..254; v255 overwrites slot 0, so the
    // cached record 00 is v255 and the root must be closed in full.
    QByteArray binary = fromHex("5345525A00000100");
    QByteArray xml = crlf({R"(<?xml version="1.0" encoding="utf-8"?>)",
                           R"(<R xmlns:d="http://www.kuju.com/TnT/2003/Delta" d:version="1.0">)"});
    binary += fromHex("FF50FFFF01000000520000000000010000");
    for (int n = 1; n <= 255; ++n) {
        const QByteArray name = "v" + QByteArray::number(n);
        binary += fromHex("FF56FFFF");
        const quint32 length = quint32(name.size());
        binary.append(reinterpret_cast<const char*>(&length), 4);
        binary += name;
        binary += n == 1 ? fromHex("FFFF04000000") + "bool" : fromHex("0200");
        binary += char(0);
        xml += "\t<" + name + " d:type=\"bool\">0</" + name + ">\r\n";
    }
    binary += fromHex("0001");
    xml += "\t<v255 d:type=\"bool\">1</v255>\r\n";
    binary += fromHex("FF700000");
    xml += "</R>\r\n";

    QCOMPARE(binToXml(binary), xml);
    QCOMPARE(xmlToBin(xml), binary);
}

void TestSerzFormat::namesMapBothWays()
{
    Document document;
    document.openContainer("Loc::cText");
    document.addValue("", ValueType::Bool, 1);
    document.addValue("A-B", ValueType::Bool, 0);
    document.addValue("x::y::z", ValueType::Bool, 0);
    document.closeContainer();
    const QByteArray xml = writeXml(document).value_or(QByteArray());
    QVERIFY(xml.contains("<Loc-cText "));
    QVERIFY(xml.contains("\t<e d:type=\"bool\">1</e>\r\n"));
    QVERIFY(xml.contains("\t<A-B d:type=\"bool\">0</A-B>\r\n"));
    QVERIFY(xml.contains("\t<x-y-z d:type=\"bool\">0</x-y-z>\r\n"));

    const auto back = parseXml(xml);
    QVERIFY(back);
    QCOMPARE(back->name(0), "Loc::cText");
    QCOMPARE(back->name(1), "e");
    // A stored "-" cannot be told from a mapped "::" and comes back as "::".
    QCOMPARE(back->name(2), "A::B");
    QCOMPARE(back->name(3), "x::y::z");
    QCOMPARE(back->name(4), "Loc::cText");
}

void TestSerzFormat::textEscapesAndSpacesRoundTrip()
{
    Document document;
    document.openContainer("R");
    const QByteArray texts[] = {" lead and trail  ", "a<b>&c'd\"e", "",           "tab\there",
                                "line\nbreak",       "cr\rlf",      "caf\xC3\xA9"};
    for (const QByteArray& t : texts)
        document.addString("s", t);
    document.closeContainer();
    const QByteArray xml = writeXml(document).value_or(QByteArray());
    QVERIFY(xml.contains(">a&lt;b&gt;&amp;c&apos;d&quot;e</s>\r\n"));
    QVERIFY(xml.contains("\t<s d:type=\"cDeltaString\"></s>\r\n"));
    QVERIFY(xml.contains("> lead and trail  </s>"));

    const auto back = parseXml(xml);
    QVERIFY(back);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(back->stringValue(i + 1), texts[i]);
    // A file whose line ends were turned into CR LF still yields LF inside text.
    const auto converted = parseXml(QByteArray(xml).replace("\r\n", "\n").replace("\n", "\r\n"));
    QVERIFY(converted);
    QCOMPARE(converted->stringValue(5), "line\nbreak");
    QCOMPARE(converted->stringValue(6), "cr\rlf");
}

void TestSerzFormat::floatModes()
{
    // The value 134.18197631835938 prints as 134.182, which reads back as another float.
    const double exact = double(134.18197631835938f);
    const QByteArray altOfExact = altText(exact);
    const auto xmlFor = [&](const QByteArray& text) {
        return crlf({R"(<?xml version="1.0" encoding="utf-8"?>)",
                     R"(<R xmlns:d="http://www.kuju.com/TnT/2003/Delta" d:version="1.0">)",
                     "\t<f d:type=\"sFloat32\" d:alt_encoding=\"" + altOfExact +
                         "\" d:precision=\"string\">" + text + "</f>",
                     "</R>"});
    };
    const QByteArray unedited = xmlFor("134.182");
    QCOMPARE(onlyFloat(xmlToBin(unedited, FloatMode::Exact)), std::bit_cast<quint64>(exact));
    QCOMPARE(onlyFloat(xmlToBin(unedited, FloatMode::Serz)),
             std::bit_cast<quint64>(134.1820068359375));
    // An edited text wins in both modes.
    const QByteArray edited = xmlFor("135");
    QCOMPARE(onlyFloat(xmlToBin(edited, FloatMode::Exact)), std::bit_cast<quint64>(135.0));
    QCOMPARE(onlyFloat(xmlToBin(edited, FloatMode::Serz)), std::bit_cast<quint64>(135.0));

    // bin -> XML -> bin keeps scalar floats exactly by default, NaN and -0 included.
    Document document;
    document.openContainer("R");
    const quint32 floats[] = {std::bit_cast<quint32>(134.18197631835938f),
                              0x80000000u,
                              0x7FC00001u,
                              0xFF800000u,
                              0x00000001u,
                              0x7F7FFFFFu};
    for (quint32 bits : floats)
        document.addValue("f", ValueType::SFloat32, bits);
    document.addValue("d", ValueType::SFloat64, std::bit_cast<quint64>(0.1 + 0.2));
    document.closeContainer();
    const QByteArray binary = encodeBinaryCanonical(document);
    const QByteArray xml = binToXml(binary);
    QCOMPARE(xmlToBin(xml, FloatMode::Exact), binary);
    QVERIFY(xmlToBin(xml, FloatMode::Serz) != binary);
    // Serz's own round trip of the largest float.
    const auto serz = decodeBinary(xmlToBin(xml, FloatMode::Serz));
    QVERIFY(serz);
    QCOMPARE(serz->record(6).raw, quint64(0x7F7FFFEE));
}

void TestSerzFormat::integerTypesAndLimits()
{
    Document document;
    document.openContainer("R", 4294967295u);
    document.addValue("a", ValueType::SInt8, 0x80);
    document.addValue("b", ValueType::SUInt8, 0xFF);
    document.addValue("c", ValueType::SInt16, 0x8000);
    document.addValue("d", ValueType::SUInt16, 0xFFFF);
    document.addValue("e", ValueType::SInt32, 0x80000000u);
    document.addValue("f", ValueType::SUInt32, 0xFFFFFFFFu);
    document.addValue("g", ValueType::SInt64, quint64(1) << 63);
    document.addValue("h", ValueType::Bool, 14);
    document.addReference("r", 3000000000u);
    document.addArray("i", ValueType::SInt16, QByteArray::fromHex("FFFF0100"));
    document.addArray("z", ValueType::SFloat32, QByteArray());
    document.closeContainer();
    const QByteArray binary = encodeBinaryCanonical(document);
    const QByteArray xml = binToXml(binary);
    for (const char* line :
         {"d:id=\"4294967295\">", ">-128</a>", ">255</b>", ">-32768</c>", ">65535</d>",
          ">-2147483648</e>", ">4294967295</f>", ">-9223372036854775808</g>", ">1</h>",
          ">3000000000</r>", "<i d:numElements=\"2\" d:elementType=\"sInt16\">-1 1</i>",
          "<z d:numElements=\"0\" d:elementType=\"sFloat32\" d:precision=\"string\"></z>"})
        QVERIFY2(xml.contains(line), line);
    // Only the bool byte 14 changes, to 1.
    QByteArray expected = binary;
    expected.replace(expected.indexOf("bool") + 4, 1, "\x01");
    QCOMPARE(xmlToBin(xml), expected);
    // Negative ids wrap modulo 2^32.
    const auto wrapped = parseXml("<R d:id=\"-1\"><r d:type=\"ref\">-2</r></R>");
    QVERIFY(wrapped);
    QCOMPARE(wrapped->record(0).id, 0xFFFFFFFFu);
    QCOMPARE(wrapped->record(1).id, 0xFFFFFFFEu);
}

void TestSerzFormat::blobsRoundTrip()
{
    QByteArray bytes;
    for (int i = 0; i < 70; ++i)
        bytes += char(i * 7);
    Document document;
    document.openContainer("R");
    document.addBlob(bytes);
    document.addBlob(QByteArray());
    document.closeContainer();
    const QByteArray binary = encodeBinaryCanonical(document);
    const QByteArray xml = binToXml(binary);
    QVERIFY(xml.contains("<d:blob d:size=\"70\">00070E151C232A31 383F464D545B6269 "
                         "70777E858C939AA1 A8AFB6BDC4CBD2D9\r\nE0E7EEF5FC030A11"));
    QVERIFY(xml.contains("888F969DA4ABB2B9\r\nC0C7CED5DCE3</d:blob>\r\n"));
    QCOMPARE(xmlToBin(xml), binary);
    QCOMPARE(xmlToBin(QByteArray(xml).replace("E0E7EEF5", "e0e7eef5")), binary);
}

QTEST_GUILESS_MAIN(TestSerzFormat)
#include "tst_serzformat.moc"
