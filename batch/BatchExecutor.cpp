#include "BatchExecutor.h"

#include "BatchCommand.h"
#include "BatchPath.h"
#include "BatchWildcard.h"
#include "journal/FileChanges.h"
#include "util/FileError.h"
#include "util/FolderGuard.h"
#include "util/UserInterface.h"
#include "util/WindowsPath.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

using LastName = PathGuard::LastName;

bool isFolder(const HostPath& path)
{
    return QFileInfo(path.toString()).isDir();
}

// Windows' read-only attribute; Wine shows a file its owner may not write as read-only.
bool isReadOnly(const HostPath& path)
{
    const QFileInfo info(path.toString());
    return info.exists() && !info.isSymLink() && !info.permissions().testFlag(QFile::WriteOwner);
}

void makeWritable(const HostPath& path)
{
    const QString host = path.toString();
    QFile::setPermissions(host, QFile::permissions(host) | QFile::WriteOwner);
}

bool wholeFolderPattern(const QString& pattern)
{
    return pattern == u"*"_s || pattern == u"*.*"_s;
}

QString refusal(const HostPath& path)
{
    return path.display() + u" is outside the folders that this file may change"_s;
}

// Lets the window breathe every few milliseconds of a long walk, and after a run of entries
// on a quick disk: often enough to stay responsive on a slow share, rarely enough to cost
// nothing on a local disk.
class Breather {
public:
    explicit Breather(UserInterface& ui) : m_ui(ui) { m_clock.start(); }

    void step()
    {
        if (++m_steps < kStepsPerBreath && !m_clock.hasExpired(kMillisecondsPerBreath))
            return;
        m_ui.processEvents();
        m_steps = 0;
        m_clock.restart();
    }

    static constexpr int kStepsPerBreath = 512;
    static constexpr qint64 kMillisecondsPerBreath = 10;

private:
    UserInterface& m_ui;
    QElapsedTimer m_clock;
    int m_steps = 0;
};

// The last name of a listed path as text, made without the heap for the usual short ASCII
// name: most names are only looked at, never kept.
class EntryName {
public:
    explicit EntryName(const fs::path& path)
    {
#ifdef Q_OS_WIN
        m_decoded = QString::fromStdWString(path.filename().native());
        m_view = m_decoded;
#else
        const std::string& native = path.native();
        const std::string_view name = std::string_view(native).substr(native.find_last_of('/') + 1);
        bool ascii = name.size() <= sizeof(m_ascii) / sizeof(m_ascii[0]);
        for (size_t i = 0; ascii && i < name.size(); ++i) {
            ascii = static_cast<unsigned char>(name[i]) < 0x80;
            m_ascii[i] = char16_t(name[i]);
        }
        if (ascii) {
            m_view = QStringView(m_ascii, qsizetype(name.size()));
        } else {
            m_decoded = QFile::decodeName(QByteArray(name.data(), qsizetype(name.size())));
            m_view = m_decoded;
        }
#endif
    }

    // A name with "\" cannot be written in a batch file, nor mapped back to the same file.
    bool unusable() const
    {
        return m_view.contains(u'\\');
    }
    bool mayMatch(const BatchWildcard::Matcher& matcher) const
    {
        const qsizetype length = matcher.onlyLength();
        return (length < 0 || length == m_view.size()) && matcher.matches(m_view);
    }
    QString text() const
    {
        return m_view.toString();
    }

private:
    char16_t m_ascii[256];
    QString m_decoded;
    QStringView m_view;
};

} // namespace

BatchExecutor::BatchExecutor(UserInterface& ui, FileChanges& files, const FolderGuard& guard,
                             QString batchFolder, QString currentFolder)
    : m_ui(ui), m_files(files), m_guard(guard), m_batchFolder(std::move(batchFolder)),
      m_current(std::move(currentFolder))
{
}

