#include "LoggedUserInterface.h"

#include "InstallLog.h"

using namespace Qt::StringLiterals;

namespace veltrane {

void LoggedUserInterface::showMessage(const QString& text, Icon icon)
{
    m_log.write(icon == Icon::Information ? u"message"_s : u"warning"_s, text);
    m_inner.showMessage(text, icon);
}

bool LoggedUserInterface::askYesNo(const QString& text)
{
    const bool yes = m_inner.askYesNo(text);
    m_log.write(u"question"_s, text + (yes ? u" -> Yes"_s : u" -> No"_s));
    return yes;
}

void LoggedUserInterface::showNote(const QString& text)
{
    m_log.write(u"note"_s, text);
    m_inner.showNote(text);
}

void LoggedUserInterface::showReport(const QString& text)
{
    m_log.write(u"report"_s, text);
    m_inner.showReport(text);
}

} // namespace veltrane
