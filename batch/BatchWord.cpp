#include "BatchWord.h"

namespace veltrane {

void BatchWord::appendText(QStringView text)
{
    if (text.isEmpty())
        return;
    if (!m_pieces.isEmpty() && !m_pieces.last().isVariable)
        m_pieces.last().text += text;
    else
        m_pieces.append({false, Variable::BatchFolder, text.toString()});
}

void BatchWord::appendVariable(Variable variable)
{
    m_pieces.append({true, variable, QString()});
}

void BatchWord::trimEnd()
{
    if (m_pieces.isEmpty() || m_pieces.last().isVariable)
        return;
    QString& text = m_pieces.last().text;
    while (!text.isEmpty() && (text.back() == u' ' || text.back() == u'\t'))
        text.chop(1);
    if (text.isEmpty())
        m_pieces.removeLast();
}

bool BatchWord::hasVariables() const
{
    for (const Piece& piece : m_pieces) {
        if (piece.isVariable)
            return true;
    }
    return false;
}

QString BatchWord::literal() const
{
    QString text;
    for (const Piece& piece : m_pieces)
        text += piece.text;
    return text;
}

QString BatchWord::expand(const QString& batchFolder, const QString& currentFolder) const
{
    QString text;
    for (const Piece& piece : m_pieces) {
        if (!piece.isVariable)
            text += piece.text;
        else if (piece.variable == Variable::BatchFolder)
            text += batchFolder;
        else
            text += currentFolder;
    }
    return text;
}

} // namespace veltrane