bool BatchExecutor::run(const BatchLine& line)
{
    m_line = &line;
    try {
        if (!conditionsHold(line))
            return true;
        if (!line.command || !line.command->run)
            return true;
        const int failedBefore = m_failureCount;
        m_statusDecided = false;
        const bool goOn = (this->*line.command->run)(line);
        if (!m_statusDecided)
            m_exitStatus = m_failureCount > failedBefore ? 1 : 0;
        return goOn;
    } catch (const FileError& error) {
        fail(error.description());
    } catch (const std::exception& error) {
        fail(QString::fromLocal8Bit(error.what()));
    }
    m_exitStatus = 1;
    return true;
}

void BatchExecutor::fail(const QString& reason)
{
    ++m_failureCount;
    if (!m_line)
        return;
    QString text = m_line->text.trimmed();
    if (text.size() > 200)
        text = text.left(200) + u"..."_s;
    text = u"Line "_s + QString::number(m_line->number) + u": "_s + text + u"\n    "_s + reason;
    // In the log among what ECHO printed, where cmd would have shown it.
    m_files.log(u"output"_s, text);
    if (m_failures.size() < kMaxFailures)
        m_failures.append(text);
}

QString BatchExecutor::expand(const BatchWord& word) const
{
    return word.expand(m_batchFolder, m_current);
}

QString BatchExecutor::resolve(const QString& expanded)
{
    QString error;
    QString path = BatchPath::resolve(m_current, expanded, &error);
    if (path.isEmpty())
        fail(error);
    return path;
}

BatchExecutor::Entry BatchExecutor::entryOf(const QString& path) const
{
    return classified(path, HostPath::fromProgramPath(path));
}

BatchExecutor::Entry BatchExecutor::entryIn(const Entry& folder, const QString& name) const
{
    return classified(BatchPath::child(folder.path, name), folder.host.mappedChild(name));
}

BatchExecutor::Entry BatchExecutor::classified(const QString& path, const HostPath& host)
{
    Entry entry;
    entry.path = path;
    entry.host = host;
    const QFileInfo info(entry.host.toString());
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

QList<BatchExecutor::Entry> BatchExecutor::entries(const Entry& folder) const
{
    QList<Entry> list;
    const QFileInfoList infos =
        QDir(folder.host.toString())
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                           QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : infos) {
        const QString name = info.fileName();
        // A name with "\" cannot be written in a batch file, nor mapped back to the same file.
        if (name.contains(u'\\'))
            continue;
        Entry entry;
        entry.path = BatchPath::child(folder.path, name);
        entry.host = folder.host.child(name);
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
        for (const Entry& entry : entries(entryOf(BatchPath::parent(path)))) {
            if (entry.kind == Kind::File && BatchWildcard::matches(name, entry.name))
                files.append(entry);
        }
        return files;
    }
    const Entry entry = entryOf(path);
    if (entry.kind == Kind::File) {
        files.append(entry);
    } else if (isFolder(entry.host)) {
        for (const Entry& inside : entries(entry)) {
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
            // "folder\NUL" tests for a folder
            exists = isFolder(HostPath::fromProgramPath(BatchPath::parent(path)));
        } else if (BatchWildcard::hasWildcards(name)) {
            for (const Entry& entry : entries(entryOf(BatchPath::parent(path)))) {
                if (BatchWildcard::matches(name, entry.name)) {
                    exists = true;
                    break;
                }
            }
        } else if (BatchPath::endsWithSeparator(expanded)) {
            exists = isFolder(HostPath::fromProgramPath(path));
        } else {
            exists = QFileInfo::exists(HostPath::fromProgramPath(path).toString());
        }
        if (exists == condition.negated)
            return false;
    }
    return true;
}

bool BatchExecutor::exit(const BatchLine& line)
{
    // EXIT [/B] [code]: without a code the status stays what the last command left.
    m_statusDecided = true;
    if (!line.words.isEmpty()) {
        bool number = false;
        const int code = expand(line.words.first()).toInt(&number);
        m_exitStatus = number ? code : 0;
    }
    return false;
}

