#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace veltrane {

// What a long piece of work is doing, in one line along the bottom of the main window: the
// step, the files done of their total, the megabytes and the time left, with a Cancel button
// that asks the work to stop and take back what it did. Hidden while nothing runs.
class ProgressPanel : public QWidget {
    Q_OBJECT

public:
    explicit ProgressPanel(QWidget* parent = nullptr);

    // A step begins: shown with Cancel; an empty step hides the panel.
    void setStep(const QString& step);
    void setFiles(qint64 done, qint64 total);
    void setBytes(qint64 done, qint64 total);

    bool cancelRequested() const { return m_cancelRequested; }
    // A new piece of work: a Cancel of the last one no longer counts.
    void clearCancel() { m_cancelRequested = false; }

    QLabel* text() const { return m_text; }
    QPushButton* cancelButton() const { return m_cancelButton; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void cancel();
    void redraw();
    // "about 2 min left", from the pace so far; empty while that says too little.
    QString timeLeft() const;

    QLabel* m_text;
    QPushButton* m_cancelButton;
    QString m_step;
    qint64 m_filesDone = 0;
    qint64 m_filesTotal = 0;
    qint64 m_bytesDone = 0;
    qint64 m_bytesTotal = 0;
    bool m_cancelRequested = false;
    QElapsedTimer m_sinceStep;
    QElapsedTimer m_sinceDrawn;
};

} // namespace veltrane
