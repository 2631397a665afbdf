#include "serz/XmlWriter.h"

#include "serz/ByteSink.h"
#include "serz/FloatText.h"
#include "serz/Printable.h"

#include <array>
#include <charconv>
#include <cstring>

using namespace Qt::StringLiterals;

namespace veltrane::serz {

namespace {

constexpr QByteArrayView kNewline = "\r\n";
constexpr QByteArrayView kRootAttributes =
    " xmlns:d=\"http://www.kuju.com/TnT/2003/Delta\" d:version=\"1.0\"";

bool isValidUtf8(QByteArrayView s)
{
    const auto* p = reinterpret_cast<const uchar*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        const uchar c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int n;
        quint32 cp;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= n)
            return false;
        for (int i = 1; i <= n; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += n + 1;
    }
    return true;
}

// What each byte of a string becomes in element text; empty for "itself".
struct EscapeTable {
    std::array<QByteArrayView, 256> value{};
    std::array<QByteArrayView, 256> element{}; // also whitespace, for array tokens

    constexpr EscapeTable()
    {
        constexpr std::array<QByteArrayView, 32> kControl{
            "&#0;",  "&#1;",  "&#2;",  "&#3;",  "&#4;",  "&#5;",  "&#6;",  "&#7;",
            "&#8;",  "&#9;",  "&#10;", "&#11;", "&#12;", "&#13;", "&#14;", "&#15;",
            "&#16;", "&#17;", "&#18;", "&#19;", "&#20;", "&#21;", "&#22;", "&#23;",
            "&#24;", "&#25;", "&#26;", "&#27;", "&#28;", "&#29;", "&#30;", "&#31;"};
        for (int c = 0; c < 32; ++c) {
            element[size_t(c)] = kControl[size_t(c)];
            // TAB and LF are kept; CR is escaped so that no reader folds CR LF into LF.
            if (c != '\t' && c != '\n')
                value[size_t(c)] = kControl[size_t(c)];
        }
        value['&'] = element['&'] = "&amp;";
        value['<'] = element['<'] = "&lt;";
        value['>'] = element['>'] = "&gt;";
        value['\''] = element['\''] = "&apos;";
        value['"'] = element['"'] = "&quot;";
        element[' '] = "&#32;";
    }
};

constexpr EscapeTable kEscape;

class Writer {
public:
    Writer(const Document& document, std::vector<WriteIssue>* warnings,
           const std::function<bool(QByteArrayView)>* drain)
        : m_doc(document), m_warnings(warnings), m_drain(drain),
          m_out(drain ? kPiece + kPieceSlack : document.size() * 40 + 256),
          m_names(size_t(document.strings().size())), m_utf8(size_t(document.strings().size()), 0)
    {
    }

    bool run();
    QByteArray take() { return m_out.take(); }
    WriteIssue error;

private:
    struct Name {
        qsizetype offset = 0;
        qsizetype size = 0;
        quint8 state = 0; // 0 not prepared, 1 usable, 2 not usable
    };

    bool fail(qsizetype record, const QString& message)
    {
        error.record = record;
        error.message = message;
        return false;
    }
    bool prepareName(qsizetype record, StringId id);
    QByteArrayView nameOf(StringId id) const
    {
        const Name& n = m_names[id];
        return QByteArrayView(m_nameBytes.constData() + n.offset, n.size);
    }
    void checkUtf8(qsizetype record, StringId id);
    void tabs(int depth)
    {
        char* p = m_out.room(depth);
        std::memset(p, '\t', size_t(depth));
        m_out.advance(depth);
    }
    void startTag(QByteArrayView name)
    {
        m_out.put('<');
        m_out.put(name);
    }
    void endTag(QByteArrayView name)
    {
        char* p = m_out.room(name.size() + 5);
        p[0] = '<';
        p[1] = '/';
        std::memcpy(p + 2, name.data(), size_t(name.size()));
        std::memcpy(p + 2 + name.size(), ">\r\n", 3);
        m_out.advance(name.size() + 5);
    }
    void number(quint64 v)
    {
        char* p = m_out.room(24);
        m_out.advance(std::to_chars(p, p + 24, v).ptr - p);
    }
    void signedNumber(qint64 v)
    {
        char* p = m_out.room(24);
        m_out.advance(std::to_chars(p, p + 24, v).ptr - p);
    }
    void escaped(QByteArrayView text, const std::array<QByteArrayView, 256>& table);
    void scalar(ValueType type, quint64 raw, bool arrayElement);
    bool value(qsizetype i, const Record& r);
    bool array(qsizetype i, const Record& r);
    void blob(qsizetype i, const Record& r);
    bool hasVisibleChildren(const Record& open, qsizetype i) const;

    static constexpr qsizetype kPiece = 1 << 20;
    static constexpr qsizetype kPieceSlack = 1 << 16;

    bool drainIfFull()
    {
        if (!m_drain || m_out.size() < kPiece || m_out.drainInto(*m_drain))
            return true;
        return fail(-1, u"the output cannot be written"_s);
    }