bool BatchExecutor::echo(const BatchLine& line)
{
    m_statusDecided = true;
    const QString text = expand(line.message);
    const QString word = text.trimmed();
    // ECHO ON and OFF set whether commands are shown, in a console there is none of.
    if (word.isEmpty() || word.compare(u"ON"_s, Qt::CaseInsensitive) == 0 ||
        word.compare(u"OFF"_s, Qt::CaseInsensitive) == 0)
        return true;
    m_files.log(u"output"_s, text);
    return true;
}

bool BatchExecutor::changeFolder(const BatchLine& line)
{
    if (line.words.isEmpty())
        return true;
    const QString target = resolve(expand(line.words.first()));
    if (target.isEmpty()) {
        m_stoppedAt = line.number;
        return false;
    }
    // Without /D, cmd changes the other drive's own folder and stays where it is.
    if (!line.hasSwitch(u"D") && !BatchPath::sameDrive(target, m_current))
        return true;
    const HostPath host = HostPath::fromProgramPath(target);
    if (!isFolder(host)) {
        fail(u"The folder "_s + host.display() + u" does not exist."_s);
        m_stoppedAt = line.number;
        return false;
    }
    if (!m_guard.admits(host)) {
        fail(refusal(host));
        m_stoppedAt = line.number;
        return false;
    }
    m_current = target;
    return true;
}

bool BatchExecutor::del(const BatchLine& line)
{
    const bool recursive = line.hasSwitch(u"S");
    for (const BatchWord& word : line.words) {
        const QString path = resolve(expand(word));
        if (path.isEmpty())
            continue;
        QString pattern = BatchPath::name(path);
        Entry folder;
        if (pattern.isEmpty()) {
            folder = entryOf(path);
            pattern = u"*"_s;
        } else if (const Entry named =
                       BatchWildcard::hasWildcards(pattern) ? Entry() : entryOf(path);
                   named.kind == Kind::Folder) {
            folder = named; // a folder's name stands for every file in it
            pattern = u"*"_s;
        } else {
            folder = entryOf(BatchPath::parent(path));
        }
        // Nothing to delete is no failure: what the line wants is already so.
        if (!isFolder(folder.host))
            continue;
        if (wholeFolderPattern(pattern) && !line.hasSwitch(u"Q")) {
            const QString question =
                u"The batch file deletes every file in "_s + folder.host.display() +
                (recursive ? u" and in the folders below it"_s : QString()) + u". Delete them?"_s;
            if (!m_ui.askYesNo(question))
                continue;
        }
        deleteMatching(folder, pattern, recursive, line.hasSwitch(u"F"));
    }
    return true;
}

void BatchExecutor::deleteMatching(const Entry& folder, const QString& pattern, bool recursive,
                                   bool force)
{
    // One pass over each folder's listing, with the entry types the listing gives, so that a
    // large Assets tree is walked at the speed of the file system. Folders wait on one stack,
    // deepest first, so that memory follows the depth of the tree, not its size.
    const BatchWildcard::Matcher matcher(pattern);
    Breather breather(m_ui);
    std::vector<Found> pending{{folder.host.fs(), QString(), m_guard.admits(folder.host)}};
    while (!pending.empty()) {
        const Found current = std::move(pending.back());
        pending.pop_back();
        std::vector<Found> below;
        std::vector<Found> matches;
        std::error_code error;
        for (fs::directory_iterator it(current.path, error), end; !error && it != end;
             it.increment(error)) {
            breather.step();
            const EntryName name(it->path());
            if (name.unusable())
                continue;
            std::error_code gone; // an entry that vanished meanwhile is passed over
            // A folder reached through a link is never entered: it may lie anywhere.
            if (it->is_symlink(gone)) {
                if (name.mayMatch(matcher) && !fs::is_directory(it->path(), gone))
                    matches.push_back({it->path(), name.text(), current.admitted});
            } else if (it->is_directory(gone)) {
                if (recursive)
                    below.push_back({it->path(), name.text(), false});
            } else if (it->is_regular_file(gone) && name.mayMatch(matcher)) {
                matches.push_back({it->path(), name.text(), current.admitted});
            }
        }
        if (error)
            fail(HostPath::fromFs(current.path).display() + u": "_s +
                 QString::fromLocal8Bit(error.message()));

        std::sort(matches.begin(), matches.end(), Found::byName);
        for (const Found& match : matches) {
            breather.step();
            deleteOne(HostPath::fromFs(match.path), match.admitted, force);
        }
        // A folder inside the allowed ones holds only folders inside them; one outside may
        // still hold one of them.
        for (Found& sub : below)
            sub.admitted = current.admitted || m_guard.admits(HostPath::fromFs(sub.path));
        std::sort(below.begin(), below.end(), Found::byName);
        std::move(below.rbegin(), below.rend(), std::back_inserter(pending));
    }
}

