#include "BatchParser.h"

#include "BatchCommand.h"

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isDelimiter(QChar c)
{
    return isBlank(c) || c == u',' || c == u';' || c == u'=';
}

// Where a command's name ends even without a blank: "cd..", "echo.", "del/q".
bool endsName(QChar c)
{
    return isDelimiter(c) || QStringView(u"\"/\\.()[]:+<>|&^").contains(c);
}

// cmd knows its command names in ASCII only; QString::toUpper would make "ıf" an IF.
QString asciiUpper(QStringView text)
{
    QString upper = text.toString();
    for (QChar& c : upper) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return upper;
}

const QString kContinuation = u"a line continued on the next one with ^ is not supported"_s;

// Why a line cannot be run whatever its command. Comments are only checked for a "^" at
// their end, which would make the next line part of them.
QString scanLine(QStringView line, bool comment)
{
    if (!comment) {
        for (const QChar c : line) {
            if (c.unicode() < 0x20 && c != u'\t')
                return u"the line holds control characters"_s;
        }
    }
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == u'^') {
            if (i + 1 == line.size())
                return kContinuation;
            ++i;
            continue;
        }
        if (comment)
            continue;
        if (c == u'|')
            return u"pipes (|) are not supported"_s;
        if (c == u'&')
            return u"several commands on one line (&) are not supported"_s;
        if (c == u'<' || c == u'>')
            return u"redirection (< or >) is not supported"_s;
    }
    return {};
}

class Reader {
public:
    explicit Reader(QStringView line) : m_line(line) {}

    bool atEnd() const { return m_pos >= m_line.size(); }
    QChar peek() const { return m_line[m_pos]; }
    qsizetype pos() const { return m_pos; }
    void advance(qsizetype count) { m_pos = qMin(m_line.size(), m_pos + count); }
    QStringView rest() const { return m_line.mid(m_pos); }

    void skipBlanks()
    {
        while (!atEnd() && isBlank(peek()))
            ++m_pos;
    }

    void skipDelimiters()
    {
        while (!atEnd() && isDelimiter(peek()))
            ++m_pos;
    }

    // Blanks, delimiters and the "@" that keeps a command from being echoed.
    void skipCommandStart()
    {
        while (!atEnd() && (isDelimiter(peek()) || peek() == u'@'))
            ++m_pos;
    }

    QString readName()
    {
        const qsizetype start = m_pos;
        while (!atEnd() && !endsName(peek()))
            ++m_pos;
        return asciiUpper(m_line.mid(start, m_pos - start));
    }

    // What the user sees as the command: the line from start up to the next blank.
    QString chunkFrom(qsizetype start) const
    {
        qsizetype end = start;
        while (end < m_line.size() && !isBlank(m_line[end]))
            ++end;
        const QStringView chunk = m_line.mid(start, end - start);
        return chunk.size() > 60 ? chunk.left(60).toString() + u"..."_s : chunk.toString();
    }

    // One argument: quotes group and are dropped, "^" takes the next character as it is.
    // With wholeRest the rest of the line is one argument (CD, ECHO).
    bool readWord(BatchWord& word, bool wholeRest, QString& problem)
    {
        const qsizetype start = m_pos;
        bool quoted = false;
        QString pending;
        while (!atEnd()) {
            const QChar c = peek();
            if (!quoted && !wholeRest && isDelimiter(c))
                break;
            if (c == u'"') {
                quoted = !quoted;
                ++m_pos;
            } else if (c == u'%') {
                word.appendText(pending);
                pending.clear();
                if (!readPercent(word, problem))
                    return false;
            } else if (!quoted && c == u'^') {
                if (m_pos + 1 >= m_line.size()) {
                    problem = kContinuation;
                    return false;
                }
                pending += m_line[m_pos + 1];
                m_pos += 2;
            } else {
                pending += c;
                ++m_pos;
            }
        }
        word.appendText(pending);
        word.setRaw(m_line.mid(start, m_pos - start).trimmed().toString());
        return true;
    }

private:
    // At a "%": only %%, %~dp0 and %CD% have values we know.
    bool readPercent(BatchWord& word, QString& problem)
    {
        if (m_pos + 1 >= m_line.size()) {
            ++m_pos; // cmd drops a lone "%" at the end of a line
            return true;
        }
        const QChar next = m_line[m_pos + 1];
        if (next == u'%') {
            word.appendText(u"%");
            m_pos += 2;
            return true;
        }
        if (next.isDigit() || next == u'*') {
            problem = u"the batch file's parameters (%"_s + next + u") are not known"_s;
            return false;
        }
        if (next == u'~') {
            qsizetype end = m_pos + 2;
            while (end < m_line.size() && m_line[end].unicode() < 0x80 && m_line[end].isLetter())
                ++end;
            const QString modifiers = asciiUpper(m_line.mid(m_pos + 2, end - m_pos - 2));
            if (end < m_line.size() && m_line[end] == u'0' &&
                (modifiers == u"DP"_s || modifiers == u"PD"_s)) {
                word.appendVariable(BatchWord::Variable::BatchFolder);
                m_pos = end + 1;
                return true;
            }
            problem = u"only %~dp0 of the %~ forms is supported"_s;
            return false;
        }
        const qsizetype close = m_line.indexOf(u'%', m_pos + 1);
        if (close < 0) {
            ++m_pos; // an unpaired "%" is dropped, as cmd does
            return true;
        }
        const QStringView name = m_line.mid(m_pos + 1, close - m_pos - 1);
        if (asciiUpper(name) == u"CD"_s) {
            word.appendVariable(BatchWord::Variable::CurrentFolder);
            m_pos = close + 1;
            return true;
        }
        problem = u"the value of %"_s + name.toString() + u"% is not known"_s;
        return false;
    }

