// Round trips of larger and irregular files, and the refusal of every kind of bad input.
#include "SerzSamples.h"
#include "serz/Serz.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace veltrane::serz;
using namespace veltrane::serz::test;

namespace {

const QByteArray kDeclaration = R"(<?xml version="1.0" encoding="utf-8"?>)";
const QByteArray kRootAttributes =
    R"( xmlns:d="http://www.kuju.com/TnT/2003/Delta" d:version="1.0")";

// A scenario-list-like document with many distinct names and strings.
Document generated(int items)
{
    Document document;
    document.openContainer("cScenarioList", 1);
    for (int i = 0; i < items; ++i) {
        const QByteArray n = QByteArray::number(i);
        document.openContainer("cScenario::Item" + n, quint32(1000 + i));
        document.addString("Name", "Scenario number " + n);
        document.addString("Route", "route-" + QByteArray::number(i % 7));
        document.addString("Description", i % 5 ? "Drive the " + n + " train" : QByteArray());
        document.addValue("Duration", ValueType::SInt32, quint32(-i));
        document.addFloat32("Start" + QByteArray::number(i % 300), float(i) * 0.37f - 11.0f);
        const float position[4] = {float(i), -0.5f, float(i) * 0.25f, 0.0078125f};
        document.addArray("Pos", ValueType::SFloat32,
                          QByteArrayView(reinterpret_cast<const char*>(position), 16));
        document.addReference("Owner", quint32(1000 + (i + 1) % items));
        if (i % 3 == 0)
            document.addNil();
        document.openContainer("Tags");
        document.closeContainer();
        document.closeContainer();
    }
    document.closeContainer();
    return document;
}

QByteArray withRecord(QByteArray bytes, const char* fromHexText, const char* toHexText)
{
    const QByteArray from = fromHex(fromHexText);
    const qsizetype at = bytes.indexOf(from);
    Q_ASSERT(at >= 0);
    return bytes.replace(at, from.size(), fromHex(toHexText));
}

} // namespace

class TestSerzCodec : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void manyHeadsAndStringsRoundTrip();
    void nonCanonicalChoicesAreReplayed();
    void stringTablePast65535Entries();
    void badBinary_data();
    void badBinary();
    void everyTruncationIsRefused();
    void badXml_data();
    void badXml();
    void writerRefusesUnwritableNames();
    void streamedWritingMatchesTheWholeAndStopsOnAFailedOutput();
};

void TestSerzCodec::manyHeadsAndStringsRoundTrip()
{
    const Document document = generated(600);
    QVERIFY(document.strings().size() > 1000);
    const QByteArray binary = encodeBinaryCanonical(document);

    DecodeError error;
    const auto decoded = decodeBinary(binary, &error);
    QVERIFY2(decoded, qPrintable(error.message));
    QVERIFY(decoded->sameContent(document, FloatMode::Exact));
    QCOMPARE(encodeBinaryVerbatim(*decoded), binary);
    QCOMPARE(encodeBinaryCanonical(*decoded), binary);

    const auto xml = writeXml(*decoded);
    QVERIFY(xml);
    QVERIFY(xml->contains("\t<cScenario-Item599 d:id=\"1599\">\r\n"));
    QVERIFY(xml->contains("\t\t<Name d:type=\"cDeltaString\">Scenario number 599</Name>\r\n"));
    QVERIFY(xml->contains("\t\t<Tags/>\r\n"));
    const auto parsed = parseXml(*xml);
    QVERIFY(parsed);
    QCOMPARE(encodeBinaryCanonical(*parsed, FloatMode::Exact), binary);
    QCOMPARE(writeXml(*parsed).value_or(QByteArray()), *xml);
}

void TestSerzCodec::nonCanonicalChoicesAreReplayed()
{
    // The second Item written in full although cached, and the second "a" stored again.
    QByteArray binary = vector1().binary;
    binary = withRecord(binary, "010000000001000000", "FF5001000000000001000000");
    binary = withRecord(binary, "020400", "02FFFF0100000061");
    binary = withRecord(binary, "FF700500", "FF700600");
    const auto document = decodeBinary(binary);
    QVERIFY(document);
    QCOMPARE(encodeBinaryVerbatim(*document), binary);
    QCOMPARE(encodeBinaryCanonical(*document), vector1().binary);
    QCOMPARE(writeXml(*document).value_or(QByteArray()), vector1().xml);

    // Stored child counts and odd bool bytes survive bin -> bin, not XML.
    QByteArray odd = withRecord(vector4().binary, "010200FF70", "01020EFF70");
    odd = withRecord(odd, "520000000002000000", "520000000000000000");
    const auto oddDocument = decodeBinary(odd);
    QVERIFY(oddDocument);
    QCOMPARE(encodeBinaryVerbatim(*oddDocument), odd);
    QCOMPARE(writeXml(*oddDocument).value_or(QByteArray()),
             vector4().xml.replace(">0</v>", ">1</v>"));
}