void BatchExecutor::deleteOne(const HostPath& file, bool admitted, bool force)
{
    if (!admitted) {
        fail(refusal(file));
        return;
    }
    if (!force && isReadOnly(file)) {
        fail(u"Access is denied: "_s + file.display() + u" is read-only."_s);
        return;
    }
    try {
        m_files.removeFile(file);
    } catch (const FileError& error) {
        fail(error.description());
    }
}

bool BatchExecutor::copyOne(const Entry& from, const HostPath& target, bool ask,
                            bool overwriteReadOnly)
{
    for (const HostPath& path : {from.host, target}) {
        if (!m_guard.admits(path)) {
            fail(refusal(path));
            return false;
        }
    }
    const QFileInfo existing(target.toString());
    if (existing.exists()) {
        std::error_code error;
        if (fs::equivalent(from.host.fs(), target.fs(), error)) {
            fail(u"The file cannot be copied onto itself: "_s + target.display());
            return false;
        }
        if (existing.isDir()) {
            fail(u"A folder is in the way of the file "_s + target.display());
            return false;
        }
        if (ask && !m_ui.askYesNo(u"Overwrite "_s + target.display() + u'?'))
            return true;
        if (isReadOnly(target)) {
            if (!overwriteReadOnly) {
                fail(u"Access is denied: "_s + target.display() + u" is read-only."_s);
                return false;
            }
            makeWritable(target);
        }
    }
    try {
        m_files.copyFile(from.host, target);
    } catch (const FileError& error) {
        fail(error.description());
        return false;
    }
    m_ui.processEvents();
    return true;
}

std::optional<BatchExecutor::CopyTarget> BatchExecutor::copyTarget(const BatchLine& line)
{
    if (line.words.size() < 2)
        return CopyTarget{m_current};
    const QString expanded = expand(line.words.at(1));
    const QString target = resolve(expanded);
    if (target.isEmpty())
        return std::nullopt;
    return CopyTarget{target, BatchPath::endsWithSeparator(expanded)};
}

bool BatchExecutor::copy(const BatchLine& line)
{
    const QString source = resolve(expand(line.words.first()));
    if (source.isEmpty())
        return true;
    const std::optional<CopyTarget> destination = copyTarget(line);
    if (!destination)
        return true;
    const QString target = destination->path;
    const bool folderWritten = destination->folderWritten;
    const QList<Entry> files = matchingFiles(source);
    if (files.isEmpty()) {
        fail(u"No file matches "_s + shownPath(source));
        return true;
    }
    const HostPath targetHost = HostPath::fromProgramPath(target);
    const bool intoFolder = isFolder(targetHost);
    if (!intoFolder && folderWritten) {
        fail(u"The folder "_s + targetHost.display() + u" does not exist."_s);
        return true;
    }
    if (!intoFolder && files.size() > 1) {
        fail(u"Joining several files into the one file "_s + targetHost.display() +
             u" is not supported."_s);
        return true;
    }
    // In a batch file COPY overwrites without asking, unless /-Y says otherwise.
    const bool ask = line.hasSwitch(u"-Y");
    for (const Entry& file : files)
        copyOne(file, intoFolder ? targetHost.mappedChild(file.name) : targetHost, ask, false);
    return true;
}

