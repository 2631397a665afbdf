#include "BatchPath.h"

#include "BatchWildcard.h"
#include "util/WindowsPath.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

// A path that is already absolute (or the working folder, whatever it is), its drive in
// upper case so that one drive is always written alike.
WindowsPath split(const QString& path)
{
    WindowsPath parts = WindowsPath::parse(path);
    if (WindowsPath::startsWithDrive(parts.root))
        parts.root[0] = parts.root[0].toUpper();
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
    if (path.size() >= 2 && WindowsPath::isSeparator(path[0]) && WindowsPath::isSeparator(path[1]))
        return fail(u"network paths ("_s + path + u") are not supported"_s);

    const WindowsPath here = split(current);
    WindowsPath parts;
    QStringView rest = path;
    if (WindowsPath::startsWithDrive(rest)) {
        const QString root = QString(rest[0].toUpper()) + u":\\"_s;
        if (rest.size() > 2 && WindowsPath::isSeparator(rest[2])) {
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
    } else if (WindowsPath::isSeparator(rest[0])) {
        parts.root = here.root.isEmpty() ? u"/"_s : here.root;
        rest = rest.mid(1);
    } else {
        parts = here;
    }

    // Wildcards may stand in the last name only: a folder cannot be a pattern.
    const QStringList names =
        rest.toString().split(QRegularExpression(u"[\\\\/]"_s), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        if (names[i] != u"."_s && names[i] != u".."_s && BatchWildcard::hasWildcards(names[i]))
            return fail(u"wildcards are allowed in the last name only ("_s + path + u')');
    }
    parts.append(rest);
    return parts.toString();
}

QString BatchPath::resolveWord(const BatchWord& word, const QString& batchFolder,
                               const QString& current, QString* error)
{
    return resolve(current, word.expand(batchFolder, current), error);
}

QString BatchPath::parent(const QString& path)
{
    return split(path).parent().toString();
}

QString BatchPath::name(const QString& path)
{
    return split(path).name();
}

QString BatchPath::child(const QString& folder, const QString& name)
{
    return split(folder).child(name).toString();
}

QStringList BatchPath::ancestors(const QString& path)
{
    const WindowsPath parts = split(path);
    QStringList all;
    WindowsPath step;
    step.root = parts.root;
    if (!step.root.isEmpty())
        all.append(step.toString());
    for (const QString& name : parts.names) {
        step.names.append(name);
        all.append(step.toString());
    }
    return all;
}

bool BatchPath::sameDrive(const QString& a, const QString& b)
{
    const bool driveA = WindowsPath::startsWithDrive(a);
    const bool driveB = WindowsPath::startsWithDrive(b);
    if (driveA != driveB)
        return false;
    return !driveA || a[0].toUpper() == b[0].toUpper();
}

bool BatchPath::endsWithSeparator(QStringView path)
{
    return !path.isEmpty() && WindowsPath::isSeparator(path.back());
}

QString BatchPath::folderWithSeparator(const QString& filePath)
{
    const WindowsPath folder = split(filePath).parent();
    const QString text = folder.toString();
    return text.endsWith(folder.separator()) ? text : text + folder.separator();
}

} // namespace veltrane
