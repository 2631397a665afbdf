#include "ConsoleUserInterface.h"

using namespace Qt::StringLiterals;

namespace veltrane {

ConsoleUserInterface::ConsoleUserInterface(bool answerYes, std::FILE* out)
    : m_answerYes(answerYes), m_out(out)
{
}

void ConsoleUserInterface::print(const QString& kind, const QString& text)
{
    const QByteArray line = (kind + u": "_s + oneLine(text) + u'\n').toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), m_out);
    // Whoever reads the output sees each line as it happens, also from a pipe.
    std::fflush(m_out);
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
    print(u"question"_s, text + (m_answerYes ? u" -> Yes"_s : u" -> No"_s));
    return m_answerYes;
}

void ConsoleUserInterface::showNote(const QString& text)
{
    print(u"note"_s, text);
}

void ConsoleUserInterface::showReport(const QString& text)
{
    print(u"report"_s, text);
}

} // namespace veltrane