bool BatchExecutor::xcopy(const BatchLine& line)
{
    const QString source = resolve(expand(line.words.first()));
    if (source.isEmpty())
        return true;
    const std::optional<XcopySource> from = xcopySource(source);
    if (!from)
        return true;
    const std::optional<CopyTarget> destination = copyTarget(line);
    if (!destination)
        return true;
    const bool below = line.hasSwitch(u"S") || line.hasSwitch(u"E");
    const XcopyList list = xcopyList(*from, below, line.hasSwitch(u"E"));
    if (list.files.isEmpty() && list.emptyFolders.isEmpty()) {
        fail(u"File not found - "_s + shownPath(source));
        return true;
    }
    const std::optional<bool> intoFolder = xcopyIntoFolder(line, *from, *destination, list);
    if (intoFolder)
        xcopyFiles(line, list, destination->path, *intoFolder);
    return true;
}

std::optional<BatchExecutor::XcopySource> BatchExecutor::xcopySource(const QString& source)
{
    const Entry sourceEntry = entryOf(source);
    if (BatchWildcard::hasWildcards(BatchPath::name(source)))
        return XcopySource{entryOf(BatchPath::parent(source)), BatchPath::name(source)};
    if (isFolder(sourceEntry.host))
        return XcopySource{sourceEntry, u"*"_s};
    if (sourceEntry.kind == Kind::File)
        return XcopySource{entryOf(BatchPath::parent(source)), sourceEntry.name, false};
    fail(u"File not found - "_s + sourceEntry.host.display());
    return std::nullopt;
}

BatchExecutor::XcopyList BatchExecutor::xcopyList(const XcopySource& source, bool below,
                                                  bool emptyFolders) const
{
    XcopyList list;
    QList<XcopyList::Item> pending{{source.base, {}}};
    while (!pending.isEmpty()) {
        const XcopyList::Item folder = pending.takeFirst();
        bool empty = true;
        for (const Entry& entry : entries(folder.entry)) {
            empty = false;
            const QStringList relative = folder.relative + QStringList{entry.name};
            if (entry.kind == Kind::File && BatchWildcard::matches(source.pattern, entry.name))
                list.files.append({entry, relative});
            else if (entry.kind == Kind::Folder && below)
                pending.append({entry, relative});
        }
        if (empty && !folder.relative.isEmpty() && emptyFolders)
            list.emptyFolders.append(folder.relative);
    }
    return list;
}

std::optional<bool> BatchExecutor::xcopyIntoFolder(const BatchLine& line, const XcopySource& source,
                                                   const CopyTarget& target, const XcopyList& list)
{
    // Where cmd's XCOPY would ask "file or folder?", a name for many files is a folder.
    const Entry targetEntry = entryOf(target.path);
    const bool intoFolder = isFolder(targetEntry.host) ||
                            (targetEntry.kind == Kind::Missing &&
                             (target.folderWritten || source.several || line.hasSwitch(u"I")));
    if (!intoFolder && (list.files.size() > 1 || !list.emptyFolders.isEmpty())) {
        fail(u"Several files cannot be copied to the one file "_s + targetEntry.host.display());
        return std::nullopt;
    }
    const bool below = line.hasSwitch(u"S") || line.hasSwitch(u"E");
    if (intoFolder && below && PathGuard::leadsInto(targetEntry.host, source.base.host)) {
        fail(u"Cannot perform a cyclic copy: "_s + targetEntry.host.display() + u" lies inside "_s +
             source.base.host.display());
        return std::nullopt;
    }
    if (intoFolder && !makePath(target.path).has_value())
        return std::nullopt;
    return intoFolder;
}

