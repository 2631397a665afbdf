// Reads arbitrary text as a batch file and works out every path on it the way a check
// would, without touching any file.
#include "batch/BatchParser.h"
#include "batch/BatchPath.h"
#include "batch/BatchWildcard.h"
#include "fuzz/FuzzRequire.h"
#include "util/Windows1252.h"
#include "util/WindowsPath.h"

#include <QRegularExpression>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;
using namespace veltrane;

namespace {

// A resolved path is absolute and has no "." or ".." left in it.
void checkResolved(const QString& path, const QString& current)
{
    if (path.isEmpty())
        return;
    const QStringList names = path.split(QRegularExpression(u"[\\\\/]"_s), Qt::SkipEmptyParts);
    for (const QString& name : names)
        REQUIRE(name != u"."_s && name != u".."_s);
    REQUIRE(path.startsWith(u'/') || (path.size() >= 3 && path[1] == u':' && path[2] == u'\\'));
    REQUIRE(WindowsPath::parse(path).isRoot() || BatchPath::ancestors(path).size() >= 2);
    REQUIRE(BatchPath::parent(path).size() <= path.size());
    Q_UNUSED(current);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = Windows1252::decode(bytes);
    const QList<BatchLine> lines = BatchParser::parse(text);

    const QString folders[] = {u"C:\\Games\\Rail Simulator\\Assets"_s, u"/home/me/RS"_s};
    int previous = 0;
    for (const BatchLine& line : lines) {
        REQUIRE(line.number > previous);
        previous = line.number;
        if (!line.problem.isEmpty())
            continue;
        QList<BatchWord> words = line.words;
        for (const BatchLine::Condition& condition : line.conditions)
            words.append(condition.path);
        for (const QString& current : folders) {
            const QString batchFolder = BatchPath::folderWithSeparator(current + u"\\x.bat"_s);
            for (const BatchWord& word : std::as_const(words)) {
                QString error;
                const QString path = BatchPath::resolveWord(word, batchFolder, current, &error);
                REQUIRE(!path.isEmpty() || !error.isEmpty());
                checkResolved(path, current);
                const QString name = path.isEmpty() ? QString() : BatchPath::name(path);
                if (BatchWildcard::hasWildcards(name)) {
                    BatchWildcard::matches(name, u"Blueprints.PAK"_s);
                    BatchWildcard::matches(name, word.literal().left(300));
                    BatchWildcard::rename(name, u"a.b.c"_s);
                }
            }
        }
    }
    return 0;
}
