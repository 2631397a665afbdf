#include "JournalFormat.h"

namespace veltrane {

QByteArray JournalFormat::line(const QStringList& fields)
{
    QByteArray out;
    for (const QString& field : fields) {
        if (!out.isEmpty())
            out += '\t';
        out += field.toUtf8().toPercentEncoding();
    }
    return out + '\n';
}

QStringList JournalFormat::fields(QByteArrayView line)
{
    if (!line.endsWith('\n'))
        return {};
    QStringList fields;
    for (const QByteArray& field : line.chopped(1).toByteArray().split('\t'))
        fields.append(QString::fromUtf8(QByteArray::fromPercentEncoding(field)));
    return fields;
}

} // namespace veltrane
