#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace veltrane {

// What a piece of work did and what failed on the way, each failure with the step it happened
// in, the file concerned and the platform's reason. The work goes on past a failure; its last
// message then names what failed and what was still done instead of claiming a success that
// did not happen.
class InstallLog;

class WorkReport {
public:
    // Each failure is also written to the log, when there is one.
    explicit WorkReport(InstallLog* log = nullptr) : m_log(log) {}

    struct Failure {
        QString step;
        QString file; // as shown to the user; empty when no one file is concerned
        QString reason;
    };

    void fail(QString step, QString file, QString reason);
    void done(QString what) { m_done.append(std::move(what)); }

    bool hasFailures() const { return !m_failures.isEmpty(); }
    const QList<Failure>& failures() const { return m_failures; }
    const QStringList& doneItems() const { return m_done; }

    // One line per failure, at most the first `most`, then "and N more".
    QStringList failureLines(int most = 10) const;

private:
    InstallLog* m_log;
    QList<Failure> m_failures;
    QStringList m_done;
};

} // namespace veltrane
