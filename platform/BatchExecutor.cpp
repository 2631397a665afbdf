#include "BatchExecutor.h"

#include "BatchPath.h"
#include "BatchPathGuard.h"
#include "BatchWildcard.h"
#include "util/FileError.h"
#include "util/FileOps.h"
#include "util/HostPath.h"
#include "util/UserInterface.h"

#include <QDir>
#include <QFileInfo>
#include <filesystem>

namespace fs = std::filesystem;

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using Command = BatchLine::Command;

QString shown(const QString& path)
{
    return HostPath::display(path);
}

bool isFolder(const QString& path)
{
    return QFileInfo(HostPath::toHost(path)).isDir();
}

// Windows' read-only attribute; Wine shows a file its owner may not write as read-only.
bool isReadOnly(const QString& host)
{
    const QFileInfo info(host);
    return info.exists() && !info.isSymLink() && !info.permissions().testFlag(QFile::WriteOwner);
}

void makeWritable(const QString& host)
{
    QFile::setPermissions(host, QFile::permissions(host) | QFile::WriteOwner);
}

bool wholeFolderPattern(const QString& pattern)
{
    return pattern == u"*"_s || pattern == u"*.*"_s;
}

} // namespace

BatchExecutor::BatchExecutor(UserInterface& ui, const BatchPathGuard& guard, QString batchFolder,
                             QString currentFolder)
    : m_ui(ui), m_guard(guard), m_batchFolder(std::move(batchFolder)),
      m_current(std::move(currentFolder))
{
}

bool BatchExecutor::run(const BatchLine& line)
{
    m_line = &line;
    try {
        if (!conditionsHold(line))
            return true;
        switch (line.command) {
        case Command::Nothing:
            break;
        case Command::Exit:
            return false;
        case Command::Cd:
            if (!changeFolder(line)) {
                m_stoppedAt = line.number;
                return false;
            }
            break;
        case Command::Del:
            del(line);
            break;
        case Command::Copy:
            copy(line);
            break;
        case Command::Xcopy:
            xcopy(line);
            break;
        case Command::Move:
            move(line);
            break;
        case Command::Ren:
            rename(line);
            break;
        case Command::Md:
            makeFolders(line);
            break;
        case Command::Rd:
            removeFolders(line);
            break;
        }
    } catch (const FileError& error) {
        fail(error.description());
    } catch (const std::exception& error) {
        fail(QString::fromLocal8Bit(error.what()));
    }
    return true;
}

void BatchExecutor::fail(const QString& reason)
{
    ++m_failureCount;
    if (m_failures.size() >= kMaxFailures || !m_line)
        return;
    QString text = m_line->text.trimmed();
    if (text.size() > 200)
        text = text.left(200) + u"..."_s;
    m_failures.append(u"Line "_s + QString::number(m_line->number) + u": "_s + text + u"\n    "_s +
                      reason);
}

QString BatchExecutor::expand(const BatchWord& word) const
{
    return word.expand(m_batchFolder, m_current);
}

QString BatchExecutor::resolve(const QString& expanded)
{
    QString error;
    const QString path = BatchPath::resolve(m_current, expanded, &error);
    if (path.isEmpty())
        fail(error);
    return path;
}

BatchExecutor::Entry BatchExecutor::entryOf(const QString& path) const
{
    Entry entry;
    entry.path = path;
    entry.host = HostPath::toHost(path);
    const QFileInfo info(entry.host);
    entry.name = info.fileName();
    if (info.isSymLink())
        entry.kind = info.isDir() ? Kind::Other : Kind::File;
    else if (info.isDir())
        entry.kind = Kind::Folder;
    else if (info.isFile())
        entry.kind = Kind::File;
    else
        entry.kind = info.exists() ? Kind::Other : Kind::Missing;
    return entry;
}

