#pragma once

#include "util/HostPath.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace veltrane::test {

// The serialised form of a document given as the serialiser's XML, made by our own codec as
// the stand-in serialiser (tools/serz-substitute) makes it; fails the test on XML it cannot
// read.
QByteArray serialised(const QByteArray& xml);
// The XML of a serialised file; a null array when it does not read back.
QByteArray deserialised(const QByteArray& bin);
// The XML as the serialiser writes it back after a round trip: what a serialised file made
// from it shows when it is turned into XML again.
QByteArray canonicalXml(const QByteArray& xml);

// A host path as it is, not mapped: the tests name what is on disk.
inline HostPath host(const QString& path)
{
    return HostPath::fromHost(path);
}

// Small helpers for trees built in a QTemporaryDir; paths are host paths.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
void makeFolder(const QString& path);
// Every file below root, by path relative to root with "/" separators, with its bytes.
QMap<QString, QByteArray> snapshot(const QString& root);
// The same for a game folder, without the install journals the program keeps there: the
// game's own files.
QMap<QString, QByteArray> gameFiles(const QString& game);
// Files less the blueprint caches, which an undo does not bring back: the game rebuilds
// them.
QMap<QString, QByteArray> withoutCaches(QMap<QString, QByteArray> files);
// Every name below root, hidden ones included, by path relative to root: folders end in "/",
// links show where they lead ("name -> target") and are not followed. Sorted.
QStringList entriesBelow(const QString& root);

// While it lives, file access of this thread is checked as an ordinary user. As root it
// hands the tree to that user and switches the thread's file-system identity; as any other
// user the checks apply already and it does nothing.
class UnprivilegedScope {
public:
    explicit UnprivilegedScope(const QString& treeRoot);
    ~UnprivilegedScope();
    UnprivilegedScope(const UnprivilegedScope&) = delete;
    UnprivilegedScope& operator=(const UnprivilegedScope&) = delete;

    // Empty when the scope works; otherwise why it cannot on this machine.
    QString unavailableReason() const { return m_reason; }
    // Gives path to another user (root), whose files the ordinary user may not change.
    void handToAnotherUser(const QString& path) const;

private:
    QString m_reason;
    bool m_switched = false;
};

} // namespace veltrane::test
