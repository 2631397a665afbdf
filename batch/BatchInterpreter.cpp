#include "BatchInterpreter.h"

#include "BatchCommand.h"
#include "BatchExecutor.h"
#include "BatchParser.h"
#include "BatchPath.h"
#include "util/FolderGuard.h"
#include "util/UserInterface.h"
#include "util/Windows1252.h"
#include "util/WorkCancelled.h"

#include <QFile>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

// A line listed in a message: how many at most, and how long each may be.
constexpr int kListedLines = 20;
constexpr int kShownLineLength = 200;
// IF EXIST ... CD makes the folder of the later lines one of several; beyond this many the
// file is not worth checking.
constexpr int kMaxPossibleFolders = 64;

QString describe(const BatchLine& line, const QString& reason)
{
    QString text = line.text.trimmed();
    if (text.size() > kShownLineLength)
        text = text.left(kShownLineLength) + u"..."_s;
    return u"Line "_s + QString::number(line.number) + u": "_s + text + u"\n    "_s + reason;
}

QString listing(const QStringList& entries, int total)
{
    QStringList shown = entries.mid(0, kListedLines);
    if (total > shown.size())
        shown.append(u"... and "_s + QString::number(total - shown.size()) + u" more."_s);
    return shown.join(u'\n');
}

QString decode(const QByteArray& bytes)
{
    // Notepad's UTF-8 mark; cmd would stumble over it on the first line, which is not worth
    // copying. Everything else is the game's ANSI.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return Windows1252::decode(bytes);
}

void addFolder(QStringList& folders, const QString& folder)
{
    if (!folders.contains(folder, Qt::CaseInsensitive))
        folders.append(folder);
}

} // namespace

BatchInterpreter::BatchInterpreter(UserInterface& ui, FileChanges& files,
                                   std::vector<HostPath> allowedRoots)
    : m_ui(ui), m_files(files), m_allowedRoots(std::move(allowedRoots)), m_why(u"Without Wine,"_s),
      m_remedy(u"Install Wine to have batch files like this one run by Wine's command "
               u"interpreter."_s)
{
}

void BatchInterpreter::explainRefusal(QString why, QString remedy)
{
    m_why = std::move(why);
    m_remedy = std::move(remedy);
}

bool BatchInterpreter::Script::leavesFolders() const
{
    return std::any_of(refused.begin(), refused.end(),
                       [](const Refusal& refusal) { return refusal.outside; });
}

QStringList BatchInterpreter::Script::unsupported() const
{
    QStringList texts;
    for (const Refusal& refusal : refused) {
        if (!refusal.outside)
            texts.append(refusal.text);
    }
    return texts;
}

bool BatchInterpreter::runFile(const QString& batchPath, const QString& workingFolder)
{
    m_failures.clear();
    m_failureCount = 0;
    const std::optional<Script> script = read(batchPath, workingFolder);
    if (!script)
        return false;
    if (!script->refused.isEmpty()) {
        tellRefusal(*script);
        return false;
    }
    run(*script);
    if (m_failureCount > 0) {
        const QString after =
            m_stoppedAt > 0
                ? u"The lines after line "_s + QString::number(m_stoppedAt) +
                      u" have not been run, so that they cannot work in the wrong folder."_s
                : u"All other commands have been carried out."_s;
        m_ui.showMessage(u"Some commands of the batch file\n"_s + script->shown +
                             u"\nfailed:\n\n"_s + listing(m_failures, m_failureCount) + u"\n\n"_s +
                             after,
                         UserInterface::Icon::Exclamation);
    }
    return true;
}

std::optional<BatchInterpreter::Script> BatchInterpreter::read(const QString& batchPath,
                                                               const QString& workingFolder)
{
    const QString folder = BatchPath::resolve(workingFolder, u"."_s, nullptr);
    QString error;
    const QString batchFile = BatchPath::resolve(folder, batchPath, &error);
    const HostPath batchHost = HostPath::fromProgramPath(batchFile);
    const QString batchShown = batchFile.isEmpty() ? batchPath : batchHost.display();

    QFile file(batchHost.toString());
    QByteArray bytes;
    if (!batchFile.isEmpty() && file.open(QIODevice::ReadOnly)) {
        bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            error.clear();
        else
            error = file.errorString();
    } else if (!batchFile.isEmpty()) {
        error = file.errorString();
    }
    if (!error.isEmpty()) {
        m_ui.showMessage(u"The batch file\n"_s + batchShown + u"\ncould not be read: "_s + error,
                         UserInterface::Icon::Exclamation);
        return std::nullopt;
    }

    return scriptOf(bytes, batchFile, folder);
}