QList<BatchExecutor::Entry> BatchExecutor::entries(const QString& folder) const
{
    QList<Entry> list;
    const QString host = HostPath::toHost(folder);
    const QFileInfoList infos = QDir(host).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::System | QDir::NoDotAndDotDot,
                                                         QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : infos) {
        const QString name = info.fileName();
        // A name with "\" cannot be written in a batch file, nor mapped back to the same file.
        if (name.contains(u'\\'))
            continue;
        Entry entry;
        entry.path = BatchPath::child(folder, name);
        entry.host = info.filePath();
        entry.name = name;
        if (info.isSymLink())
            entry.kind = info.isDir() ? Kind::Other : Kind::File;
        else if (info.isDir())
            entry.kind = Kind::Folder;
        else
            entry.kind = info.isFile() ? Kind::File : Kind::Other;
        list.append(entry);
    }
    return list;
}

// The files a source name stands for: those its wildcards match, every file of a folder, or
// the one file.
QList<BatchExecutor::Entry> BatchExecutor::matchingFiles(const QString& path) const
{
    QList<Entry> files;
    const QString name = BatchPath::name(path);
    if (BatchWildcard::hasWildcards(name)) {
        for (const Entry& entry : entries(BatchPath::parent(path))) {
            if (entry.kind == Kind::File && BatchWildcard::matches(name, entry.name))
                files.append(entry);
        }
        return files;
    }
    const Entry entry = entryOf(path);
    if (entry.kind == Kind::File) {
        files.append(entry);
    } else if (isFolder(path)) {
        for (const Entry& inside : entries(path)) {
            if (inside.kind == Kind::File)
                files.append(inside);
        }
    }
    return files;
}

bool BatchExecutor::conditionsHold(const BatchLine& line)
{
    for (const BatchLine::Condition& condition : line.conditions) {
        const QString expanded = expand(condition.path);
        const QString path = resolve(expanded);
        if (path.isEmpty())
            return false;
        const QString name = BatchPath::name(path);
        bool exists = false;
        if (name.compare(u"NUL"_s, Qt::CaseInsensitive) == 0) {
            exists = isFolder(BatchPath::parent(path)); // "folder\NUL" tests for a folder
        } else if (BatchWildcard::hasWildcards(name)) {
            for (const Entry& entry : entries(BatchPath::parent(path))) {
                if (BatchWildcard::matches(name, entry.name)) {
                    exists = true;
                    break;
                }
            }
        } else if (BatchPath::endsWithSeparator(expanded)) {
            exists = isFolder(path);
        } else {
            exists = QFileInfo::exists(HostPath::toHost(path));
        }
        if (exists == condition.negated)
            return false;
    }
    return true;
}

bool BatchExecutor::changeFolder(const BatchLine& line)
{
    if (line.words.isEmpty())
        return true;
    const QString target = resolve(expand(line.words.first()));
    if (target.isEmpty())
        return false;
    // Without /D, cmd changes the other drive's own folder and stays where it is.
    if (!line.hasSwitch(u"D") && !BatchPath::sameDrive(target, m_current))
        return true;
    if (!isFolder(target)) {
        fail(u"The folder "_s + shown(target) + u" does not exist."_s);
        return false;
    }
    if (!m_guard.admits(target)) {
        fail(BatchPathGuard::refusal(target));
        return false;
    }
    m_current = target;
    return true;
}

void BatchExecutor::del(const BatchLine& line)
{
    const bool recursive = line.hasSwitch(u"S");
    for (const BatchWord& word : line.words) {
        const QString path = resolve(expand(word));
        if (path.isEmpty())
            continue;
        QString folder = BatchPath::parent(path);
        QString pattern = BatchPath::name(path);
        if (pattern.isEmpty() ||
            (!BatchWildcard::hasWildcards(pattern) && entryOf(path).kind == Kind::Folder)) {
            folder = path; // a folder's name stands for every file in it
            pattern = u"*"_s;
        }
        // Nothing to delete is no failure: what the line wants is already so.
        if (!isFolder(folder))
            continue;
        if (wholeFolderPattern(pattern) && !line.hasSwitch(u"Q")) {
            const QString question = u"The batch file deletes every file in "_s + shown(folder) +
                                     (recursive ? u" and in the folders below it"_s : QString()) +
                                     u". Delete them?"_s;
            if (!m_ui.askYesNo(question))
                continue;
        }
        deleteMatching(folder, pattern, recursive, line.hasSwitch(u"F"));
    }
}