void TestSerzCodec::stringTablePast65535Entries()
{
    Document document;
    document.openContainer("R");
    for (int i = 0; i < 66000; ++i)
        document.addString("s", QByteArray::number(i));
    document.addString("s", "65999");
    document.addString("s", "3");
    document.closeContainer();
    QStringList warnings;
    const QByteArray binary = encodeBinaryCanonical(document, FloatMode::Exact, &warnings);
    QCOMPARE(warnings.size(), 1);
    // "65999" sits past the last referable index and is written in full again; "3" by index.
    QVERIFY(binary.endsWith(fromHex("01FFFF050000003635393939 010600 FF700000")));
    const auto decoded = decodeBinary(binary);
    QVERIFY(decoded);
    QVERIFY(decoded->sameContent(document, FloatMode::Exact));
    QCOMPARE(encodeBinaryVerbatim(*decoded), binary);
}

void TestSerzCodec::badBinary_data()
{
    QTest::addColumn<QByteArray>("binary");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QString>("message");
    const QByteArray v1 = vector1().binary;
    QTest::newRow("empty") << QByteArray() << qint64(0) << u"ends inside the header"_s;
    QTest::newRow("wrong header") << withRecord(v1, "5345525A00000100", "5345525A00000200")
                                  << qint64(6) << u"wrong header"_s;
    QTest::newRow("xml given") << kDeclaration << qint64(0) << u"wrong header"_s;
    QTest::newRow("header only") << v1.left(8) << qint64(8) << u"no root container"_s;
    QTest::newRow("string index") << withRecord(v1, "020400", "020900") << qint64(100)
                                  << u"string index 9 does not exist (the table has 5 entries)"_s;
    QTest::newRow("empty slot") << withRecord(v1, "03FF50", "09FF50") << qint64(102)
                                << u"head-cache slot 9 is empty"_s;
    QTest::newRow("string length")
        << withRecord(v1, "FF50FFFF05000000", "FF50FFFFFFFFFF7F") << qint64(12)
        << u"string length 2147483647 goes beyond the end of the file"_s;
    QTest::newRow("never closed") << v1.chopped(4) << qint64(128)
                                  << u"ends inside container \"cRoot\" opened at byte 8"_s;
    QTest::newRow("close mismatch") << withRecord(v1, "FF700100", "FF700000") << qint64(86)
                                    << u"close record \"cRoot\" does not match"_s;
    QTest::newRow("after root") << v1 + fromHex("FF4E") << qint64(132)
                                << u"follows the end of the root container"_s;
    const QByteArray v2 = vector2().binary;
    QTest::newRow("unknown kind") << withRecord(v2, "FF4E", "FF99") << qint64(107)
                                  << u"unknown record kind 0x99"_s;
    QTest::newRow("array beyond file")
        << withRecord(v2, "506F730200040000803F", "506F7302001A0000803F") << qint64(72)
        << u"an array of 26 elements goes beyond the end"_s;
    QTest::newRow("unknown type") << withRecord(v2, "73466C6F61743332", "73466C6F61743333")
                                  << qint64(41) << u"unknown type name \"sFloat33\""_s;
    QTest::newRow("cached 0x43") << withRecord(vector4().binary, "010200FF70", "010000FF70")
                                 << qint64(52) << u"slot 0 holds a 0x43 record"_s;
    QTest::newRow("blob beyond file")
        << withRecord(v2, "FF4E", "FF4210000000AABB") << qint64(108)
        << u"blob size 16 goes beyond the end of the file (6 bytes left)"_s;
    QByteArray deep = fromHex("5345525A00000100");
    for (int i = 0; i < 300; ++i)
        deep += fromHex(i == 0 ? "FF50FFFF0100000061 0000000001000000" : "00 0000000001000000");
    QTest::newRow("too deep") << deep << qint64(8 + 17 + 255 * 9) << u"deeper than 256"_s;
}

void TestSerzCodec::badBinary()
{
    QFETCH(QByteArray, binary);
    QFETCH(qint64, offset);
    QFETCH(QString, message);
    DecodeError error;
    QVERIFY(!decodeBinary(binary, &error));
    QVERIFY2(error.message.contains(message), qPrintable(error.message));
    QCOMPARE(error.offset, offset);
    QVERIFY(!error.message.contains(u'\n'));
}