void BatchExecutor::xcopyFiles(const BatchLine& line, const XcopyList& list, const QString& target,
                               bool intoFolder)
{
    const bool goOn = line.hasSwitch(u"C");
    const bool ask = line.hasSwitch(u"-Y") || !line.hasSwitch(u"Y");
    auto targetFor = [&](const QStringList& relative) {
        QString path = target;
        for (const QString& name : relative)
            path = BatchPath::child(path, name);
        return path;
    };
    for (const QStringList& relative : list.emptyFolders) {
        if (!makePath(targetFor(relative)).has_value() && !goOn)
            return;
        m_ui.processEvents();
    }
    QString madeFolder;
    std::optional<HostPath> madeFolderHost;
    for (const XcopyList::Item& file : list.files) {
        const QString to = intoFolder ? targetFor(file.relative) : target;
        const QString folder = BatchPath::parent(to);
        // Files of one folder come one after the other: it is made and mapped once.
        if (folder != madeFolder || !madeFolderHost) {
            madeFolder = folder;
            madeFolderHost = makePath(folder);
        }
        const std::optional<HostPath> toHost =
            madeFolderHost ? std::optional(madeFolderHost->mappedChild(BatchPath::name(to)))
                           : std::nullopt;
        if (!toHost || !copyOne(file.entry, *toHost, ask, line.hasSwitch(u"R"))) {
            if (!goOn)
                return;
            continue;
        }
        // XCOPY clears the read-only attribute of its copies unless told to keep it.
        if (!line.hasSwitch(u"K"))
            makeWritable(*toHost);
    }
}

void BatchExecutor::moveOne(const Entry& item, const QString& to, bool ask)
{
    const HostPath target = HostPath::fromProgramPath(to);
    for (const HostPath& path : {item.host, target}) {
        if (!m_guard.admits(path, LastName::Keep)) {
            fail(refusal(path));
            return;
        }
    }
    if (target == item.host)
        return;
    const QFileInfo existing(target.toString());
    if (existing.exists() || existing.isSymLink()) {
        if (item.kind != Kind::File || existing.isDir()) {
            fail(u"Access is denied: "_s + target.display() + u" exists already."_s);
            return;
        }
        if (ask && !m_ui.askYesNo(u"Overwrite "_s + target.display() + u'?'))
            return;
        if (isReadOnly(target)) {
            fail(u"Access is denied: "_s + target.display() + u" is read-only."_s);
            return;
        }
    }
    if (item.kind == Kind::Folder && PathGuard::leadsInto(target, item.host)) {
        fail(u"The folder "_s + item.host.display() + u" cannot be moved into itself."_s);
        return;
    }
    try {
        m_files.renameFile(item.host, target);
    } catch (const FileError& error) {
        // Another file system: copy, then remove the original.
        if (item.kind != Kind::File || error.permissionDenied()) {
            fail(error.description());
            return;
        }
        try {
            m_files.copyFile(item.host, target);
            m_files.removeFile(item.host);
        } catch (const FileError& again) {
            fail(again.description());
            return;
        }
    }
    m_ui.processEvents();
}

bool BatchExecutor::move(const BatchLine& line)
{
    QList<BatchWord> sources = line.words;
    QString target = m_current;
    bool folderWritten = false;
    if (sources.size() > 1) {
        const QString expanded = expand(sources.takeLast());
        target = resolve(expanded);
        if (target.isEmpty())
            return true;
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
            for (const Entry& entry : entries(entryOf(BatchPath::parent(path)))) {
                if (entry.kind == Kind::File && BatchWildcard::matches(name, entry.name))
                    items.append(entry);
            }
        } else if (const Entry entry = entryOf(path); entry.kind != Kind::Missing) {
            items.append(entry);
        }
        if (items.size() == before)
            fail(u"No file matches "_s + shownPath(path));
    }
    if (items.isEmpty())
        return true;
    const bool ask = line.hasSwitch(u"-Y");
    const HostPath targetHost = HostPath::fromProgramPath(target);
    if (isFolder(targetHost)) {
        for (const Entry& item : std::as_const(items))
            moveOne(item, BatchPath::child(target, item.name), ask);
        return true;
    }
    if (folderWritten) {
        fail(u"The folder "_s + targetHost.display() + u" does not exist."_s);
        return true;
    }
    if (items.size() > 1) {
        fail(u"Several files cannot be moved to the one file "_s + targetHost.display());
        return true;
    }
    moveOne(items.first(), target, ask);
    return true;
}

