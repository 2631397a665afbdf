#pragma once

#include "UserInterface.h"

namespace veltrane {

class InstallLog;

// Passes everything on to the user interface it wraps, and writes each message, question
// with its answer and report to the install's log.
class LoggedUserInterface : public UserInterface {
public:
    LoggedUserInterface(UserInterface& inner, InstallLog& log) : m_inner(inner), m_log(log) {}

    void showMessage(const QString& text, Icon icon) override;
    bool askYesNo(const QString& text) override;
    void showReport(const QString& text) override;
    void processEvents() override { m_inner.processEvents(); }
    void setBusy(bool busy) override { m_inner.setBusy(busy); }
    void showProgress(qint64 done, qint64 total) override { m_inner.showProgress(done, total); }
    bool closeRequested() const override { return m_inner.closeRequested(); }
    void showNote(const QString& text) override;
    void showStep(const QString& step) override { m_inner.showStep(step); }
    void showBytes(qint64 done, qint64 total) override { m_inner.showBytes(done, total); }
    bool cancelRequested() const override { return m_inner.cancelRequested(); }

private:
    UserInterface& m_inner;
    InstallLog& m_log;
};

} // namespace veltrane