void TestSerzCodec::everyTruncationIsRefused()
{
    const Vector vectors[] = {vector1(), vector2(), vector3(), vector4()};
    for (const Vector& v : vectors) {
        for (qsizetype n = 0; n < v.binary.size(); ++n) {
            DecodeError error;
            QVERIFY2(!decodeBinary(v.binary.first(n), &error), v.name);
            QVERIFY(!error.message.isEmpty());
            QVERIFY(error.offset >= 0 && error.offset <= n);
        }
        for (qsizetype n = 0; n < v.xml.size(); ++n) {
            XmlError error;
            // Cutting off only the final line break leaves a complete file.
            if (n >= v.xml.size() - 2)
                continue;
            QVERIFY2(!parseXml(v.xml.first(n), &error), v.name);
            QVERIFY(!error.message.isEmpty());
            QVERIFY(error.line >= 1 && error.line <= v.xml.count('\n') + 1);
        }
    }
}

void TestSerzCodec::badXml_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<qint64>("line");
    QTest::addColumn<QString>("message");
    const auto file = [](const QByteArrayList& body) {
        return crlf(QByteArrayList{kDeclaration, "<R" + kRootAttributes + ">"} + body +
                    QByteArrayList{"</R>"});
    };
    QTest::newRow("empty") << QByteArray() << qint64(1) << u"no root element"_s;
    QTest::newRow("declaration only") << crlf({kDeclaration}) << qint64(2) << u"no root element"_s;
    QTest::newRow("unfinished tag")
        << file({"\t<a d:type=\"bool\">1</a"}) << qint64(3) << u"never finished"_s;
    QTest::newRow("mis-nested") << file({"\t<A>", "\t\t<B>", "\t</A>", "\t\t</B>"}) << qint64(5)
                                << u"</A> does not match <B> on line 4"_s;
    QTest::newRow("never closed") << crlf({kDeclaration, "<R>", "\t<A>",
                                           "\t\t<B d:type=\"bool\">1</B>"})
                                  << qint64(5) << u"the file ends inside <A> opened on line 3"_s;
    QTest::newRow("leaf end tag") << file({"\t<a d:type=\"bool\">1</b>"}) << qint64(3)
                                  << u"</b> does not match <a>"_s;
    QByteArray tokens;
    for (int i = 0; i < 256; ++i)
        tokens += "1 ";
    QTest::newRow("256 elements") << file({"\t<x/>",
                                           "\t<a d:numElements=\"256\" d:elementType=\"sUInt8\">" +
                                               tokens + "</a>"})
                                  << qint64(4) << u"more than 255 elements"_s;
    QTest::newRow("unknown type") << file({"\t<a d:type=\"sFloat128\">1</a>"}) << qint64(3)
                                  << u"unknown d:type \"sFloat128\" in <a>"_s;
    QTest::newRow("unknown element type")
        << file({"\t<a d:numElements=\"1\" d:elementType=\"int\">1</a>"}) << qint64(3)
        << u"unknown d:elementType \"int\""_s;
    QTest::newRow("not an integer") << file({"\t<a d:type=\"sInt32\">12a</a>"}) << qint64(3)
                                    << u"expected an integer for sInt32 in <a>, found \"12a\""_s;
    QTest::newRow("not a float") << file({"", "\t<a d:type=\"sFloat32\">one</a>"}) << qint64(4)
                                 << u"expected a number for sFloat32"_s;
    QTest::newRow("float too large")
        << file({"\t<a d:type=\"sFloat32\">1e39</a>"}) << qint64(3) << u"number out of range"_s;
    QTest::newRow("array token")
        << file({"\t<a d:numElements=\"2\" d:elementType=\"sFloat32\">1.0 x</a>"}) << qint64(3)
        << u"expected a number for sFloat32"_s;
    QTest::newRow("uint8 range") << file({"\t<a d:type=\"sUInt8\">256</a>"}) << qint64(3)
                                 << u"number out of range"_s;
    QTest::newRow("negative unsigned") << file({"\t<a d:type=\"sUInt32\">-1</a>"}) << qint64(3)
                                       << u"expected an unsigned integer"_s;
    QTest::newRow("bool") << file({"\t<a d:type=\"bool\">2</a>"}) << qint64(3)
                          << u"expected 0 or 1"_s;
    QTest::newRow("empty number") << file({"\t<a d:type=\"sInt16\"></a>"}) << qint64(3)
                                  << u"expected an integer"_s;
    QTest::newRow("ref") << file({"\t<a d:type=\"ref\">x</a>"}) << qint64(3) << u"not an id"_s;
    QTest::newRow("id") << file({"\t<a d:id=\"5000000000\"/>"}) << qint64(3) << u"not an id"_s;
    QTest::newRow("text in container") << file({"\t<a>", "\t\tstray", "\t</a>"}) << qint64(4)
                                       << u"text inside the container <a>"_s;
    QTest::newRow("bare ampersand")
        << file({"\t<a d:type=\"cDeltaString\">a & b</a>"}) << qint64(3) << u"bare '&'"_s;
    QTest::newRow("unknown entity")
        << file({"\t<a d:type=\"cDeltaString\">&nbsp;</a>"}) << qint64(3) << u"unknown entity"_s;
    QTest::newRow("after root") << file({}) + "<R/>\r\n"
                                << qint64(4) << u"content after the end of the root element"_s;
    QTest::newRow("root is a value") << crlf({kDeclaration, "<a d:type=\"bool\">1</a>"})
                                     << qint64(2) << u"must be a container"_s;
    QTest::newRow("unquoted") << file({"\t<a d:type=bool>1</a>"}) << qint64(3) << u"not quoted"_s;
    QTest::newRow("unterminated comment")
        << file({"\t<!-- x"}) << qint64(3) << u"unterminated comment"_s;
    QTest::newRow("blob size") << file({"\t<d:blob d:size=\"3\">AABB</d:blob>"}) << qint64(3)
                               << u"does not match its 2 bytes"_s;
    QTest::newRow("blob digit") << file({"\t<d:blob d:size=\"1\">AG</d:blob>"}) << qint64(3)
                                << u"not a hex digit"_s;
    QByteArray deep = "<R>";
    for (int i = 0; i < 300; ++i)
        deep += "\n<a>";
    QTest::newRow("too deep") << deep << qint64(257) << u"deeper than 256"_s;
}

