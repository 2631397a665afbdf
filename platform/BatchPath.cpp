#include "BatchPath.h"

#include "BatchWildcard.h"
#include "util/HostPath.h"

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

bool isSeparator(QChar c)
{
    return c == u'\\' || c == u'/';
}

struct Parts {
    QString root; // "C:\", "/" or empty (a relative folder)
    QStringList names;

    QChar separator() const { return root == u"/"_s ? u'/' : u'\\'; }

    QString join() const
    {
        if (names.isEmpty())
            return root.isEmpty() ? u"."_s : root;
        return root + names.join(separator());
    }
};

// Splits a path that is already absolute (or the working folder, whatever it is).
Parts split(const QString& path)
{
    Parts parts;
    QStringView rest = path;
    if (HostPath::startsWithDrive(rest)) {
        parts.root = QString(rest[0].toUpper()) + u":\\"_s;
        rest = rest.mid(2);
    } else if (!rest.isEmpty() && isSeparator(rest[0])) {
        parts.root = u"/"_s;
    }
    qsizetype start = 0;
    for (qsizetype i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || isSeparator(rest[i])) {
            const QStringView name = rest.mid(start, i - start);
            if (name == u"..") {
                if (!parts.names.isEmpty())
                    parts.names.removeLast();
            } else if (!name.isEmpty() && name != u".") {
                parts.names.append(name.toString());
            }
            start = i + 1;
        }
    }
    return parts;
}

} // namespace

QString BatchPath::resolve(const QString& current, const QString& path, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return QString();
    };
    if (path.isEmpty())
        return fail(u"an empty name is given"_s);
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]))
        return fail(u"network paths ("_s + path + u") are not supported"_s);

    const Parts here = split(current);
    Parts parts;
    QStringView rest = path;
    if (HostPath::startsWithDrive(rest)) {
        const QString root = QString(rest[0].toUpper()) + u":\\"_s;
        if (rest.size() > 2 && isSeparator(rest[2])) {
            parts.root = root;
            rest = rest.mid(3);
        } else if (here.root == root) {
            parts = here;
            rest = rest.mid(2);
        } else {
            return fail(u"the path "_s + path + u" is relative to another drive's folder"_s);
        }
    } else if (rest[0] == u'/') {
        // A host path, as the batch file's own folder is given on Linux.
        parts.root = u"/"_s;
        rest = rest.mid(1);
    } else if (isSeparator(rest[0])) {
        parts.root = here.root.isEmpty() ? u"/"_s : here.root;
        rest = rest.mid(1);
    } else {
        parts = here;
    }

    QStringList names;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || isSeparator(rest[i])) {
            if (i > start)
                names.append(rest.mid(start, i - start).toString());
            start = i + 1;
        }
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        if (name == u"."_s)
            continue;
        if (name == u".."_s) {
            // Above the root stays at the root, as on Windows.
            if (!parts.names.isEmpty())
                parts.names.removeLast();
            continue;
        }
        if (i + 1 < names.size() && BatchWildcard::hasWildcards(name))
            return fail(u"wildcards are allowed in the last name only ("_s + path + u')');
        parts.names.append(name);
    }
    return parts.join();
}

QString BatchPath::resolveWord(const BatchWord& word, const QString& batchFolder,
                               const QString& current, QString* error)
{
    return resolve(current, word.expand(batchFolder, current), error);
}

QString BatchPath::parent(const QString& path)
{
    Parts parts = split(path);
    if (!parts.names.isEmpty())
        parts.names.removeLast();
    return parts.join();
}

QString BatchPath::name(const QString& path)
{
    const Parts parts = split(path);
    return parts.names.isEmpty() ? QString() : parts.names.last();
}

QString BatchPath::child(const QString& folder, const QString& name)
{
    Parts parts = split(folder);
    parts.names.append(name);
    return parts.join();
}

bool BatchPath::isRoot(const QString& path)
{
    const Parts parts = split(path);
    return !parts.root.isEmpty() && parts.names.isEmpty();
}

QStringList BatchPath::ancestors(const QString& path)
{
    const Parts parts = split(path);
    QStringList all;
    Parts step;
    step.root = parts.root;
    if (!step.root.isEmpty())
        all.append(step.join());
    for (const QString& name : parts.names) {
        step.names.append(name);
        all.append(step.join());
    }
    return all;
}

bool BatchPath::sameDrive(const QString& a, const QString& b)
{
    const bool driveA = HostPath::startsWithDrive(a);
    const bool driveB = HostPath::startsWithDrive(b);
    if (driveA != driveB)
        return false;
    return !driveA || a[0].toUpper() == b[0].toUpper();
}

bool BatchPath::endsWithSeparator(QStringView path)
{
    return !path.isEmpty() && isSeparator(path.back());
}

QString BatchPath::folderWithSeparator(const QString& filePath)
{
    const Parts parts = split(parent(filePath));
    const QString folder = parts.join();
    return folder.endsWith(parts.separator()) ? folder : folder + parts.separator();
}

} // namespace veltrane
