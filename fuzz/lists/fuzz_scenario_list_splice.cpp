// Edits a scenario list: the quick one-pass edit must give exactly what the plain way gives,
// one key after the other and then the insertion, problems included. The input is the keys
// (one per line), a NUL byte, the record, a NUL byte and the list.
#include "fuzz/FuzzRequire.h"
#include "lists/ScenarioListSplice.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace veltrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts =
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0');
    if (parts.size() < 3)
        return 0;
    // Latin-1 with a few wider characters, as the game's ANSI text decodes.
    const auto text = [](const QByteArray& bytes) {
        QString out = QString::fromLatin1(bytes);
        out.replace(QChar(0x80), QChar(0x20AC)).replace(QChar(0x9F), QChar(0x0178));
        return out;
    };
    const QStringList keys = text(parts[0]).split(QChar(u'\n'));
    const QString record = text(parts[1]);
    const QString list = text(parts.mid(2).join('\0'));

    const auto plain = ScenarioListSplice::removeRecordsOneByOne(list, keys);
    const auto quick = ScenarioListSplice::removeRecords(list, keys);
    REQUIRE(quick.problem == plain.problem);
    REQUIRE(quick.text == plain.text);
    REQUIRE(plain.ok() || plain.text.isEmpty());

    const auto inserted = plain.ok() ? ScenarioListSplice::insertRecord(plain.text, record) : plain;
    const auto edited = ScenarioListSplice::edit(list, keys, record);
    REQUIRE(edited.problem == inserted.problem);
    REQUIRE(edited.text == inserted.text);
    REQUIRE(!edited.ok() || edited.text.contains(record));
    return 0;
}
