#pragma once

#include "util/UserInterface.h"

#include <cstdio>

namespace veltrane {

// The user interface of an install without a window: every message goes to standard output
// as one line, prefixed by its kind ("message:", "warning:", "error:", "report:", "note:"), and
// every question is printed with the answer it was given: Yes with --yes, else No, the safe answer
// everywhere in this program.
class ConsoleUserInterface : public UserInterface {
public:
    explicit ConsoleUserInterface(bool answerYes, std::FILE* out = stdout);

    void showMessage(const QString& text, Icon icon) override;
    bool askYesNo(const QString& text) override;
    void showReport(const QString& text) override;
    void processEvents() override {}
    void setBusy(bool) override {}
    void showProgress(qint64, qint64) override {}
    bool closeRequested() const override { return false; }
    void showNote(const QString& text) override;

private:
    void print(const QString& kind, const QString& text);

    bool m_answerYes;
    std::FILE* m_out;
};

} // namespace veltrane