void BatchExecutor::deleteMatching(const QString& folder, const QString& pattern, bool recursive,
                                   bool force)
{
    QStringList folders{folder};
    while (!folders.isEmpty()) {
        const QString current = folders.takeFirst();
        for (const Entry& entry : entries(current)) {
            if (entry.kind == Kind::Folder) {
                if (recursive)
                    folders.append(entry.path);
                continue;
            }
            if (entry.kind != Kind::File || !BatchWildcard::matches(pattern, entry.name))
                continue;
            if (!m_guard.admits(entry.path, BatchPathGuard::LastName::Keep)) {
                fail(BatchPathGuard::refusal(entry.path));
                continue;
            }
            if (!force && isReadOnly(entry.host)) {
                fail(u"Access is denied: "_s + shown(entry.path) + u" is read-only."_s);
                continue;
            }
            try {
                FileOps::removeFile(entry.path);
            } catch (const FileError& error) {
                fail(error.description());
            }
            m_ui.processEvents();
        }
    }
}

bool BatchExecutor::copyOne(const QString& from, const QString& to, bool ask,
                            bool overwriteReadOnly)
{
    for (const QString& path : {from, to}) {
        if (!m_guard.admits(path)) {
            fail(BatchPathGuard::refusal(path));
            return false;
        }
    }
    const QString hostTo = HostPath::toHost(to);
    const QFileInfo target(hostTo);
    if (target.exists()) {
        std::error_code error;
        if (fs::equivalent(HostPath::toFs(HostPath::toHost(from)), HostPath::toFs(hostTo), error)) {
            fail(u"The file cannot be copied onto itself: "_s + shown(to));
            return false;
        }
        if (target.isDir()) {
            fail(u"A folder is in the way of the file "_s + shown(to));
            return false;
        }
        if (ask && !m_ui.askYesNo(u"Overwrite "_s + shown(to) + u'?'))
            return true;
        if (isReadOnly(hostTo)) {
            if (!overwriteReadOnly) {
                fail(u"Access is denied: "_s + shown(to) + u" is read-only."_s);
                return false;
            }
            makeWritable(hostTo);
        }
    }
    try {
        FileOps::copyFile(from, to);
    } catch (const FileError& error) {
        fail(error.description());
        return false;
    }
    m_ui.processEvents();
    return true;
}

void BatchExecutor::copy(const BatchLine& line)
{
    const QString source = resolve(expand(line.words.first()));
    if (source.isEmpty())
        return;
    QString target = m_current;
    bool folderWritten = false;
    if (line.words.size() > 1) {
        const QString expanded = expand(line.words.at(1));
        target = resolve(expanded);
        if (target.isEmpty())
            return;
        folderWritten = BatchPath::endsWithSeparator(expanded);
    }
    const QList<Entry> files = matchingFiles(source);
    if (files.isEmpty()) {
        fail(u"No file matches "_s + shown(source));
        return;
    }
    const bool intoFolder = isFolder(target);
    if (!intoFolder && folderWritten) {
        fail(u"The folder "_s + shown(target) + u" does not exist."_s);
        return;
    }
    if (!intoFolder && files.size() > 1) {
        fail(u"Joining several files into the one file "_s + shown(target) +
             u" is not supported."_s);
        return;
    }
    // In a batch file COPY overwrites without asking, unless /-Y says otherwise.
    const bool ask = line.hasSwitch(u"-Y");
    for (const Entry& file : files)
        copyOne(file.path, intoFolder ? BatchPath::child(target, file.name) : target, ask, false);
}