bool BatchExecutor::rename(const BatchLine& line)
{
    const QString path = resolve(expand(line.words.at(0)));
    if (path.isEmpty())
        return true;
    const QString mask = expand(line.words.at(1));
    const Entry folder = entryOf(BatchPath::parent(path));
    const QString pattern = BatchPath::name(path);
    QList<Entry> items;
    if (BatchWildcard::hasWildcards(pattern)) {
        for (const Entry& entry : entries(folder)) {
            if (entry.kind == Kind::File && BatchWildcard::matches(pattern, entry.name))
                items.append(entry);
        }
    } else if (const Entry entry = entryIn(folder, pattern); entry.kind != Kind::Missing) {
        items.append(entry);
    }
    if (items.isEmpty()) {
        fail(u"No file matches "_s + shownPath(path));
        return true;
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
        const QString taken = folder.host.matchEntry(newName);
        // The new name as written: matching it would find the old one when only the letter
        // case changes.
        const HostPath to = folder.host.child(newName);
        if (!taken.isEmpty() && taken != item.name) {
            fail(u"A duplicate file name exists: "_s + to.display());
            continue;
        }
        if (!m_guard.admits(item.host, LastName::Keep) || !m_guard.admits(to, LastName::Keep)) {
            fail(refusal(to));
            continue;
        }
        try {
            m_files.renameFile(item.host, to);
        } catch (const FileError& error) {
            fail(error.description());
        }
        m_ui.processEvents();
    }
    return true;
}

std::optional<HostPath> BatchExecutor::makePath(const QString& path)
{
    const auto ensure = [this](const HostPath& step) {
        const QFileInfo info(step.toString());
        if (info.isDir())
            return true;
        if (info.exists() || info.isSymLink()) {
            fail(u"A file is in the way of the folder "_s + step.display());
            return false;
        }
        if (!m_guard.admits(step)) {
            fail(refusal(step));
            return false;
        }
        try {
            m_files.makeFolder(step);
        } catch (const FileError& error) {
            fail(error.description());
            return false;
        }
        return true;
    };
    // Mapped one name at a time, as the folders come into being.
    const WindowsPath parts = WindowsPath::parse(path);
    HostPath step = HostPath::fromProgramPath(parts.root);
    if (!ensure(step))
        return std::nullopt;
    for (const QString& name : parts.names) {
        step = step.mappedChild(name);
        if (!ensure(step))
            return std::nullopt;
    }
    return step;
}

bool BatchExecutor::makeFolders(const BatchLine& line)
{
    for (const BatchWord& word : line.words) {
        const QString path = resolve(expand(word));
        // A folder that is there already is what the line wants.
        if (!path.isEmpty() && !isFolder(HostPath::fromProgramPath(path)))
            (void)makePath(path);
    }
    return true;
}

bool BatchExecutor::removeFolders(const BatchLine& line)
{
    for (const BatchWord& word : line.words) {
        const QString path = resolve(expand(word));
        if (path.isEmpty())
            continue;
        const Entry entry = entryOf(path);
        if (entry.kind == Kind::Missing)
            continue; // nothing to remove
        if (m_guard.isRoot(entry.host) || !m_guard.admits(entry.host, LastName::Keep)) {
            fail(refusal(entry.host));
            continue;
        }
        if (!isFolder(entry.host)) {
            fail(u"The directory name is invalid: "_s + entry.host.display());
            continue;
        }
        if (entry.kind == Kind::Other) {
            // A link to a folder: RD removes the link, never what it leads to.
            m_files.removeFile(entry.host);
            continue;
        }
        if (PathGuard::leadsInto(HostPath::fromProgramPath(m_current), entry.host)) {
            fail(u"The folder "_s + entry.host.display() +
                 u" is the current folder or holds it."_s);
            continue;
        }
        if (line.hasSwitch(u"S")) {
            if (!line.hasSwitch(u"Q") &&
                !m_ui.askYesNo(u"Remove the folder "_s + entry.host.display() +
                               u" and everything in it?"_s))
                continue;
            m_files.removeTree(entry.host);
        } else {
            try {
                m_files.removeEntry(entry.host);
            } catch (const FileError& error) {
                fail(error.description());
            }
        }
        m_ui.processEvents();
    }
    return true;
}

} // namespace veltrane