BatchInterpreter::Script BatchInterpreter::scriptOf(const QByteArray& bytes,
                                                    const QString& batchFile,
                                                    const QString& workingFolder) const
{
    Script script{HostPath::fromProgramPath(batchFile).display(),
                  BatchParser::parse(decode(bytes)),
                  BatchPath::folderWithSeparator(batchFile),
                  workingFolder,
                  {}};
    script.refused = check(script.lines, script.batchFolder, workingFolder);
    return script;
}

void BatchInterpreter::tellRefusal(const Script& script) const
{
    // A line that would leave the allowed folders is the reason that counts.
    const bool outside = script.leavesFolders();
    QStringList texts;
    for (const Refusal& refusal : script.refused) {
        if (refusal.outside || !outside)
            texts.append(refusal.text);
    }
    const QString why =
        outside ? u"It may change files only in the game and package folders, and these lines "
                  u"of it would change others:\n\n"_s
                : m_why + u" Veltrane runs batch files itself and cannot run these lines of "
                          u"this one:\n\n"_s;
    m_ui.showMessage(u"The batch file\n"_s + script.shown + u"\nhas not been run. "_s + why +
                         listing(texts, int(texts.size())) +
                         u"\n\nNo line of the file has been run."_s +
                         (outside ? QString() : u' ' + m_remedy),
                     UserInterface::Icon::Exclamation);
}

int BatchInterpreter::run(const Script& script)
{
    const FolderGuard guard(m_allowedRoots);
    BatchExecutor executor(m_ui, m_files, guard, script.batchFolder, script.workingFolder);
    for (const BatchLine& line : script.lines) {
        m_ui.processEvents();
        if (m_ui.cancelRequested())
            throw WorkCancelled();
        if (!executor.run(line))
            break;
    }
    m_ui.processEvents();
    m_failures = executor.failures();
    m_failureCount = executor.failureCount();
    m_stoppedAt = executor.stoppedAt();
    return executor.exitStatus();
}

QList<BatchInterpreter::Refusal> BatchInterpreter::check(const QList<BatchLine>& lines,
                                                         const QString& batchFolder,
                                                         const QString& workingFolder) const
{
    const FolderGuard guard(m_allowedRoots);
    QList<Refusal> refused;
    QStringList possible{workingFolder};
    for (const BatchLine& line : lines) {
        QString reason = line.problem;
        bool outside = false;
        QStringList after;
        for (const QString& current : std::as_const(possible)) {
            if (!reason.isEmpty())
                break;
            reason = checkLine(line, guard, batchFolder, current, after, outside);
        }
        if (!reason.isEmpty()) {
            refused.append({line.number, describe(line, reason), outside});
            continue;
        }
        // Only a line that changes the folder names the folders after it.
        if (after.isEmpty())
            continue;
        // Under IF EXIST the folder may change or not; later lines must pass in either.
        QStringList next = line.conditions.isEmpty() ? QStringList() : possible;
        for (const QString& folder : std::as_const(after))
            addFolder(next, folder);
        if (next.size() > kMaxPossibleFolders) {
            refused.append({line.number,
                            describe(line, u"too many folder changes under IF to check them"_s),
                            false});
            continue;
        }
        possible = next;
    }
    return refused;
}

QString BatchInterpreter::checkLine(const BatchLine& line, const FolderGuard& guard,
                                    const QString& batchFolder, const QString& current,
                                    QStringList& foldersAfter, bool& outside)
{
    QString error;
    auto resolve = [&](const BatchWord& word) {
        return BatchPath::resolveWord(word, batchFolder, current, &error);
    };
    // Existence tests change nothing and may look anywhere.
    for (const BatchLine::Condition& condition : line.conditions) {
        if (resolve(condition.path).isEmpty())
            return error;
    }
    if (!line.command || !line.command->check)
        return {};

    QStringList paths;
    for (const BatchWord& word : line.words) {
        const QString path = resolve(word);
        if (path.isEmpty())
            return error;
        paths.append(path);
    }
    BatchCheck check{guard, batchFolder, current, {}};
    QString refusal = line.command->check(check, line, paths);
    foldersAfter += check.foldersAfter;
    outside = check.outside;
    return refusal;
}

} // namespace veltrane
