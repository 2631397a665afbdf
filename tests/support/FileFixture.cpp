#include "FileFixture.h"

#include "serz/BinaryDecoder.h"
#include "serz/BinaryEncoder.h"
#include "serz/XmlParser.h"
#include "serz/XmlWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <filesystem>

#ifdef Q_OS_LINUX
#include <sys/fsuid.h>
#include <unistd.h>
#endif

namespace veltrane::test {

QByteArray serialised(const QByteArray& xml)
{
    serz::XmlError error;
    const auto document = serz::XmlParser::parse(xml, &error);
    if (!document)
        qFatal("test XML does not parse, line %d: %s", int(error.line), qPrintable(error.message));
    return serz::BinaryEncoder::encodeCanonical(*document);
}

QByteArray deserialised(const QByteArray& bin)
{
    const auto document = serz::BinaryDecoder::decode(bin);
    if (!document)
        return {};
    return serz::XmlWriter::write(*document).value_or(QByteArray());
}

QByteArray canonicalXml(const QByteArray& xml)
{
    return deserialised(serialised(xml));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file %s", qPrintable(path));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void makeFolder(const QString& path)
{
    QDir().mkpath(path);
}

QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(base.relativeFilePath(path), readFile(path));
    }
    return files;
}

QMap<QString, QByteArray> gameFiles(const QString& game)
{
    QMap<QString, QByteArray> files = snapshot(game);
    files.removeIf([](const auto& file) { return file.key().startsWith(u".veltrane/"); });
    return files;
}

QMap<QString, QByteArray> withoutCaches(QMap<QString, QByteArray> files)
{
    files.removeIf([](const auto& file) {
        return file.key().endsWith(QStringLiteral("blueprints.pak"), Qt::CaseInsensitive);
    });
    return files;
}

QStringList entriesBelow(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QString entry = base.relativeFilePath(path);
        if (info.isSymLink())
            entry += QStringLiteral(" -> ") +
                     QFile::decodeName(
                         std::filesystem::read_symlink(QFile::encodeName(path).toStdString())
                             .string()
                             .c_str());
        else if (info.isDir())
            entry += u'/';
        entries.append(entry);
    }
    entries.sort();
    return entries;
}

#ifdef Q_OS_LINUX
namespace {
constexpr uid_t kNobody = 65534;
}

UnprivilegedScope::UnprivilegedScope(const QString& treeRoot)
{
    if (geteuid() != 0)
        return;
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path root(QFile::encodeName(treeRoot).toStdString());
    if (::lchown(root.c_str(), kNobody, kNobody) != 0) {
        m_reason = QStringLiteral("cannot hand the test tree to an ordinary user");
        return;
    }
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (::lchown(it->path().c_str(), kNobody, kNobody) != 0) {
            m_reason = QStringLiteral("cannot hand the test tree to an ordinary user");
            return;
        }
    }
    setfsgid(kNobody);
    setfsuid(kNobody);
    m_switched = static_cast<uid_t>(setfsuid(kNobody)) == kNobody;
    if (!m_switched)
        m_reason = QStringLiteral("setfsuid is not permitted here");
}

UnprivilegedScope::~UnprivilegedScope()
{
    if (m_switched) {
        setfsuid(0);
        setfsgid(0);
    }
}

void UnprivilegedScope::handToAnotherUser(const QString& path) const
{
    if (!m_switched)
        return;
    setfsuid(0);
    if (::lchown(QFile::encodeName(path).constData(), 0, 0) != 0)
        qFatal("cannot hand %s to root", qPrintable(path));
    setfsuid(kNobody);
}
#else
UnprivilegedScope::UnprivilegedScope(const QString&) {}
UnprivilegedScope::~UnprivilegedScope() = default;
void UnprivilegedScope::handToAnotherUser(const QString&) const {}
#endif

} // namespace veltrane::test