void BatchExecutor::xcopy(const BatchLine& line)
{
    const bool below = line.hasSwitch(u"S") || line.hasSwitch(u"E");
    const QString source = resolve(expand(line.words.first()));
    if (source.isEmpty())
        return;
    QString base;
    QString pattern;
    bool several = true;
    const Entry sourceEntry = entryOf(source);
    if (BatchWildcard::hasWildcards(BatchPath::name(source))) {
        base = BatchPath::parent(source);
        pattern = BatchPath::name(source);
    } else if (isFolder(source)) {
        base = source;
        pattern = u"*"_s;
    } else if (sourceEntry.kind == Kind::File) {
        base = BatchPath::parent(source);
        pattern = sourceEntry.name;
        several = false;
    } else {
        fail(u"File not found - "_s + shown(source));
        return;
    }

    QString target = m_current;
    bool folderWritten = false;
    if (line.words.size() > 1) {
        const QString expanded = expand(line.words.at(1));
        target = resolve(expanded);
        if (target.isEmpty())
            return;
        folderWritten = BatchPath::endsWithSeparator(expanded);
    }

    struct Item {
        QString path;
        QStringList relative;
    };
    QList<Item> files;
    QList<QStringList> emptyFolders;
    QList<Item> pending{{base, {}}};
    while (!pending.isEmpty()) {
        const Item folder = pending.takeFirst();
        bool empty = true;
        for (const Entry& entry : entries(folder.path)) {
            empty = false;
            const QStringList relative = folder.relative + QStringList{entry.name};
            if (entry.kind == Kind::File && BatchWildcard::matches(pattern, entry.name))
                files.append({entry.path, relative});
            else if (entry.kind == Kind::Folder && below)
                pending.append({entry.path, relative});
        }
        if (empty && !folder.relative.isEmpty() && line.hasSwitch(u"E"))
            emptyFolders.append(folder.relative);
    }
    if (files.isEmpty() && emptyFolders.isEmpty()) {
        fail(u"File not found - "_s + shown(source));
        return;
    }

    // Where cmd's XCOPY would ask "file or folder?", a name for many files is a folder.
    const Entry targetEntry = entryOf(target);
    const bool intoFolder =
        isFolder(target) ||
        (targetEntry.kind == Kind::Missing && (folderWritten || several || line.hasSwitch(u"I")));
    if (!intoFolder && (files.size() > 1 || !emptyFolders.isEmpty())) {
        fail(u"Several files cannot be copied to the one file "_s + shown(target));
        return;
    }
    if (intoFolder && below && BatchPathGuard::leadsInto(target, base)) {
        fail(u"Cannot perform a cyclic copy: "_s + shown(target) + u" lies inside "_s +
             shown(base));
        return;
    }
    if (intoFolder && !makePath(target))
        return;

    const bool goOn = line.hasSwitch(u"C");
    const bool ask = line.hasSwitch(u"-Y") || !line.hasSwitch(u"Y");
    auto targetFor = [&](const QStringList& relative) {
        QString path = target;
        for (const QString& name : relative)
            path = BatchPath::child(path, name);
        return path;
    };
    for (const QStringList& relative : std::as_const(emptyFolders)) {
        if (!makePath(targetFor(relative)) && !goOn)
            return;
        m_ui.processEvents();
    }
    for (const Item& file : std::as_const(files)) {
        const QString to = intoFolder ? targetFor(file.relative) : target;
        if (!makePath(BatchPath::parent(to)) ||
            !copyOne(file.path, to, ask, line.hasSwitch(u"R"))) {
            if (!goOn)
                return;
            continue;
        }
        // XCOPY clears the read-only attribute of its copies unless told to keep it.
        if (!line.hasSwitch(u"K"))
            makeWritable(HostPath::toHost(to));
    }
}

