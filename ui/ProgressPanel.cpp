#include "ProgressPanel.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QResizeEvent>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

// Redrawn no more often: a copy of many small files would spend its time drawing.
constexpr qint64 kRedrawMilliseconds = 100;
// A guess of the time left needs a little of the work done.
constexpr qint64 kSettleMilliseconds = 1500;

QString megabytes(qint64 bytes)
{
    return QLocale().toString(double(bytes) / (1024.0 * 1024.0), 'f', 1);
}

} // namespace

ProgressPanel::ProgressPanel(QWidget* parent)
    : QWidget(parent), m_text(new QLabel(this)), m_cancelButton(new QPushButton(u"Cancel"_s, this))
{
    setObjectName(u"progressPanel"_s);
    m_text->setObjectName(u"progressText"_s);
    m_cancelButton->setObjectName(u"cancelButton"_s);
    m_cancelButton->setAccessibleName(u"Cancel the install and put the game back"_s);
    m_text->setTextFormat(Qt::PlainText);
    // As in any progress dialog; only while the panel shows.
    m_cancelButton->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(m_cancelButton, &QPushButton::clicked, this, &ProgressPanel::cancel);
    hide();
}

void ProgressPanel::resizeEvent(QResizeEvent* event)
{
    const int buttonWidth = qMax(m_cancelButton->sizeHint().width(), event->size().width() / 7);
    m_cancelButton->setGeometry(event->size().width() - buttonWidth, 0, buttonWidth,
                                event->size().height());
    m_text->setGeometry(0, 0, event->size().width() - buttonWidth - 8, event->size().height());
    redraw();
}

void ProgressPanel::cancel()
{
    m_cancelRequested = true;
    m_cancelButton->setEnabled(false);
    m_text->setText(u"Cancelling: what was done is being taken back..."_s);
}

void ProgressPanel::setStep(const QString& step)
{
    m_step = step;
    m_filesDone = m_filesTotal = m_bytesDone = m_bytesTotal = 0;
    m_sinceStep.start();
    if (step.isEmpty()) {
        hide();
        return;
    }
    m_cancelButton->setEnabled(!m_cancelRequested);
    show();
    m_sinceDrawn.invalidate();
    redraw();
}

void ProgressPanel::setFiles(qint64 done, qint64 total)
{
    m_filesDone = done;
    m_filesTotal = total;
    if (done == total)
        m_sinceDrawn.invalidate();
    redraw();
}

void ProgressPanel::setBytes(qint64 done, qint64 total)
{
    m_bytesDone = done;
    m_bytesTotal = total;
    redraw();
}

QString ProgressPanel::timeLeft() const
{
    const qint64 elapsed = m_sinceStep.isValid() ? m_sinceStep.elapsed() : 0;
    // Bytes tell the pace best; a count of files where there are none.
    const double done = m_bytesTotal > 0 ? double(m_bytesDone) : double(m_filesDone);
    const double total = m_bytesTotal > 0 ? double(m_bytesTotal) : double(m_filesTotal);
    if (elapsed < kSettleMilliseconds || done <= 0 || total <= done)
        return {};
    const qint64 seconds = qint64(double(elapsed) * (total - done) / done / 1000.0) + 1;
    if (seconds < 60)
        return u"about "_s + QString::number(seconds) + u" s left"_s;
    return u"about "_s + QString::number((seconds + 30) / 60) + u" min left"_s;
}

void ProgressPanel::redraw()
{
    if (m_step.isEmpty() || m_cancelRequested)
        return;
    if (m_sinceDrawn.isValid() && m_sinceDrawn.elapsed() < kRedrawMilliseconds)
        return;
    m_sinceDrawn.start();
    QStringList parts;
    const QLocale locale;
    if (m_filesTotal > 0)
        parts.append(locale.toString(m_filesDone) + u" of "_s + locale.toString(m_filesTotal) +
                     u" files"_s);
    if (m_bytesTotal > 0)
        parts.append(megabytes(m_bytesDone) + u" of "_s + megabytes(m_bytesTotal) + u" MB"_s);
    if (const QString left = timeLeft(); !left.isEmpty())
        parts.append(left);
    const QString line = parts.isEmpty() ? m_step : m_step + u": "_s + parts.join(u", "_s);
    m_text->setToolTip(line);
    m_text->setText(m_text->fontMetrics().elidedText(line, Qt::ElideMiddle, m_text->width()));
}

} // namespace veltrane