    const Document& m_doc;
    std::vector<WriteIssue>* m_warnings;
    const std::function<bool(QByteArrayView)>* m_drain;
    ByteSink m_out;
    std::vector<Name> m_names;
    QByteArray m_nameBytes;
    std::vector<quint8> m_utf8; // per string: 0 unchecked, 1 valid, 2 invalid
    qsizetype m_invalidCount = 0;
    qsizetype m_firstInvalidRecord = -1;
    StringId m_firstInvalid = 0;
};

bool Writer::prepareName(qsizetype record, StringId id)
{
    Name& n = m_names[id];
    if (n.state == 0) {
        const QByteArrayView stored = m_doc.text(id);
        n.offset = m_nameBytes.size();
        if (stored.isEmpty()) {
            m_nameBytes.append('e');
        } else {
            for (qsizetype k = 0; k < stored.size(); ++k) {
                if (stored[k] == ':' && k + 1 < stored.size() && stored[k + 1] == ':') {
                    m_nameBytes.append('-');
                    ++k;
                } else {
                    m_nameBytes.append(stored[k]);
                }
            }
        }
        n.size = m_nameBytes.size() - n.offset;
        const QByteArrayView mapped = nameOf(id);
        bool usable =
            mapped != "d:nil" && mapped != "d:blob" && mapped[0] != '!' && mapped[0] != '?';
        for (char c : mapped) {
            const uchar u = uchar(c);
            if (u <= 0x20 || u == 0x7F || c == '<' || c == '>' || c == '&' || c == '"' ||
                c == '\'' || c == '/' || c == '=')
                usable = false;
        }
        n.state = usable ? 1 : 2;
        checkUtf8(record, id);
    }
    if (n.state == 2) {
        return fail(record, u"the name %1 cannot be written as an XML element name"_s.arg(
                                printable(m_doc.text(id))));
    }
    return true;
}

void Writer::checkUtf8(qsizetype record, StringId id)
{
    if (m_utf8[id] != 0)
        return;
    const bool valid = isValidUtf8(m_doc.text(id));
    m_utf8[id] = valid ? 1 : 2;
    if (!valid) {
        if (m_invalidCount++ == 0) {
            m_firstInvalidRecord = record;
            m_firstInvalid = id;
        }
    }
}

void Writer::escaped(QByteArrayView text, const std::array<QByteArrayView, 256>& table)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* run = p;
        while (p < end && table[uchar(*p)].isEmpty())
            ++p;
        m_out.put(QByteArrayView(run, p));
        if (p < end)
            m_out.put(table[uchar(*p++)]);
    }
}

void Writer::scalar(ValueType type, quint64 raw, bool arrayElement)
{
    const int size = valueTypeSize(type);
    switch (type) {
    case ValueType::Bool:
        m_out.put(raw != 0 ? '1' : '0');
        return;
    case ValueType::SInt8:
    case ValueType::SInt16:
    case ValueType::SInt32:
    case ValueType::SInt64: {
        const int unused = 64 - 8 * size;
        signedNumber(qint64(raw << unused) >> unused);
        return;
    }
    case ValueType::SFloat32:
    case ValueType::SFloat64: {
        const quint64 bits = type == ValueType::SFloat32 ? FloatText::widen(quint32(raw)) : raw;
        char* p = m_out.room(FloatText::kFixedMax);
        const double v = FloatText::toDouble(bits);
        m_out.advance(arrayElement ? FloatText::formatFixed7(v, p) : FloatText::formatScalar(v, p));
        return;
    }
    default:
        number(raw);
        return;
    }
}

bool Writer::value(qsizetype i, const Record& r)
{
    const QByteArrayView name = nameOf(r.name);
    startTag(name);
    m_out.put(" d:type=\"");
    m_out.put(valueTypeName(r.type));
    if (isFloatType(r.type)) {
        // A float read from XML with an exact alt_encoding prints the same text either way.
        const quint64 raw = m_doc.valueBits(i, FloatMode::Exact);
        const quint64 bits = r.type == ValueType::SFloat32 ? FloatText::widen(quint32(raw)) : raw;
        m_out.put("\" d:alt_encoding=\"");
        FloatText::formatAltEncoding(bits, m_out.room(16));
        m_out.advance(16);
        m_out.put("\" d:precision=\"string\">");
        scalar(r.type, raw, false);
    } else if (r.type == ValueType::DeltaString) {
        m_out.put("\">");
        const StringId id = StringId(r.raw);
        checkUtf8(i, id);
        escaped(m_doc.text(id), kEscape.value);
    } else {
        m_out.put("\">");
        scalar(r.type, r.raw, false);
    }
    endTag(name);
    return true;
}

