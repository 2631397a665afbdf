#include "serz/XmlParser.h"

#include "serz/FloatText.h"
#include "serz/Printable.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>

using namespace Qt::StringLiterals;

namespace veltrane::serz {

namespace {

constexpr int kMaxAttributes = 32;
constexpr int kMaxElements = 255;

QString bare(QByteArrayView name)
{
    return printable(name, false);
}

// Literal text with its line ends as XML reads them: CR LF and a lone CR become LF, so a
// file whose line ends were converted still gives the stored strings. A CR that was
// stored comes as the reference &#13; and is not affected.
void appendLiteral(QByteArray* out, const char* p, const char* end)
{
    while (p < end) {
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
        if (!cr) {
            out->append(p, end - p);
            return;
        }
        out->append(p, cr - p);
        out->append('\n');
        p = cr + 1;
        if (p < end && *p == '\n')
            ++p;
    }
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

QByteArrayView trimmed(QByteArrayView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isSpace(s[b]))
        ++b;
    while (e > b && isSpace(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

// Decimal integer with an optional sign; nothing else.
template <typename T> std::optional<T> parseInteger(QByteArrayView text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    if (p < end && *p == '+') {
        ++p;
        if (p < end && *p == '-')
            return std::nullopt;
    }
    T v{};
    const auto [ptr, ec] = std::from_chars(p, end, v);
    if (ec != std::errc() || ptr != end || p == end)
        return std::nullopt;
    return v;
}

struct Attribute {
    QByteArrayView name;
    QByteArrayView value; // raw, entities not yet decoded
    const char* at;
};

struct Frame {
    QByteArrayView name; // as written in the XML
    quint32 record;
    quint32 count;
    const char* openedAt;
};

class Parser {
public:
    explicit Parser(QByteArrayView xml)
        : m_begin(xml.data()), m_p(xml.data()), m_end(xml.data() + xml.size())
    {
    }

    bool run();

    Document document;
    XmlError error;

private:
    bool fail(const char* at, const QString& message)
    {
        error.line = lineOf(at);
        error.message = message;
        return false;
    }
    qint64 lineOf(const char* at) const
    {
        qint64 line = 1;
        for (const char* q = m_begin; q < at && q < m_end; ++q) {
            if (*q == '\n' || (*q == '\r' && (q + 1 >= m_end || q[1] != '\n')))
                ++line;
        }
        return line;
    }
    bool startsWith(QByteArrayView s) const
    {
        return m_end - m_p >= s.size() && std::memcmp(m_p, s.data(), size_t(s.size())) == 0;
    }
    void skipSpace()
    {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
    }
    bool skipComment();
    bool skipProcessingInstruction();
    bool skipMisc();
    bool element();
    bool endTag();
    bool attributes(const char* tagStart, QByteArrayView name, bool* selfClosing);
    const Attribute* attribute(QByteArrayView name) const
    {
        for (const Attribute& a : m_attributes) {
            if (a.name == name)
                return &a;
        }
        return nullptr;
    }
    bool decode(QByteArrayView raw, const char* at, QByteArray* out);
    bool attributeValue(const Attribute& a, QByteArrayView* value);
    bool leafText(const char* tagStart, QByteArrayView name, bool selfClosing, bool decodeText,
                  QByteArrayView* text);
    bool closeLeaf(const char* lt, QByteArrayView name);
    bool scalar(ValueType type, QByteArrayView text, const char* at, QByteArrayView name,
                quint64* raw);
    bool id(QByteArrayView text, const char* at, quint32* id);
    StringId internName(QByteArrayView name);
    quint32 addRecord(const Record& r)
    {
        if (!m_stack.empty())
            ++m_stack.back().count;
        document.pushRecord(r);
        return quint32(document.records().size() - 1);
    }
    bool value(const char* tagStart, QByteArrayView name, bool selfClosing, ValueType type);
    bool array(const char* tagStart, QByteArrayView name, bool selfClosing, ValueType type);
    bool blob(const char* tagStart, bool selfClosing);

    const char* m_begin;
    const char* m_p;
    const char* m_end;
    std::vector<Frame> m_stack;
    std::vector<Attribute> m_attributes;
    QByteArray m_text;      // decoded text when it cannot be a view of the input
    QByteArray m_attrText;  // decoded attribute value
    QByteArray m_nameText;  // mapped name
    QByteArray m_tokenText; // decoded array token
    bool m_rootDone = false;
};

bool Parser::skipComment()
{
    const char* start = m_p;
    m_p += 4;
    for (;;) {
        const char* dash = static_cast<const char*>(std::memchr(m_p, '-', size_t(m_end - m_p)));
        if (!dash || m_end - dash < 3)
            return fail(start, u"unterminated comment"_s);
        if (dash[1] == '-' && dash[2] == '>') {
            m_p = dash + 3;
            return true;
        }
        m_p = dash + 1;
    }
}

bool Parser::skipProcessingInstruction()
{
    const char* start = m_p;
    if (m_p != m_begin && startsWith("<?xml") && m_end - m_p > 5 && isSpace(m_p[5]))
        return fail(m_p, u"an XML declaration is only allowed at the start"_s);
    for (const char* q = m_p + 2; q + 1 < m_end; ++q) {
        if (q[0] == '?' && q[1] == '>') {
            m_p = q + 2;
            return true;
        }
    }
    return fail(start, u"unterminated processing instruction"_s);
}

// Whitespace, comments and processing instructions outside the root element.
bool Parser::skipMisc()
{
    for (;;) {
        skipSpace();
        if (startsWith("<!--")) {
            if (!skipComment())
                return false;
        } else if (startsWith("<?")) {
            if (!skipProcessingInstruction())
                return false;
        } else {
            return true;
        }
    }
}

bool Parser::decode(QByteArrayView raw, const char* at, QByteArray* out)
{
    const char* p = raw.data();
    const char* end = p + raw.size();
    while (p < end) {
        const char* amp = static_cast<const char*>(std::memchr(p, '&', size_t(end - p)));
        if (!amp) {
            appendLiteral(out, p, end);
            return true;
        }
        appendLiteral(out, p, amp);
        const char* semi = amp + 1;
        while (semi < end && semi - amp <= 12 && *semi != ';')
            ++semi;
        const char* where = at + (amp - raw.data());
        if (semi >= end || *semi != ';')
            return fail(where, u"a bare '&' (write &amp;)"_s);
        const QByteArrayView entity(amp + 1, semi);
        if (entity == "amp") {
            out->append('&');
        } else if (entity == "lt") {
            out->append('<');
        } else if (entity == "gt") {
            out->append('>');
        } else if (entity == "apos") {
            out->append('\'');
        } else if (entity == "quot") {
            out->append('"');
        } else if (entity.size() >= 2 && entity[0] == '#') {
            const bool hex = entity[1] == 'x';
            const QByteArrayView digits = entity.sliced(hex ? 2 : 1);
            quint32 cp = 0;
            const auto [ptr, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.isEmpty() || ec != std::errc() || ptr != digits.data() + digits.size() ||
                cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return fail(where,
                            u"invalid character reference &%1;"_s.arg(QString::fromLatin1(entity)));
            if (cp < 0x80) {
                out->append(char(cp));
            } else if (cp < 0x800) {
                out->append(char(0xC0 | (cp >> 6)));
                out->append(char(0x80 | (cp & 0x3F)));
            } else if (cp < 0x10000) {
                out->append(char(0xE0 | (cp >> 12)));
                out->append(char(0x80 | ((cp >> 6) & 0x3F)));
                out->append(char(0x80 | (cp & 0x3F)));
            } else {
                out->append(char(0xF0 | (cp >> 18)));
                out->append(char(0x80 | ((cp >> 12) & 0x3F)));
                out->append(char(0x80 | ((cp >> 6) & 0x3F)));
                out->append(char(0x80 | (cp & 0x3F)));
            }
        } else {
            return fail(where, u"unknown entity &%1;"_s.arg(printable(entity)));
        }
        p = semi + 1;
    }
    return true;
}

bool Parser::attributeValue(const Attribute& a, QByteArrayView* value)
{
    if (!a.value.contains('&') && !a.value.contains('\r')) {
        *value = a.value;
        return true;
    }
    m_attrText.clear();
    if (!decode(a.value, a.at, &m_attrText))
        return false;
    *value = m_attrText;
    return true;
}

bool Parser::attributes(const char* tagStart, QByteArrayView name, bool* selfClosing)
{
    m_attributes.clear();
    for (;;) {
        const char* before = m_p;
        skipSpace();
        const bool separated = m_p != before;
        if (m_p >= m_end)
            return fail(tagStart, u"the tag <%1 is never finished"_s.arg(bare(name)));
        if (*m_p == '>') {
            ++m_p;
            *selfClosing = false;
            return true;
        }
        if (*m_p == '/') {
            if (m_p + 1 < m_end && m_p[1] == '>') {
                m_p += 2;
                *selfClosing = true;
                return true;
            }
            return fail(m_p, u"malformed tag <%1"_s.arg(bare(name)));
        }
        if (!separated)
            return fail(m_p, u"attributes of <%1 must be separated by spaces"_s.arg(bare(name)));
        const char* nameStart = m_p;
        while (m_p < m_end && !isSpace(*m_p) && *m_p != '=' && *m_p != '>' && *m_p != '/' &&
               *m_p != '<' && *m_p != '"' && *m_p != '\'')
            ++m_p;
        const QByteArrayView attrName(nameStart, m_p);
        if (attrName.isEmpty())
            return fail(m_p, u"malformed attribute in <%1"_s.arg(bare(name)));
        skipSpace();
        if (m_p >= m_end || *m_p != '=')
            return fail(nameStart, u"attribute %1 has no value"_s.arg(printable(attrName)));
        ++m_p;
        skipSpace();
        if (m_p >= m_end || (*m_p != '"' && *m_p != '\''))
            return fail(nameStart,
                        u"the value of attribute %1 is not quoted"_s.arg(printable(attrName)));
        const char quote = *m_p++;
        const char* close = static_cast<const char*>(std::memchr(m_p, quote, size_t(m_end - m_p)));
        if (!close)
            return fail(nameStart,
                        u"the value of attribute %1 is never closed"_s.arg(printable(attrName)));
        const QByteArrayView value(m_p, close);
        if (value.contains('<'))
            return fail(nameStart,
                        u"'<' inside the value of attribute %1"_s.arg(printable(attrName)));
        if (attribute(attrName))
            return fail(nameStart, u"duplicate attribute %1"_s.arg(printable(attrName)));
        if (m_attributes.size() >= size_t(kMaxAttributes))
            return fail(nameStart, u"too many attributes in <%1"_s.arg(bare(name)));
        m_attributes.push_back(Attribute{attrName, value, m_p});
        m_p = close + 1;
    }
}

// After the text of a leaf element: "</name>" at lt.
bool Parser::closeLeaf(const char* lt, QByteArrayView name)
{
    const char* p = lt + 2;
    const char* nameEnd = p;
    while (nameEnd < m_end && !isSpace(*nameEnd) && *nameEnd != '>')
        ++nameEnd;
    const QByteArrayView endName(p, nameEnd);
    while (nameEnd < m_end && isSpace(*nameEnd))
        ++nameEnd;
    if (nameEnd >= m_end || *nameEnd != '>')
        return fail(lt, u"the end tag </%1 is never finished"_s.arg(bare(endName)));
    if (endName != name)
        return fail(lt, u"the end tag </%1> does not match <%2>"_s.arg(bare(endName), bare(name)));
    m_p = nameEnd + 1;
    return true;
}

bool Parser::leafText(const char* tagStart, QByteArrayView name, bool selfClosing, bool decodeText,
                      QByteArrayView* text)
{
    *text = {};
    if (selfClosing)
        return true;
    const char* start = m_p;
    const char* lt = static_cast<const char*>(std::memchr(m_p, '<', size_t(m_end - m_p)));
    if (lt && lt + 1 < m_end && lt[1] == '/') {
        const QByteArrayView raw(start, lt);
        if (!closeLeaf(lt, name))
            return false;
        if (!decodeText || (!raw.contains('&') && !raw.contains('\r'))) {
            *text = raw;
            return true;
        }
        m_text.clear();
        if (!decode(raw, start, &m_text))
            return false;
        *text = m_text;
        return true;
    }
    // Comments or CDATA inside the text: gather the pieces.
    m_text.clear();
    for (;;) {
        lt = static_cast<const char*>(std::memchr(m_p, '<', size_t(m_end - m_p)));
        if (!lt)
            return fail(tagStart, u"the element <%1> is never closed"_s.arg(bare(name)));
        const QByteArrayView raw(m_p, lt);
        if (decodeText) {
            if (!decode(raw, m_p, &m_text))
                return false;
        } else {
            m_text.append(raw.data(), raw.size());
        }
        m_p = lt;
        if (startsWith("<!--")) {
            if (!skipComment())
                return false;
        } else if (startsWith("<![CDATA[")) {
            if (!decodeText)
                return fail(m_p, u"CDATA is not supported inside a cDeltaString array"_s);
            const QByteArrayView rest(m_p + 9, m_end);
            const qsizetype close = rest.indexOf("]]>");
            if (close < 0)
                return fail(m_p, u"unterminated CDATA section"_s);
            appendLiteral(&m_text, rest.data(), rest.data() + close);
            m_p = rest.data() + close + 3;
        } else if (lt + 1 < m_end && lt[1] == '/') {
            if (!closeLeaf(lt, name))
                return false;
            *text = m_text;
            return true;
        } else {
            return fail(lt, u"<%1> holds a value and must not contain elements"_s.arg(bare(name)));
        }
    }
}

bool Parser::id(QByteArrayView text, const char* at, quint32* id)
{
    const auto v = parseInteger<qint64>(trimmed(text));
    if (!v || *v < std::numeric_limits<qint32>::min() ||
        *v > qint64(std::numeric_limits<quint32>::max()))
        return fail(at, u"%1 is not an id (a number from -2147483648 to 4294967295)"_s.arg(
                            printable(trimmed(text))));
    *id = quint32(*v); // negative ids wrap modulo 2^32
    return true;
}

bool Parser::scalar(ValueType type, QByteArrayView text, const char* at, QByteArrayView name,
                    quint64* raw)
{
    const QByteArrayView t = trimmed(text);
    const int size = valueTypeSize(type);
    const auto bad = [&](const QString& what) {
        return fail(
            at, u"%1 for %2 in <%3>, found %4"_s.arg(what, QString::fromLatin1(valueTypeName(type)),
                                                     bare(name), printable(t)));
    };
    switch (type) {
    case ValueType::Bool:
        if (t == "0" || t == "false")
            *raw = 0;
        else if (t == "1" || t == "true")
            *raw = 1;
        else
            return bad(u"expected 0 or 1"_s);
        return true;
    case ValueType::SInt8:
    case ValueType::SInt16:
    case ValueType::SInt32:
    case ValueType::SInt64: {
        const auto v = parseInteger<qint64>(t);
        if (!v)
            return bad(u"expected an integer"_s);
        const qint64 limit =
            size == 8 ? std::numeric_limits<qint64>::max() : (qint64(1) << (8 * size - 1)) - 1;
        if (*v > limit || *v < -limit - 1)
            return bad(u"number out of range"_s);
        *raw = quint64(*v) & (size == 8 ? ~quint64(0) : (quint64(1) << (8 * size)) - 1);
        return true;
    }
    case ValueType::SUInt8:
    case ValueType::SUInt16:
    case ValueType::SUInt32:
    case ValueType::SUInt64: {
        const auto v = parseInteger<quint64>(t);
        if (!v)
            return bad(u"expected an unsigned integer"_s);
        if (size < 8 && *v >= (quint64(1) << (8 * size)))
            return bad(u"number out of range"_s);
        *raw = *v;
        return true;
    }
    case ValueType::SFloat32:
    case ValueType::SFloat64: {
        bool outOfRange = false;
        const auto d = FloatText::parseDouble(t, &outOfRange);
        if (!d)
            return bad(outOfRange ? u"number out of range"_s : u"expected a number"_s);
        if (type == ValueType::SFloat64) {
            *raw = std::bit_cast<quint64>(*d);
            return true;
        }
        const auto f = FloatText::nearestFloat32(*d);
        if (!f)
            return bad(u"number out of range"_s);
        *raw = *f;
        return true;
    }
    case ValueType::DeltaString:
        break;
    }
    return false;
}

StringId Parser::internName(QByteArrayView name)
{
    if (!name.contains('-'))
        return document.strings().intern(name);
    m_nameText.clear();
    for (char c : name) {
        if (c == '-')
            m_nameText.append("::", 2);
        else
            m_nameText.append(c);
    }
    return document.strings().intern(m_nameText);
}

bool Parser::value(const char* tagStart, QByteArrayView name, bool selfClosing, ValueType type)
{
    const char* textAt = m_p;
    QByteArrayView text;
    if (!leafText(tagStart, name, selfClosing, true, &text))
        return false;
    Record r;
    r.kind = RecordKind::Value;
    r.type = type;
    if (type == ValueType::DeltaString) {
        r.raw = document.strings().intern(text);
    } else {
        if (!scalar(type, text, selfClosing ? tagStart : textAt, name, &r.raw))
            return false;
        const Attribute* alt = isFloatType(type) ? attribute("d:alt_encoding") : nullptr;
        QByteArrayView altText;
        if (alt && attributeValue(*alt, &altText)) {
            const auto bits = FloatText::parseAltEncoding(trimmed(altText));
            std::optional<quint64> candidate;
            if (bits && type == ValueType::SFloat32) {
                if (const auto f = FloatText::narrowExactly(*bits))
                    candidate = *f;
            } else if (bits) {
                candidate = *bits;
            }
            if (candidate && *candidate != r.raw) {
                char buffer[FloatText::kScalarMax];
                const int n = FloatText::formatScalar(FloatText::toDouble(*bits), buffer);
                if (QByteArrayView(buffer, n) == trimmed(text)) {
                    r.flags |= Record::HasAlt;
                    r.dataOffset = quint32(document.data().size());
                    document.data().append(reinterpret_cast<const char*>(&*candidate), 8);
                }
            }
        } else if (alt) {
            return false;
        }
    }
    r.name = internName(name);
    addRecord(r);
    return true;
}

bool Parser::array(const char* tagStart, QByteArrayView name, bool selfClosing, ValueType type)
{
    const char* textAt = m_p;
    QByteArrayView text;
    const bool strings = type == ValueType::DeltaString;
    if (!leafText(tagStart, name, selfClosing, !strings, &text))
        return false;
    Record r;
    r.kind = RecordKind::Array;
    r.type = type;
    r.dataOffset = quint32(document.data().size());
    const char* p = text.data();
    const char* end = p + text.size();
    for (;;) {
        while (p < end && isSpace(*p))
            ++p;
        if (p >= end)
            break;
        const char* tokenStart = p;
        while (p < end && !isSpace(*p))
            ++p;
        const QByteArrayView token(tokenStart, p);
        if (r.count == kMaxElements) {
            document.data().truncate(r.dataOffset);
            return fail(textAt, u"the array <%1> has more than %2 elements"_s.arg(
                                    bare(name), QString::number(kMaxElements)));
        }
        ++r.count;
        if (strings) {
            m_tokenText.clear();
            if (!decode(token, textAt, &m_tokenText))
                return false;
            const StringElement e{document.strings().intern(m_tokenText), 0, 0};
            document.data().append(reinterpret_cast<const char*>(&e), sizeof e);
        } else {
            quint64 raw = 0;
            if (!scalar(type, token, textAt, name, &raw))
                return false;
            document.data().append(reinterpret_cast<const char*>(&raw), valueTypeSize(type));
        }
    }
    r.name = internName(name);
    addRecord(r);
    return true;
}

bool Parser::blob(const char* tagStart, bool selfClosing)
{
    const char* textAt = m_p;
    QByteArrayView text;
    if (!leafText(tagStart, "d:blob", selfClosing, true, &text))
        return false;
    Record r;
    r.kind = RecordKind::Blob;
    r.dataOffset = quint32(document.data().size());
    int high = -1;
    for (char c : text) {
        if (isSpace(c))
            continue;
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else
            return fail(textAt, u"d:blob holds %1, which is not a hex digit"_s.arg(
                                    printable(QByteArrayView(&c, 1))));
        if (high < 0) {
            high = v;
        } else {
            document.data().append(char(high << 4 | v));
            high = -1;
        }
    }
    if (high >= 0)
        return fail(textAt, u"d:blob holds an odd number of hex digits"_s);
    r.count = quint32(document.data().size() - r.dataOffset);
    if (const Attribute* size = attribute("d:size")) {
        QByteArrayView sizeText;
        if (!attributeValue(*size, &sizeText))
            return false;
        const auto declared = parseInteger<quint64>(trimmed(sizeText));
        if (!declared || *declared != r.count)
            return fail(tagStart, u"d:blob d:size=%1 does not match its %2 bytes"_s.arg(
                                      printable(sizeText), QString::number(r.count)));
    }
    addRecord(r);
    return true;
}

bool Parser::element()
{
    const char* tagStart = m_p;
    ++m_p;
    const char* nameStart = m_p;
    while (m_p < m_end && !isSpace(*m_p) && *m_p != '/' && *m_p != '>') {
        const char c = *m_p;
        if (c == '<' || c == '=' || c == '"' || c == '\'' || c == '&')
            return fail(m_p, u"invalid character %1 in an element name"_s.arg(
                                 printable(QByteArrayView(&c, 1))));
        ++m_p;
    }
    const QByteArrayView name(nameStart, m_p);
    if (m_p >= m_end)
        return fail(tagStart, u"the tag <%1 is never finished"_s.arg(bare(name)));
    if (name.isEmpty())
        return fail(tagStart, u"an element without a name"_s);
    bool selfClosing = false;
    if (!attributes(tagStart, name, &selfClosing))
        return false;

    const bool isNil = name == "d:nil";
    const bool isBlob = name == "d:blob";
    const Attribute* type = attribute("d:type");
    const Attribute* elementType = attribute("d:elementType");
    const bool container = !isNil && !isBlob && !type && !elementType;
    if (m_stack.empty() && !container)
        return fail(tagStart, u"the root element <%1> must be a container"_s.arg(bare(name)));

    if (isNil) {
        QByteArrayView text;
        if (!leafText(tagStart, name, selfClosing, true, &text))
            return false;
        if (!trimmed(text).isEmpty())
            return fail(tagStart, u"<d:nil> must be empty"_s);
        Record r;
        r.kind = RecordKind::Nil;
        addRecord(r);
        return true;
    }
    if (isBlob)
        return blob(tagStart, selfClosing);
    if (type) {
        QByteArrayView typeName;
        if (!attributeValue(*type, &typeName))
            return false;
        if (typeName == "ref") {
            const char* textAt = m_p;
            QByteArrayView text;
            if (!leafText(tagStart, name, selfClosing, true, &text))
                return false;
            Record r;
            r.kind = RecordKind::Reference;
            if (!id(text, selfClosing ? tagStart : textAt, &r.id))
                return false;
            r.name = internName(name);
            addRecord(r);
            return true;
        }
        const auto t = valueTypeFromName(typeName);
        if (!t)
            return fail(tagStart,
                        u"unknown d:type %1 in <%2>"_s.arg(printable(typeName), bare(name)));
        return value(tagStart, name, selfClosing, *t);
    }
    if (elementType) {
        QByteArrayView typeName;
        if (!attributeValue(*elementType, &typeName))
            return false;
        const auto t = valueTypeFromName(typeName);
        if (!t)
            return fail(tagStart,
                        u"unknown d:elementType %1 in <%2>"_s.arg(printable(typeName), bare(name)));
        return array(tagStart, name, selfClosing, *t);
    }

    if (m_stack.size() >= size_t(kMaxDepth))
        return fail(tagStart, u"elements are nested deeper than %1 levels"_s.arg(kMaxDepth));
    Record r;
    r.kind = RecordKind::Open;
    if (const Attribute* idAttribute = attribute("d:id")) {
        QByteArrayView idText;
        if (!attributeValue(*idAttribute, &idText) || !id(idText, idAttribute->at, &r.id))
            return false;
    }
    r.name = internName(name);
    const quint32 index = addRecord(r);
    m_stack.push_back(Frame{name, index, 0, tagStart});
    if (selfClosing)
        return endTag();
    return true;
}

// Closes the innermost container; m_p is at "</", or inside a self-closing tag's end.
bool Parser::endTag()
{
    Frame& frame = m_stack.back();
    if (startsWith("</")) {
        const char* lt = m_p;
        m_p += 2;
        const char* nameStart = m_p;
        while (m_p < m_end && !isSpace(*m_p) && *m_p != '>')
            ++m_p;
        const QByteArrayView endName(nameStart, m_p);
        skipSpace();
        if (m_p >= m_end || *m_p != '>')
            return fail(lt, u"the end tag </%1 is never finished"_s.arg(bare(endName)));
        if (endName != frame.name) {
            return fail(
                lt, u"the end tag </%1> does not match <%2> on line %3"_s.arg(
                        bare(endName), bare(frame.name), QString::number(lineOf(frame.openedAt))));
        }
        ++m_p;
    }
    auto& records = document.records();
    Record r;
    r.kind = RecordKind::Close;
    r.name = records[frame.record].name;
    r.match = frame.record;
    records[frame.record].count = frame.count;
    records[frame.record].match = quint32(records.size());
    document.pushRecord(r);
    m_stack.pop_back();
    if (m_stack.empty())
        m_rootDone = true;
    return true;
}

bool Parser::run()
{
    if (m_end - m_begin >= qint64(std::numeric_limits<quint32>::max()))
        return fail(m_begin, u"the file is too large"_s);
    if (startsWith("\xEF\xBB\xBF"))
        m_p += 3;
    if (startsWith("<?xml") && m_end - m_p > 5 && (isSpace(m_p[5]) || m_p[5] == '?')) {
        const QByteArrayView rest(m_p, m_end);
        const qsizetype close = rest.indexOf("?>");
        if (close < 0)
            return fail(m_p, u"unterminated XML declaration"_s);
        m_p += close + 2;
    }
    if (!skipMisc())
        return false;
    if (m_p >= m_end)
        return fail(m_p, u"there is no root element"_s);
    if (*m_p != '<' || startsWith("</") || startsWith("<!"))
        return fail(m_p, u"expected the root element"_s);
    while (!m_rootDone) {
        if (m_p >= m_end) {
            const Frame& frame = m_stack.back();
            return fail(m_end, u"the file ends inside <%1> opened on line %2"_s.arg(
                                   bare(frame.name), QString::number(lineOf(frame.openedAt))));
        }
        if (*m_p != '<') {
            const char* text = m_p;
            const char* lt = static_cast<const char*>(std::memchr(m_p, '<', size_t(m_end - m_p)));
            m_p = lt ? lt : m_end;
            if (!trimmed(QByteArrayView(text, m_p)).isEmpty()) {
                while (isSpace(*text))
                    ++text;
                return fail(text,
                            u"text inside the container <%1>"_s.arg(bare(m_stack.back().name)));
            }
            continue;
        }
        if (m_end - m_p >= 2 && m_p[1] == '/') {
            if (!endTag())
                return false;
        } else if (startsWith("<!--")) {
            if (!skipComment())
                return false;
        } else if (startsWith("<?")) {
            if (!skipProcessingInstruction())
                return false;
        } else if (startsWith("<!")) {
            return fail(m_p, u"unsupported markup inside <%1>"_s.arg(bare(m_stack.back().name)));
        } else if (!element()) {
            return false;
        }
    }
    if (!skipMisc())
        return false;
    if (m_p < m_end)
        return fail(m_p, u"content after the end of the root element"_s);
    return true;
}

} // namespace

std::optional<Document> XmlParser::parse(QByteArrayView xml, XmlError* error)
{
    Parser parser(xml);
    if (!parser.run()) {
        if (error)
            *error = parser.error;
        return std::nullopt;
    }
    return std::move(parser.document);
}

} // namespace veltrane::serz