void BatchExecutor::moveOne(const Entry& item, const QString& to, bool ask)
{
    for (const QString& path : {item.path, to}) {
        if (!m_guard.admits(path, BatchPathGuard::LastName::Keep)) {
            fail(BatchPathGuard::refusal(path));
            return;
        }
    }
    const QString hostTo = HostPath::toHost(to);
    if (hostTo == item.host)
        return;
    const QFileInfo target(hostTo);
    if (target.exists() || target.isSymLink()) {
        if (item.kind != Kind::File || target.isDir()) {
            fail(u"Access is denied: "_s + shown(to) + u" exists already."_s);
            return;
        }
        if (ask && !m_ui.askYesNo(u"Overwrite "_s + shown(to) + u'?'))
            return;
        if (isReadOnly(hostTo)) {
            fail(u"Access is denied: "_s + shown(to) + u" is read-only."_s);
            return;
        }
    }
    if (item.kind == Kind::Folder && BatchPathGuard::leadsInto(to, item.path)) {
        fail(u"The folder "_s + shown(item.path) + u" cannot be moved into itself."_s);
        return;
    }
    try {
        FileOps::renameFile(item.path, to);
    } catch (const FileError& error) {
        // Another file system: copy, then remove the original.
        if (item.kind != Kind::File || error.permissionDenied()) {
            fail(error.description());
            return;
        }
        try {
            FileOps::copyFile(item.path, to);
            FileOps::removeFile(item.path);
        } catch (const FileError& again) {
            fail(again.description());
            return;
        }
    }
    m_ui.processEvents();
}

void BatchExecutor::move(const BatchLine& line)
{
    QList<BatchWord> sources = line.words;
    QString target = m_current;
    bool folderWritten = false;
    if (sources.size() > 1) {
        const QString expanded = expand(sources.takeLast());
        target = resolve(expanded);
        if (target.isEmpty())
            return;
        folderWritten = BatchPath::endsWithSeparator(expanded);
    }
    QList<Entry> items;
    for (const BatchWord& word : std::as_const(sources)) {
        const QString path = resolve(expand(word));
        if (path.isEmpty())
            continue;
        const QString name = BatchPath::name(path);
        const qsizetype before = items.size();
        if (BatchWildcard::hasWildcards(name)) {
            for (const Entry& entry : entries(BatchPath::parent(path))) {
                if (entry.kind == Kind::File && BatchWildcard::matches(name, entry.name))
                    items.append(entry);
            }
        } else if (const Entry entry = entryOf(path); entry.kind != Kind::Missing) {
            items.append(entry);
        }
        if (items.size() == before)
            fail(u"No file matches "_s + shown(path));
    }
    if (items.isEmpty())
        return;
    const bool ask = line.hasSwitch(u"-Y");
    if (isFolder(target)) {
        for (const Entry& item : std::as_const(items))
            moveOne(item, BatchPath::child(target, item.name), ask);
        return;
    }
    if (folderWritten) {
        fail(u"The folder "_s + shown(target) + u" does not exist."_s);
        return;
    }
    if (items.size() > 1) {
        fail(u"Several files cannot be moved to the one file "_s + shown(target));
        return;
    }
    moveOne(items.first(), target, ask);
}

