#include "ScriptedUserInterface.h"

#include <QTest>

namespace veltrane::test {

void ScriptedUserInterface::answerYes(int times)
{
    for (int i = 0; i < times; ++i)
        m_answers.enqueue(true);
}

void ScriptedUserInterface::answerNo(int times)
{
    for (int i = 0; i < times; ++i)
        m_answers.enqueue(false);
}

void ScriptedUserInterface::showMessage(const QString& text, Icon icon)
{
    shown.append({text, icon, false});
}

bool ScriptedUserInterface::askYesNo(const QString& text)
{
    shown.append({text, Icon::Exclamation, true});
    if (m_answers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: ") + text), __FILE__,
                     __LINE__);
        return false;
    }
    return m_answers.dequeue();
}

void ScriptedUserInterface::showReport(const QString& text)
{
    reports.append(text);
}

void ScriptedUserInterface::processEvents()
{
    ++eventPumps;
    if (onProcessEvents)
        onProcessEvents();
}

void ScriptedUserInterface::setBusy(bool busy)
{
    busyChanges.append(busy);
}

void ScriptedUserInterface::showProgress(qint64 done, qint64 total)
{
    if (progressTotals.isEmpty() || progressTotals.last() != total)
        progressTotals.append(total);
    lastProgressDone = done;
}

QStringList ScriptedUserInterface::texts() const
{
    QStringList all;
    for (const Shown& s : shown)
        all.append(s.text);
    return all;
}

QStringList ScriptedUserInterface::messagesWith(Icon icon) const
{
    QStringList matching;
    for (const Shown& s : shown) {
        if (!s.question && s.icon == icon)
            matching.append(s.text);
    }
    return matching;
}

} // namespace veltrane::test