    QStringView m_line;
    qsizetype m_pos = 0;
};

bool addSwitches(const BatchWord& word, BatchLine& line)
{
    const QStringList parts = word.raw().split(u'/');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString name = asciiUpper(parts[i]);
        if (name.isEmpty() || word.hasVariables()) {
            line.problem = u"the switch "_s + word.raw() + u" cannot be read"_s;
            return false;
        }
        line.switches.append(name);
    }
    return true;
}

// The rest of the line is one name, after an optional /D.
void readRestOfLine(Reader& reader, BatchLine& line)
{
    reader.skipDelimiters();
    const QStringView rest = reader.rest();
    if (rest.startsWith(u"/d", Qt::CaseInsensitive) &&
        (rest.size() == 2 || isBlank(rest[2]) || rest[2] == u'"')) {
        line.switches.append(u"D"_s);
        reader.advance(2);
        reader.skipBlanks();
    }
    if (reader.atEnd())
        return;
    BatchWord word;
    if (!reader.readWord(word, true, line.problem))
        return;
    word.trimEnd();
    if (word.literal().isEmpty() && !word.hasVariables())
        return;
    line.words.append(word);
}

bool checkWords(const BatchCommand& command, BatchLine& line)
{
    const auto count = line.words.size();
    if (count < command.minWords) {
        line.problem = u"too few names for "_s + command.name();
        return false;
    }
    if (command.maxWords >= 0 && count > command.maxWords) {
        line.problem = u"too many names for "_s + command.name();
        return false;
    }
    if (command.refuseWords) {
        line.problem = command.refuseWords(line);
        if (!line.problem.isEmpty())
            return false;
    }
    const QStringList allowed = command.switches.toString().split(u' ', Qt::SkipEmptyParts);
    for (const QString& name : std::as_const(line.switches)) {
        if (!allowed.contains(name)) {
            line.problem =
                u"the switch /"_s + name + u" of "_s + command.name() + u" is not supported"_s;
            return false;
        }
    }
    for (const BatchWord& word : std::as_const(line.words)) {
        if (word.literal().isEmpty() && !word.hasVariables()) {
            line.problem = u"an empty name is given"_s;
            return false;
        }
        // "/" would be read as the start of a switch by cmd's own commands.
        if (word.literal().contains(u'/')) {
            line.problem = u"the name "_s + word.raw() + u" holds a \"/\""_s;
            return false;
        }
        if (!line.conditions.isEmpty() && asciiUpper(word.raw()) == u"ELSE"_s) {
            line.problem = u"ELSE is not supported"_s;
            return false;
        }
    }
    return true;
}

