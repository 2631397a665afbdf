#include "BatchCommand.h"

#include "BatchExecutor.h"
#include "BatchLine.h"
#include "BatchPath.h"
#include "BatchWildcard.h"
#include "util/FolderGuard.h"

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

bool wildcardsIn(const QString& path)
{
    return BatchWildcard::hasWildcards(BatchPath::name(path));
}

QString shownFolder(const QString& path)
{
    return HostPath::fromProgramPath(path).display();
}

// Refusals of the words themselves, before any path is known.

QString refuseAskingDelete(const BatchLine& line)
{
    if (line.hasSwitch(u"P"))
        return u"DEL /P asks before each file; that is not supported"_s;
    return {};
}

QString refuseJoinedCopy(const BatchLine& line)
{
    for (const BatchWord& word : line.words) {
        if (word.raw().contains(u'+'))
            return u"joining files with + is not supported"_s;
    }
    return {};
}

QString refuseFolderInNewName(const BatchLine& line)
{
    const BatchWord& name = line.words.at(1);
    const QString literal = name.literal();
    if (name.hasVariables() || literal.contains(u'\\') || literal.contains(u':'))
        return u"the new name of REN must not hold a folder"_s;
    return {};
}

QString refuseWildcardFolders(const BatchLine& line)
{
    for (const BatchWord& word : line.words) {
        if (BatchWildcard::hasWildcards(word.literal()))
            return u"wildcards are not supported by "_s + line.command->name();
    }
    return {};
}

QString refuseWildcardCd(const BatchLine& line)
{
    if (!line.words.isEmpty() && BatchWildcard::hasWildcards(line.words.first().literal()))
        return u"wildcards are not supported by CD"_s;
    return {};
}

// What each command touches, judged before the run.

QString checkCd(BatchCheck& check, const BatchLine& line, QStringList& paths)
{
    if (paths.isEmpty() ||
        (!line.hasSwitch(u"D") && !BatchPath::sameDrive(paths[0], check.current))) {
        check.foldersAfter.append(check.current);
        return {};
    }
    if (wildcardsIn(paths[0]))
        return u"wildcards are not supported by CD"_s;
    if (QString refusal = check.touch(paths[0]); !refusal.isEmpty())
        return refusal;
    check.foldersAfter.append(paths[0]);
    return {};
}

QString checkEach(BatchCheck& check, const BatchLine& /*line*/, QStringList& paths)
{
    for (const QString& path : std::as_const(paths)) {
        if (QString refusal = check.touch(path); !refusal.isEmpty())
            return refusal;
    }
    return {};
}

QString checkCopyOrMove(BatchCheck& check, const BatchLine& line, QStringList& paths)
{
    const QString target = paths.size() > 1 ? paths.takeLast() : check.current;
    if (wildcardsIn(target))
        return u"wildcards in the destination are not supported"_s;
    paths.append(target);
    const bool moves = line.command->run == &BatchExecutor::move;
    for (const QString& path : std::as_const(paths)) {
        if (QString refusal = check.touch(path); !refusal.isEmpty())
            return refusal;
        if (moves && path != target && check.guard.isRoot(HostPath::fromProgramPath(path)))
            return check.leaves(u"it would move away the whole folder "_s + shownFolder(path));
    }
    return {};
}

QString checkRename(BatchCheck& check, const BatchLine& line, QStringList& paths)
{
    const QString& source = paths[0];
    if (QString refusal = check.touch(source); !refusal.isEmpty())
        return refusal;
    if (check.guard.isRoot(HostPath::fromProgramPath(source)))
        return check.leaves(u"it would rename the whole folder "_s + shownFolder(source));
    const QString newName = line.words.at(1).expand(check.batchFolder, check.current);
    const QString folder = BatchPath::parent(source);
    return check.touch(BatchWildcard::hasWildcards(newName) ? folder
                                                            : BatchPath::child(folder, newName));
}

QString checkFolders(BatchCheck& check, const BatchLine& line, QStringList& paths)
{
    const bool removes = line.command->run == &BatchExecutor::removeFolders;
    for (const QString& path : std::as_const(paths)) {
        if (wildcardsIn(path))
            return u"wildcards are not supported by MD and RD"_s;
        if (QString refusal = check.touch(path); !refusal.isEmpty())
            return refusal;
        if (removes && check.guard.isRoot(HostPath::fromProgramPath(path)))
            return check.leaves(u"it would remove the whole folder "_s + shownFolder(path));
    }
    return {};
}

using Arguments = BatchCommand::Arguments;

const BatchCommand kCommands[] = {
    {u"CD CHDIR", Arguments::RestOfLine, u"D", 0, 1, refuseWildcardCd, checkCd,
     &BatchExecutor::changeFolder},
    {u"DEL ERASE", Arguments::Words, u"F S Q", 1, -1, refuseAskingDelete, checkEach,
     &BatchExecutor::del},
    {u"COPY", Arguments::Words, u"Y -Y B V", 1, 2, refuseJoinedCopy, checkCopyOrMove,
     &BatchExecutor::copy},
    {u"XCOPY", Arguments::Words, u"S E Y -Y I Q R H C K F V", 1, 2, nullptr, checkCopyOrMove,
     &BatchExecutor::xcopy},
    {u"MOVE", Arguments::Words, u"Y -Y", 1, -1, nullptr, checkCopyOrMove, &BatchExecutor::move},
    {u"REN RENAME", Arguments::Words, u"", 2, 2, refuseFolderInNewName, checkRename,
     &BatchExecutor::rename},
    {u"MD MKDIR", Arguments::Words, u"", 1, -1, refuseWildcardFolders, checkFolders,
     &BatchExecutor::makeFolders},
    {u"RD RMDIR", Arguments::Words, u"S Q", 1, -1, refuseWildcardFolders, checkFolders,
     &BatchExecutor::removeFolders},
    // EXIT's words (an exit code) name no file, so there is nothing to check.
    {u"EXIT", Arguments::Words, u"B", 0, -1, nullptr, nullptr, &BatchExecutor::exit},
    // What ECHO prints goes to the install's log; the others are only of use in a console
    // window, which there is none of.
    {u"ECHO", Arguments::Text, u"", 0, -1, nullptr, nullptr, &BatchExecutor::echo},
    {u"TITLE", Arguments::Text, u"", 0, -1, nullptr, nullptr, nullptr},
    {u"PAUSE", Arguments::Text, u"", 0, -1, nullptr, nullptr, nullptr},
    {u"CLS", Arguments::Text, u"", 0, -1, nullptr, nullptr, nullptr},
};

} // namespace

QString BatchCheck::touch(const QString& path)
{
    // Under wildcards only the folder is known now; each file is checked again as it goes.
    const QString target = wildcardsIn(path) ? BatchPath::parent(path) : path;
    const HostPath host = HostPath::fromProgramPath(target);
    if (guard.admits(host))
        return {};
    return leaves(host.display() + u" is outside the folders that this file may change"_s);
}

QString BatchCheck::leaves(QString reason)
{
    outside = true;
    return reason;
}

const BatchCommand* BatchCommand::find(QStringView name)
{
    for (const BatchCommand& command : kCommands) {
        for (const QStringView alias : command.names.split(u' ')) {
            if (alias == name)
                return &command;
        }
    }
    return nullptr;
}

} // namespace veltrane
