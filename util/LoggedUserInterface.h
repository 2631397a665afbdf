#pragma once

#include "UserInterface.h"

namespace veltrane {

// Passes everything on to the user interface it wraps, and writes each message, question
// with its answer and report to the current install log.
class LoggedUserInterface : public UserInterface {
public:
    explicit LoggedUserInterface(UserInterface& inner) : m_inner(inner) {}

    void showMessage(const QString& text, Icon icon) override;
    bool askYesNo(const QString& text) override;
    void showReport(const QString& text) override;
    void processEvents() override { m_inner.processEvents(); }
    void setBusy(bool busy) override { m_inner.setBusy(busy); }
    void showProgress(qint64 done, qint64 total) override { m_inner.showProgress(done, total); }
    bool closeRequested() const override { return m_inner.closeRequested(); }

private:
    UserInterface& m_inner;
};

} // namespace veltrane
