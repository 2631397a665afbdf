#pragma once

#include "util/UserInterface.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

namespace veltrane {

// The user interface of an install without a window: every message goes to standard output
// as one line, prefixed by its kind ("message:", "warning:", "error:", "report:", "note:"), and
// every question is printed with the answer it was given: Yes with --yes, else No, the safe
// answer everywhere in this program. On a terminal one line shows the progress, redrawn in
// place; into a file or a pipe no progress is written. Ctrl-C or SIGTERM asks the work to
// stop and take back what it did.
class ConsoleUserInterface : public UserInterface {
public:
    explicit ConsoleUserInterface(bool answerYes, std::FILE* out = stdout);

    void showMessage(const QString& text, Icon icon) override;
    bool askYesNo(const QString& text) override;
    void showReport(const QString& text) override;
    void processEvents() override {}
    void setBusy(bool) override {}
    void showProgress(qint64 done, qint64 total) override;
    void showStep(const QString& step) override;
    void showBytes(qint64 done, qint64 total) override;
    bool closeRequested() const override { return false; }
    bool cancelRequested() const override;
    void showNote(const QString& text) override;

    // A line of its own kind ("package", "game", "log").
    void print(const QString& kind, const QString& text);

private:
    void drawProgress(bool now);
    void clearProgress();

    bool m_answerYes;
    std::FILE* m_out;
    bool m_terminal;
    QString m_step;
    qint64 m_filesDone = 0;
    qint64 m_filesTotal = 0;
    qint64 m_bytesDone = 0;
    qint64 m_bytesTotal = 0;
    bool m_progressShown = false;
    QElapsedTimer m_sinceDrawn;
};

} // namespace veltrane
