#pragma once

#include <QString>

namespace veltrane {

// Everything the engine shows to or asks of the user goes through here, so that every flow
// runs in a test without a screen. Every box is captioned "Veltrane".
class UserInterface {
public:
    enum class Icon { Critical, Exclamation, Information };

    virtual ~UserInterface();

    // A message with a single OK button.
    virtual void showMessage(const QString& text, Icon icon) = 0;
    // Yes and No, exclamation icon, Yes the default. True for Yes.
    virtual bool askYesNo(const QString& text) = 0;
    // The missing rolling-stock report, shown modally.
    virtual void showReport(const QString& text) = 0;
    // Lets the window handle what is pending (repaint, clicks, keys).
    virtual void processEvents() = 0;
    virtual void setBusy(bool busy) = 0;
    // Files copied so far of the total; a total of 0 hides the progress display.
    virtual void showProgress(qint64 done, qint64 total) = 0;
    // The step the work is at, for the progress display; empty when the work is over.
    virtual void showStep(const QString& step) { Q_UNUSED(step); }
    // Bytes placed so far of the total, beside the files' count.
    virtual void showBytes(qint64 done, qint64 total)
    {
        Q_UNUSED(done);
        Q_UNUSED(total);
    }
    // The user asked to stop the work (Cancel, Ctrl-C): what it did is taken back.
    virtual bool cancelRequested() const { return false; }
    // The user asked to close the window while an install runs.
    virtual bool closeRequested() const = 0;
    // A line of what the work did that asks nothing of the user and needs no box (a batch
    // file's exit status): printed without a window, left to the log in it.
    virtual void showNote(const QString& text) { Q_UNUSED(text); }
};

// For work that may ask and show nothing (reading a marker to name the package): every
// question is answered No, nothing is shown.
class SilentUserInterface : public UserInterface {
public:
    void showMessage(const QString&, Icon) override {}
    bool askYesNo(const QString&) override { return false; }
    void showReport(const QString&) override {}
    void processEvents() override {}
    void setBusy(bool) override {}
    void showProgress(qint64, qint64) override {}
    bool closeRequested() const override { return false; }
};

// The text as a message box can show it: very long lines and very many lines are cut, so
// that a text made from a damaged package's files never freezes the window.
QString fittedForMessage(const QString& text);
// The text as one line of printed output or of a log: its own line breaks shown as " | ".
QString oneLine(const QString& text);

} // namespace veltrane
