#pragma once

#include "util/UserInterface.h"

#include <QList>
#include <QPair>
#include <QQueue>
#include <QString>
#include <functional>

namespace veltrane::test {

// Stands in for the window in tests: records everything shown, answers questions from a
// queue, and fails the running test on a question nobody scripted.
class ScriptedUserInterface : public UserInterface {
public:
    struct Shown {
        QString text;
        Icon icon;
        bool question;
    };

    void answer(bool yes) { m_answers.enqueue(yes); }
    void answerYes(int times = 1);
    void answerNo(int times = 1);

    void showMessage(const QString& text, Icon icon) override;
    bool askYesNo(const QString& text) override;
    void showReport(const QString& text) override;
    void processEvents() override;
    void setBusy(bool busy) override;
    void showProgress(qint64 done, qint64 total) override;
    bool closeRequested() const override { return m_closeRequested; }
    void showNote(const QString& text) override { notes.append(text); }
    void showBytes(qint64 done, qint64 total) override
    {
        if (total > 0)
            bytes.append({done, total});
    }

    // Runs at every processEvents(), as window events would; lets a test click or close.
    std::function<void()> onProcessEvents;
    void requestClose() { m_closeRequested = true; }

    QList<Shown> shown;                 // messages and questions, in order
    QStringList reports;                // report window texts
    QStringList notes;                  // notes that asked nothing
    QList<bool> busyChanges;            // every setBusy call
    QList<qint64> progressTotals;       // totals passed to showProgress, in order
    QList<QPair<qint64, qint64>> bytes; // bytes done and their total, while there is a total
    qint64 lastProgressDone = -1;
    int eventPumps = 0;

    bool busy() const { return !busyChanges.isEmpty() && busyChanges.last(); }
    int pendingAnswers() const { return int(m_answers.size()); }
    // Texts of everything shown, for readable failure output.
    QStringList texts() const;
    QStringList messagesWith(Icon icon) const;

private:
    QQueue<bool> m_answers;
    bool m_closeRequested = false;
};

} // namespace veltrane::test