void TestSerzCodec::badXml()
{
    QFETCH(QByteArray, xml);
    QFETCH(qint64, line);
    QFETCH(QString, message);
    XmlError error;
    QVERIFY(!parseXml(xml, &error));
    QVERIFY2(error.message.contains(message), qPrintable(error.message));
    QCOMPARE(error.line, line);
    QVERIFY(!error.message.contains(u'\n'));
}

void TestSerzCodec::writerRefusesUnwritableNames()
{
    for (const QByteArray& name : {"a b"_ba, "a<b"_ba, "d:nil"_ba, "?x"_ba, "a/b"_ba}) {
        Document document;
        document.openContainer("R");
        document.addValue(name, ValueType::Bool, 1);
        document.closeContainer();
        WriteIssue issue;
        QVERIFY2(!writeXml(document, &issue), name.constData());
        QCOMPARE(issue.record, 1);
        QVERIFY(issue.message.contains(u"cannot be written as an XML element name"_s));
    }
    // Invalid UTF-8 is copied and reported once.
    Document document;
    document.openContainer("R");
    document.addString("s", "\xFF\xFE");
    document.addString("t", "\xC3");
    document.closeContainer();
    std::vector<WriteIssue> warnings;
    const auto xml = writeXml(document, nullptr, &warnings);
    QVERIFY(xml);
    QVERIFY(xml->contains(">\xFF\xFE</s>"));
    QCOMPARE(warnings.size(), size_t(1));
    QCOMPARE(warnings.front().record, 1);
    QVERIFY(warnings.front().message.startsWith(u"2 string(s) are not valid UTF-8"_s));
}

void TestSerzCodec::streamedWritingMatchesTheWholeAndStopsOnAFailedOutput()
{
    // Large enough for several pieces of output.
    Document document;
    document.openContainer("R");
    for (int i = 0; i < 100000; ++i)
        document.addString("Item", "value number " + QByteArray::number(i));
    document.closeContainer();
    const auto whole = XmlWriter::write(document);
    QVERIFY(whole);

    QByteArray streamed;
    int pieces = 0;
    QVERIFY(XmlWriter::write(document, [&](QByteArrayView piece) {
        streamed += piece;
        ++pieces;
        return true;
    }));
    QVERIFY2(pieces > 1, qPrintable(QString::number(pieces)));
    QCOMPARE(streamed, *whole);

    // A failed output is no fault of any record.
    WriteIssue issue;
    QVERIFY(!XmlWriter::write(
        document, [](QByteArrayView) { return false; }, &issue));
    QCOMPARE(issue.record, qsizetype(-1));
    QCOMPARE(issue.message, u"the output cannot be written"_s);
}

QTEST_GUILESS_MAIN(TestSerzCodec)
#include "tst_serzcodec.moc"
