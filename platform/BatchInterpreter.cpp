#include "BatchInterpreter.h"

#include "BatchExecutor.h"
#include "BatchParser.h"
#include "BatchPath.h"
#include "BatchPathGuard.h"
#include "BatchWildcard.h"
#include "util/HostPath.h"
#include "util/UserInterface.h"
#include "util/Windows1252.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Command = BatchLine::Command;

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

BatchInterpreter::BatchInterpreter(UserInterface& ui, QStringList allowedRoots)
    : m_ui(ui), m_allowedRoots(std::move(allowedRoots))
{
}

bool BatchInterpreter::runFile(const QString& batchPath, const QString& workingFolder)
{
    m_failures.clear();
    const QString folder = BatchPath::resolve(workingFolder, u"."_s, nullptr);
    QString error;
    const QString batchFile = BatchPath::resolve(folder, batchPath, &error);
    const QString batchShown = HostPath::display(batchFile.isEmpty() ? batchPath : batchFile);

    QFile file(HostPath::toHost(batchFile));
    if (batchFile.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        m_ui.showMessage(u"The batch file\n"_s + batchShown + u"\ncould not be read: "_s +
                             (batchFile.isEmpty() ? error : file.errorString()),
                         UserInterface::Icon::Exclamation);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_ui.showMessage(u"The batch file\n"_s + batchShown + u"\ncould not be read: "_s +
                             file.errorString(),
                         UserInterface::Icon::Exclamation);
        return false;
    }
    file.close();

    const QList<BatchLine> lines = BatchParser::parse(decode(bytes));
    const QString batchFolder = BatchPath::folderWithSeparator(batchFile);
    const QStringList refused = check(lines, batchFolder, folder);
    if (!refused.isEmpty()) {
        m_ui.showMessage(u"The batch file\n"_s + batchShown +
                             u"\nhas not been run. Without Wine, Veltrane runs batch files "
                             u"itself and cannot run these lines of this one:\n\n"_s +
                             listing(refused, int(refused.size())) +
                             u"\n\nNo line of the file has been run. Install Wine to have "
                             u"batch files like this one run by Wine's command interpreter."_s,
                         UserInterface::Icon::Exclamation);
        return false;
    }

    const BatchPathGuard guard(m_allowedRoots);
    BatchExecutor executor(m_ui, guard, batchFolder, folder);
    for (const BatchLine& line : lines) {
        m_ui.processEvents();
        if (!executor.run(line))
            break;
    }
    m_ui.processEvents();

    m_failures = executor.failures();
    if (executor.failureCount() > 0) {
        const QString after =
            executor.stoppedAt() > 0
                ? u"The lines after line "_s + QString::number(executor.stoppedAt()) +
                      u" have not been run, so that they cannot work in the wrong folder."_s
                : u"All other commands have been carried out."_s;
        m_ui.showMessage(u"Some commands of the batch file\n"_s + batchShown + u"\nfailed:\n\n"_s +
                             listing(m_failures, executor.failureCount()) + u"\n\n"_s + after,
                         UserInterface::Icon::Exclamation);
    }
    return true;
}

QStringList BatchInterpreter::check(const QList<BatchLine>& lines, const QString& batchFolder,
                                    const QString& workingFolder) const
{
    const BatchPathGuard guard(m_allowedRoots);
    QStringList refused;
    QStringList possible{workingFolder};
    for (const BatchLine& line : lines) {
        QString reason = line.problem;
        QStringList after;
        for (const QString& current : std::as_const(possible)) {
            if (!reason.isEmpty())
                break;
            reason = checkLine(line, guard, batchFolder, current, after);
        }
        if (!reason.isEmpty()) {
            refused.append(describe(line, reason));
            continue;
        }
        if (line.command != Command::Cd)
            continue;
        // Under IF EXIST the folder may change or not; later lines must pass in either.
        QStringList next = line.conditions.isEmpty() ? QStringList() : possible;
        for (const QString& folder : std::as_const(after))
            addFolder(next, folder);
        if (next.size() > kMaxPossibleFolders) {
            refused.append(describe(line, u"too many folder changes under IF to check them"_s));
            continue;
        }
        possible = next;
    }
    return refused;
}

QString BatchInterpreter::checkLine(const BatchLine& line, const BatchPathGuard& guard,
                                    const QString& batchFolder, const QString& current,
                                    QStringList& foldersAfter) const
{
    QString error;
    auto resolve = [&](const BatchWord& word) {
        return BatchPath::resolveWord(word, batchFolder, current, &error);
    };
    // Under wildcards only the folder is known now; each file is checked again as it goes.
    auto touch = [&](const QString& path) {
        const QString name = BatchPath::name(path);
        const QString target = BatchWildcard::hasWildcards(name) ? BatchPath::parent(path) : path;
        return guard.admits(target) ? QString() : BatchPathGuard::refusal(target);
    };
    auto wildcardsIn = [](const QString& path) {
        return BatchWildcard::hasWildcards(BatchPath::name(path));
    };

    // Existence tests change nothing and may look anywhere.
    for (const BatchLine::Condition& condition : line.conditions) {
        if (resolve(condition.path).isEmpty())
            return error;
    }

    QStringList paths;
    for (const BatchWord& word : line.words) {
        if (line.command == Command::Exit)
            break;
        const QString path = resolve(word);
        if (path.isEmpty())
            return error;
        paths.append(path);
    }

    switch (line.command) {
    case Command::Nothing:
    case Command::Exit:
        return {};
    case Command::Cd: {
        if (paths.isEmpty() ||
            (!line.hasSwitch(u"D") && !BatchPath::sameDrive(paths[0], current))) {
            foldersAfter.append(current);
            return {};
        }
        if (wildcardsIn(paths[0]))
            return u"wildcards are not supported by CD"_s;
        if (const QString refusal = touch(paths[0]); !refusal.isEmpty())
            return refusal;
        foldersAfter.append(paths[0]);
        return {};
    }
    case Command::Del:
        for (const QString& path : std::as_const(paths)) {
            if (const QString refusal = touch(path); !refusal.isEmpty())
                return refusal;
        }
        return {};
    case Command::Copy:
    case Command::Xcopy:
    case Command::Move: {
        const QString target = paths.size() > 1 ? paths.takeLast() : current;
        if (wildcardsIn(target))
            return u"wildcards in the destination are not supported"_s;
        paths.append(target);
        for (const QString& path : std::as_const(paths)) {
            if (const QString refusal = touch(path); !refusal.isEmpty())
                return refusal;
            if (line.command == Command::Move && path != target && guard.isRoot(path))
                return u"it would move away the whole folder "_s + HostPath::display(path);
        }
        return {};
    }
    case Command::Ren: {
        const QString& source = paths[0];
        if (const QString refusal = touch(source); !refusal.isEmpty())
            return refusal;
        if (guard.isRoot(source))
            return u"it would rename the whole folder "_s + HostPath::display(source);
        const QString newName = line.words.at(1).expand(batchFolder, current);
        const QString folder = BatchPath::parent(source);
        return touch(BatchWildcard::hasWildcards(newName) ? folder
                                                          : BatchPath::child(folder, newName));
    }
    case Command::Md:
    case Command::Rd:
        for (const QString& path : std::as_const(paths)) {
            if (wildcardsIn(path))
                return u"wildcards are not supported by MD and RD"_s;
            if (const QString refusal = touch(path); !refusal.isEmpty())
                return refusal;
            if (line.command == Command::Rd && guard.isRoot(path))
                return u"it would remove the whole folder "_s + HostPath::display(path);
        }
        return {};
    }
    return {};
}

} // namespace veltrane