void BatchExecutor::rename(const BatchLine& line)
{
    const QString path = resolve(expand(line.words.at(0)));
    if (path.isEmpty())
        return;
    const QString mask = expand(line.words.at(1));
    const QString folder = BatchPath::parent(path);
    const QString hostFolder = HostPath::toHost(folder);
    QList<Entry> items;
    if (BatchWildcard::hasWildcards(BatchPath::name(path))) {
        items = matchingFiles(path);
    } else if (const Entry entry = entryOf(path); entry.kind != Kind::Missing) {
        items.append(entry);
    }
    if (items.isEmpty()) {
        fail(u"No file matches "_s + shown(path));
        return;
    }
    for (const Entry& item : std::as_const(items)) {
        const QString newName =
            BatchWildcard::hasWildcards(mask) ? BatchWildcard::rename(mask, item.name) : mask;
        if (newName.isEmpty() || newName == u"."_s || newName == u".."_s ||
            newName.contains(u'/') || newName.contains(u'\\') ||
            BatchWildcard::hasWildcards(newName)) {
            fail(u"The new name \""_s + newName + u"\" cannot be used."_s);
            continue;
        }
        if (newName == item.name)
            continue;
        // Only the same entry may hold the new name already (a change of letter case).
        const QString taken = HostPath::matchEntry(hostFolder, newName);
        if (!taken.isEmpty() && taken != item.name) {
            fail(u"A duplicate file name exists: "_s + shown(BatchPath::child(folder, newName)));
            continue;
        }
        const QString to = BatchPath::child(folder, newName);
        if (!m_guard.admits(item.path, BatchPathGuard::LastName::Keep) ||
            !m_guard.admits(to, BatchPathGuard::LastName::Keep)) {
            fail(BatchPathGuard::refusal(to));
            continue;
        }
        // Host paths: mapping the new name would find the old one when only the letter
        // case changes.
        try {
            FileOps::renameFile(HostPath::toFs(item.host),
                                HostPath::toFs(hostFolder + u'/' + newName));
        } catch (const FileError& error) {
            fail(error.description());
        }
        m_ui.processEvents();
    }
}

bool BatchExecutor::makePath(const QString& path)
{
    for (const QString& step : BatchPath::ancestors(path)) {
        const QFileInfo info(HostPath::toHost(step));
        if (info.isDir())
            continue;
        if (info.exists() || info.isSymLink()) {
            fail(u"A file is in the way of the folder "_s + shown(step));
            return false;
        }
        if (!m_guard.admits(step)) {
            fail(BatchPathGuard::refusal(step));
            return false;
        }
        try {
            FileOps::makeFolder(step);
        } catch (const FileError& error) {
            fail(error.description());
            return false;
        }
    }
    return true;
}

void BatchExecutor::makeFolders(const BatchLine& line)
{
    for (const BatchWord& word : line.words) {
        const QString path = resolve(expand(word));
        // A folder that is there already is what the line wants.
        if (!path.isEmpty() && !isFolder(path))
            makePath(path);
    }
}

void BatchExecutor::removeFolders(const BatchLine& line)
{
    for (const BatchWord& word : line.words) {
        const QString path = resolve(expand(word));
        if (path.isEmpty())
            continue;
        const Entry entry = entryOf(path);
        if (entry.kind == Kind::Missing)
            continue; // nothing to remove
        if (m_guard.isRoot(path) || !m_guard.admits(path, BatchPathGuard::LastName::Keep)) {
            fail(BatchPathGuard::refusal(path));
            continue;
        }
        if (!isFolder(path)) {
            fail(u"The directory name is invalid: "_s + shown(path));
            continue;
        }
        if (entry.kind == Kind::Other) {
            // A link to a folder: RD removes the link, never what it leads to.
            FileOps::removeFile(path);
            continue;
        }
        if (BatchPathGuard::leadsInto(m_current, path)) {
            fail(u"The folder "_s + shown(path) + u" is the current folder or holds it."_s);
            continue;
        }
        if (line.hasSwitch(u"S")) {
            if (!line.hasSwitch(u"Q") &&
                !m_ui.askYesNo(u"Remove the folder "_s + shown(path) + u" and everything in it?"_s))
                continue;
            FileOps::removeTree(path);
        } else {
            try {
                FileOps::removeEntry(HostPath::toFs(entry.host));
            } catch (const FileError& error) {
                fail(error.description());
            }
        }
        m_ui.processEvents();
    }
}

} // namespace veltrane
