#include "WorkReport.h"

#include "InstallLog.h"

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {
// A longer line is cut, so that a message box stays readable.
constexpr qsizetype kLongestLine = 300;
} // namespace

void WorkReport::fail(QString step, QString file, QString reason)
{
    if (m_log)
        m_log->write(u"failed"_s,
                     step + u": "_s + (file.isEmpty() ? QString() : file + u": "_s) + reason);
    m_failures.append({std::move(step), std::move(file), std::move(reason)});
}

QStringList WorkReport::failureLines(int most) const
{
    QStringList lines;
    for (const Failure& failure : m_failures) {
        if (lines.size() == most) {
            lines.append(u"and "_s + QString::number(m_failures.size() - most) + u" more"_s);
            break;
        }
        QString line = failure.step;
        if (!failure.file.isEmpty())
            line += u": "_s + failure.file;
        if (!failure.reason.isEmpty())
            line += u": "_s + failure.reason;
        if (line.size() > kLongestLine)
            line = line.left(kLongestLine) + u"..."_s;
        lines.append(line);
    }
    return lines;
}

} // namespace veltrane