void readArguments(const QString& name, qsizetype start, Reader& reader, BatchLine& line)
{
    if (name == u"REM"_s)
        return;
    const BatchCommand* command = BatchCommand::find(name);
    if (!command) {
        line.problem = u"the command \""_s + reader.chunkFrom(start) + u"\" is not supported"_s;
        return;
    }
    line.command = command;
    switch (command->arguments) {
    case BatchCommand::Arguments::Text:
        // The character right after ECHO belongs to the command: "ECHO." prints an empty line.
        reader.advance(1);
        if (!reader.atEnd())
            reader.readWord(line.message, true, line.problem);
        return;
    case BatchCommand::Arguments::RestOfLine:
        readRestOfLine(reader, line);
        if (line.problem.isEmpty() && command->refuseWords)
            line.problem = command->refuseWords(line);
        return;
    case BatchCommand::Arguments::Words:
        if (command->name() == u"XCOPY"_s &&
            reader.rest().startsWith(u".exe", Qt::CaseInsensitive) &&
            (reader.rest().size() == 4 || (endsName(reader.rest()[4]) && reader.rest()[4] != u'.')))
            reader.advance(4);
        for (;;) {
            reader.skipDelimiters();
            if (reader.atEnd())
                break;
            BatchWord word;
            if (!reader.readWord(word, false, line.problem))
                return;
            if (word.raw().startsWith(u'/')) {
                if (!addSwitches(word, line))
                    return;
            } else {
                line.words.append(word);
            }
        }
        break;
    }
    if (line.problem.isEmpty())
        checkWords(*command, line);
}

// IF [NOT] EXIST name, the reader standing after "IF".
bool readCondition(Reader& reader, BatchLine& line)
{
    BatchLine::Condition condition;
    auto readKeyword = [&]() {
        reader.skipDelimiters();
        BatchWord word;
        if (reader.atEnd() || !reader.readWord(word, false, line.problem))
            return QString();
        return word.hasVariables() ? QString() : asciiUpper(word.raw());
    };
    QString keyword = readKeyword();
    if (keyword == u"NOT"_s) {
        condition.negated = true;
        keyword = readKeyword();
    }
    if (!line.problem.isEmpty())
        return false;
    if (keyword != u"EXIST"_s) {
        line.problem = u"only IF EXIST and IF NOT EXIST are supported"_s;
        return false;
    }
    reader.skipDelimiters();
    if (reader.atEnd() || !reader.readWord(condition.path, false, line.problem)) {
        if (line.problem.isEmpty())
            line.problem = u"IF EXIST needs a name"_s;
        return false;
    }
    line.conditions.append(condition);
    return true;
}

void readCommand(Reader& reader, BatchLine& line)
{
    for (;;) {
        reader.skipCommandStart();
        if (reader.atEnd()) {
            line.problem = u"IF EXIST needs a command after the name"_s;
            return;
        }
        const QChar first = reader.peek();
        if (first == u'(' || first == u')') {
            line.problem = u"blocks of commands in parentheses are not supported"_s;
            return;
        }
        const qsizetype start = reader.pos();
        const QString name = reader.readName();
        if (name.isEmpty()) {
            line.problem = u"the command \""_s + reader.chunkFrom(start) + u"\" is not supported"_s;
            return;
        }
        if (name != u"IF"_s) {
            readArguments(name, start, reader, line);
            return;
        }
        if (!readCondition(reader, line))
            return;
    }
}

} // namespace

QList<BatchLine> BatchParser::parse(QStringView text)
{
    // An old editor's end-of-file mark is no part of the last line.
    while (!text.isEmpty() && text.back() == QChar(0x1A))
        text.chop(1);
    QList<BatchLine> lines;
    int number = 0;
    qsizetype start = 0;
    for (;;) {
        qsizetype end = text.indexOf(u'\n', start);
        const bool last = end < 0;
        if (last)
            end = text.size();
        QString lineText = text.mid(start, end - start).toString();
        lineText.remove(u'\r'); // cmd drops every carriage return
        ++number;
        if (last && lineText.isEmpty())
            break;
        lines.append(parseLine(lineText, number));
        if (last)
            break;
        start = end + 1;
    }
    return lines;
}

BatchLine BatchParser::parseLine(QStringView text, int number)
{
    BatchLine line;
    line.number = number;
    line.text = text.toString();
    Reader reader(text);
    reader.skipCommandStart();
    if (reader.atEnd())
        return line;
    Reader probe = reader;
    const bool comment = reader.peek() == u':' || probe.readName() == u"REM"_s;
    line.problem = scanLine(text, comment);
    if (comment || !line.problem.isEmpty())
        return line;
    readCommand(reader, line);
    return line;
}

} // namespace veltrane
