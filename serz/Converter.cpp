#include "serz/Converter.h"

#include "serz/BinaryDecoder.h"
#include "serz/BinaryEncoder.h"
#include "serz/XmlParser.h"
#include "serz/XmlWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace veltrane::serz {

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

bool samePath(const QString& a, const QString& b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

bool readWhole(const QString& path, QByteArray* bytes, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"%1: cannot read: %2"_s.arg(shown(path), file.errorString());
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = u"%1: cannot read: %2"_s.arg(shown(path), file.errorString());
        return false;
    }
    return true;
}

// QSaveFile::commit() trusts a flush that failed: what fits Qt's buffer reaches the disk only
// at the flush, and a full disk then leaves a short file that commit() accepts.
bool commitWhole(QSaveFile& file)
{
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool writeWhole(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
        !commitWhole(file)) {
        *error = u"%1: cannot write: %2"_s.arg(shown(path), file.errorString());
        return false;
    }
    return true;
}

// Record offsets are only needed for messages, so they are found by a second decode.
class RecordOffsets {
public:
    explicit RecordOffsets(const QByteArray& bytes) : m_bytes(bytes) {}
    qint64 of(qsizetype record)
    {
        if (!m_done) {
            BinaryDecoder::decode(m_bytes, nullptr, &m_offsets);
            m_done = true;
        }
        return record >= 0 && size_t(record) < m_offsets.size() ? m_offsets[size_t(record)] : 0;
    }

private:
    const QByteArray& m_bytes;
    std::vector<qint64> m_offsets;
    bool m_done = false;
};

} // namespace

Converter::Outcome Converter::binaryToXml(const QString& input, const QString& output)
{
    Outcome outcome;
    const auto failed = [&](const QString& message) {
        // A stale XML from an earlier run must not pass for this run's result.
        if (QFileInfo(output).isFile())
            QFile::remove(output);
        outcome.error = message;
        return outcome;
    };
    if (samePath(input, output)) {
        outcome.error = u"%1: the output would replace the input"_s.arg(shown(output));
        return outcome;
    }
    QByteArray bytes;
    QString error;
    if (!readWhole(input, &bytes, &error))
        return failed(error);
    DecodeError decodeError;
    auto document = BinaryDecoder::decode(bytes, &decodeError);
    if (!document) {
        return failed(u"%1: byte %2: %3"_s.arg(shown(input), QString::number(decodeError.offset),
                                               decodeError.message));
    }
    // Streamed into the save file: the XML is several times the binary's size.
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly))
        return failed(u"%1: cannot write: %2"_s.arg(shown(output), file.errorString()));
    const std::function<bool(QByteArrayView)> sink = [&file](QByteArrayView piece) {
        return file.write(piece.data(), piece.size()) == piece.size();
    };
    WriteIssue issue;
    std::vector<WriteIssue> warnings;
    const bool written = XmlWriter::write(*document, sink, &issue, &warnings);
    document.reset();
    RecordOffsets offsets(bytes);
    if (!written) {
        file.cancelWriting();
        if (issue.record < 0)
            return failed(u"%1: cannot write: %2"_s.arg(shown(output), file.errorString()));
        return failed(u"%1: byte %2: %3"_s.arg(
            shown(input), QString::number(offsets.of(issue.record)), issue.message));
    }
    for (const WriteIssue& w : warnings) {
        outcome.warnings.append(u"%1: byte %2: %3"_s.arg(
            shown(input), QString::number(offsets.of(w.record)), w.message));
    }
    if (!commitWhole(file))
        return failed(u"%1: cannot write: %2"_s.arg(shown(output), file.errorString()));
    outcome.ok = true;
    return outcome;
}

Converter::Outcome Converter::xmlToBinary(const QString& input, const QString& output,
                                          FloatMode mode)
{
    Outcome outcome;
    const auto failed = [&](const QString& message) {
        QString ignored;
        writeWhole(output, QByteArray(), &ignored);
        outcome.error = message;
        return outcome;
    };
    if (samePath(input, output)) {
        outcome.error = u"%1: the output would replace the input"_s.arg(shown(output));
        return outcome;
    }
    QByteArray xml;
    QString error;
    if (!readWhole(input, &xml, &error))
        return failed(error);
    XmlError xmlError;
    auto document = XmlParser::parse(xml, &xmlError);
    xml.clear();
    if (!document) {
        return failed(u"%1: line %2: %3"_s.arg(shown(input), QString::number(xmlError.line),
                                               xmlError.message));
    }
    const QByteArray binary = BinaryEncoder::encodeCanonical(*document, mode, &outcome.warnings);
    for (QString& w : outcome.warnings)
        w = u"%1: %2"_s.arg(shown(output), w);
    {
        DecodeError decodeError;
        const auto written = BinaryDecoder::decode(binary, &decodeError);
        if (!written) {
            return failed(u"%1: byte %2: the written binary does not read back: %3"_s.arg(
                shown(output), QString::number(decodeError.offset), decodeError.message));
        }
        qsizetype difference = 0;
        if (!document->sameContent(*written, mode, &difference)) {
            return failed(u"%1: the written binary differs from the XML at record %2"_s.arg(
                shown(output), QString::number(difference)));
        }
    }
    document.reset();
    if (!writeWhole(output, binary, &error))
        return failed(error);
    QByteArray onDisk;
    if (!readWhole(output, &onDisk, &error))
        return failed(error);
    if (onDisk != binary)
        return failed(u"%1: the file on disk differs from what was written"_s.arg(shown(output)));
    outcome.ok = true;
    return outcome;
}

} // namespace veltrane::serz
