#pragma once

#include <QList>
#include <QString>

namespace veltrane {

// One argument of a batch line as written. References to the two variables whose values we
// know are kept apart from the text and put in only when the line is checked or run, so a
// folder whose name holds spaces or "&" still makes one argument, as the author meant.
class BatchWord {
public:
    enum class Variable {
        BatchFolder,  // %~dp0: the batch file's folder, with a trailing separator
        CurrentFolder // %CD%
    };

    void appendText(QStringView text);
    void appendVariable(Variable variable);
    // Drops blanks at the end of the written text (CD takes the rest of its line).
    void trimEnd();

    void setRaw(QString raw) { m_raw = std::move(raw); }
    const QString& raw() const { return m_raw; }

    bool hasVariables() const;
    // The written text without its variable references.
    QString literal() const;
    // The text with the variables' values put in.
    QString expand(const QString& batchFolder, const QString& currentFolder) const;

private:
    struct Piece {
        bool isVariable = false;
        Variable variable = Variable::BatchFolder;
        QString text;
    };

    QList<Piece> m_pieces;
    QString m_raw;
};

} // namespace veltrane
