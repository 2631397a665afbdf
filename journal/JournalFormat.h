#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace veltrane {

// How a change journal is written: one record a line, its fields separated by TABs and
// percent-encoded, so that any file name fits; paths relative to the game folder with "/".
// The journal of each install lies in a folder of its own below the game's journals' folder,
// with the files kept aside in a folder "aside" beside the record.
namespace JournalFormat {

// The game's folder of journals, relative to the game folder: not under Assets or Content,
// where the game reads.
inline const QString kJournalsFolder = QStringLiteral("installs");
inline const QString kRecordFile = QStringLiteral("journal");
inline const QString kAsideFolder = QStringLiteral("aside");

QByteArray line(const QStringList& fields);
// The fields of a whole line; nothing for a line cut short.
QStringList fields(QByteArrayView line);

} // namespace JournalFormat

} // namespace veltrane