bool Writer::array(qsizetype i, const Record& r)
{
    const QByteArrayView name = nameOf(r.name);
    startTag(name);
    m_out.put(" d:numElements=\"");
    number(r.count);
    m_out.put("\" d:elementType=\"");
    m_out.put(valueTypeName(r.type));
    m_out.put(isFloatType(r.type) ? QByteArrayView("\" d:precision=\"string\">")
                                  : QByteArrayView("\">"));
    if (r.type == ValueType::DeltaString) {
        for (int k = 0; k < int(r.count); ++k) {
            const StringId id = m_doc.stringElement(i, k).text;
            if (m_doc.text(id).isEmpty())
                return fail(i, u"the cDeltaString array %1 holds an empty string, which XML "
                               u"cannot express"_s.arg(printable(m_doc.name(i))));
            if (k > 0)
                m_out.put(' ');
            checkUtf8(i, id);
            escaped(m_doc.text(id), kEscape.element);
        }
    } else {
        const int size = valueTypeSize(r.type);
        const QByteArrayView bytes = m_doc.bytes(i);
        for (qsizetype k = 0; k < qsizetype(r.count); ++k) {
            if (k > 0)
                m_out.put(' ');
            quint64 raw = 0;
            std::memcpy(&raw, bytes.data() + k * size, size_t(size));
            scalar(r.type, raw, true);
        }
    }
    endTag(name);
    return true;
}

void Writer::blob(qsizetype i, const Record& r)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    m_out.put("<d:blob d:size=\"");
    number(r.count);
    m_out.put("\">");
    const QByteArrayView bytes = m_doc.bytes(i);
    for (qsizetype k = 0; k < bytes.size(); ++k) {
        if (k > 0) {
            if (k % 32 == 0)
                m_out.put(kNewline);
            else if (k % 8 == 0)
                m_out.put(' ');
        }
        char* p = m_out.room(2);
        p[0] = kHex[uchar(bytes[k]) >> 4];
        p[1] = kHex[uchar(bytes[k]) & 15];
        m_out.advance(2);
    }
    m_out.put("</d:blob>\r\n");
}

bool Writer::hasVisibleChildren(const Record& open, qsizetype i) const
{
    for (qsizetype c = i + 1; c < qsizetype(open.match); ++c) {
        if (m_doc.record(c).kind != RecordKind::Unexplained)
            return true;
    }
    return false;
}

bool Writer::run()
{
    m_out.put("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n");
    int depth = 0;
    for (qsizetype i = 0; i < m_doc.size(); ++i) {
        const Record& r = m_doc.record(i);
        if (!drainIfFull())
            return false;
        if (r.kind == RecordKind::Unexplained)
            continue;
        if (r.kind == RecordKind::Close) {
            --depth;
            tabs(depth);
            endTag(nameOf(r.name));
            continue;
        }
        tabs(depth);
        switch (r.kind) {
        case RecordKind::Open: {
            if (!prepareName(i, r.name))
                return false;
            startTag(nameOf(r.name));
            if (depth == 0)
                m_out.put(kRootAttributes);
            if (r.id != 0) {
                m_out.put(" d:id=\"");
                number(r.id);
                m_out.put('"');
            }
            if (!hasVisibleChildren(r, i)) {
                m_out.put("/>\r\n");
                i = qsizetype(r.match);
            } else {
                m_out.put(">\r\n");
                ++depth;
            }
            break;
        }
        case RecordKind::Value:
            if (!prepareName(i, r.name) || !value(i, r))
                return false;
            break;
        case RecordKind::Array:
            if (!prepareName(i, r.name) || !array(i, r))
                return false;
            break;
        case RecordKind::Reference: {
            if (!prepareName(i, r.name))
                return false;
            const QByteArrayView name = nameOf(r.name);
            startTag(name);
            m_out.put(" d:type=\"ref\">");
            number(r.id);
            endTag(name);
            break;
        }
        case RecordKind::Nil:
            m_out.put("<d:nil/>\r\n");
            break;
        case RecordKind::Blob:
            blob(i, r);
            break;
        case RecordKind::Close:
        case RecordKind::Unexplained:
            break;
        }
    }
    if (m_drain && m_out.size() > 0 && !m_out.drainInto(*m_drain))
        return fail(-1, u"the output cannot be written"_s);
    if (m_invalidCount > 0 && m_warnings) {
        m_warnings->push_back(WriteIssue{
            m_firstInvalidRecord,
            u"%1 string(s) are not valid UTF-8 and were copied unchanged, the first %2"_s.arg(
                QString::number(m_invalidCount), printable(m_doc.text(m_firstInvalid)))});
    }
    return true;
}

} // namespace

std::optional<QByteArray> XmlWriter::write(const Document& document, WriteIssue* error,
                                           std::vector<WriteIssue>* warnings)
{
    Writer writer(document, warnings, nullptr);
    if (!writer.run()) {
        if (error)
            *error = writer.error;
        return std::nullopt;
    }
    return writer.take();
}

bool XmlWriter::write(const Document& document, const std::function<bool(QByteArrayView)>& out,
                      WriteIssue* error, std::vector<WriteIssue>* warnings)
{
    Writer writer(document, warnings, &out);
    if (!writer.run()) {
        if (error)
            *error = writer.error;
        return false;
    }
    return true;
}

} // namespace veltrane::serz
