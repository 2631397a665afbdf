#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace veltrane {

// A path written the Windows way, taken apart into its root and names, for the program's
// own path arithmetic (the batch interpreter's paths, the folder picker's). Its root is a
// drive ("C:\"), "/" for a host path on a system that is not Windows, or empty for a
// relative path. "." and ".." are worked out as Windows does: ".." at the root stays there.
// Nothing here looks at the disk.
struct WindowsPath {
    QString root;
    QStringList names;

    // Whether the text begins with an ASCII drive letter and a colon ("c:").
    static bool startsWithDrive(QStringView text);
    static bool isSeparator(QChar c) { return c == u'\\' || c == u'/'; }

    // Splits text into a root and names; a drive keeps the letter as written. A text that is
    // relative to a drive's current folder ("c:x") is the caller's to resolve first.
    static WindowsPath parse(QStringView text);

    // Adds the names of a relative text, "\" or "/" separated, working out "." and "..".
    void append(QStringView relative);

    QChar separator() const { return root == u"/" ? u'/' : u'\\'; }
    bool isRoot() const { return !root.isEmpty() && names.isEmpty(); }
    // The text: root and names joined by the root's separator; "." for an empty relative path.
    QString toString() const;
    // The last name; empty for a root.
    QString name() const { return names.isEmpty() ? QString() : names.last(); }
    // A root is its own parent.
    WindowsPath parent() const;
    WindowsPath child(const QString& name) const;
};

} // namespace veltrane
