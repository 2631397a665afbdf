#pragma once

#include "util/UserInterface.h"

namespace veltrane::bench {

// Answers like a user who says Yes, shows nothing, and lets the event loop run where the
// window would, so that its cost stays in the figures.
class BenchUserInterface : public UserInterface {
public:
    void showMessage(const QString& text, Icon icon) override;
    bool askYesNo(const QString& text) override;
    void showReport(const QString& text) override;
    void processEvents() override;
    void setBusy(bool) override {}
    void showProgress(qint64, qint64) override {}
    bool closeRequested() const override { return false; }

    int messages = 0;
};

} // namespace veltrane::bench
