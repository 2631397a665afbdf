#include "ConsoleUserInterface.h"

#include "platform/ParentConsole.h"
#include "platform/StopRequest.h"

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

// A line redrawn more often than this only flickers.
constexpr qint64 kRedrawMilliseconds = 100;
constexpr qsizetype kLineWidth = 79;

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1);
}

} // namespace

ConsoleUserInterface::ConsoleUserInterface(bool answerYes, std::FILE* out)
    : m_answerYes(answerYes), m_out(out), m_terminal(ParentConsole::isTerminal(out))
{
}

void ConsoleUserInterface::print(const QString& kind, const QString& text)
{
    clearProgress();
    const QByteArray line = (kind + u": "_s + oneLine(text) + u'\n').toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), m_out);
    // Whoever reads the output sees each line as it happens, also from a pipe.
    std::fflush(m_out);
    drawProgress(true);
}

void ConsoleUserInterface::showMessage(const QString& text, Icon icon)
{
    switch (icon) {
    case Icon::Information:
        print(u"message"_s, text);
        return;
    case Icon::Exclamation:
        print(u"warning"_s, text);
        return;
    case Icon::Critical:
        break;
    }
    print(u"error"_s, text);
}

bool ConsoleUserInterface::askYesNo(const QString& text)
{
    print(u"question"_s,
          text +
              (m_answerYes ? u" -> Yes"_s : u" -> No (answered No: give --yes to answer Yes)"_s));
    return m_answerYes;
}

void ConsoleUserInterface::showReport(const QString& text)
{
    print(u"report"_s, text);
}

void ConsoleUserInterface::showNote(const QString& text)
{
    print(u"note"_s, text);
}

bool ConsoleUserInterface::cancelRequested() const
{
    return StopRequest::requested();
}

void ConsoleUserInterface::showStep(const QString& step)
{
    m_step = step;
    m_filesDone = m_filesTotal = m_bytesDone = m_bytesTotal = 0;
    if (step.isEmpty())
        clearProgress();
    else
        drawProgress(true);
}

void ConsoleUserInterface::showProgress(qint64 done, qint64 total)
{
    m_filesDone = done;
    m_filesTotal = total;
    drawProgress(done == total);
}

void ConsoleUserInterface::showBytes(qint64 done, qint64 total)
{
    m_bytesDone = done;
    m_bytesTotal = total;
}

void ConsoleUserInterface::drawProgress(bool now)
{
    if (!m_terminal || m_step.isEmpty())
        return;
    if (!now && m_progressShown && m_sinceDrawn.isValid() &&
        m_sinceDrawn.elapsed() < kRedrawMilliseconds)
        return;
    QString line = m_step;
    if (m_filesTotal > 0)
        line += u": "_s + QString::number(m_filesDone) + u" of "_s + QString::number(m_filesTotal) +
                u" files"_s;
    if (m_bytesTotal > 0)
        line += u", "_s + megabytes(m_bytesDone) + u" of "_s + megabytes(m_bytesTotal) + u" MB"_s;
    line = line.left(kLineWidth).leftJustified(kLineWidth);
    const QByteArray bytes = (u'\r' + line).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
    std::fflush(m_out);
    m_progressShown = true;
    m_sinceDrawn.start();
}

void ConsoleUserInterface::clearProgress()
{
    if (!m_progressShown)
        return;
    const QByteArray blank = '\r' + QByteArray(kLineWidth, ' ') + '\r';
    std::fwrite(blank.constData(), 1, size_t(blank.size()), m_out);
    std::fflush(m_out);
    m_progressShown = false;
}

} // namespace veltrane
