#pragma once

#include <QByteArray>
#include <QByteArrayMatcher>
#include <QList>
#include <QString>

namespace veltrane {

// A text with stretches taken out, without moving what is left: searches see only the kept
// characters, at their places in the whole text, and the shortened text is put together
// once at the end.
class LiveText {
public:
    explicit LiveText(const QByteArray& text) : m_text(text) {}

    // The first kept occurrence at or after from, or -1.
    qsizetype firstFrom(const QByteArrayMatcher& matcher, qsizetype from) const;
    // The first of the places (in order) whose stretch of length is kept, or -1.
    qsizetype firstKept(const QList<qsizetype>& places, qsizetype length) const;
    // The last kept occurrence that starts at or before latest, or -1.
    qsizetype lastStartingBy(const QByteArray& pattern, qsizetype latest) const;
    // Up to count places of kept characters at or after from.
    QList<qsizetype> keptFrom(qsizetype from, qsizetype count) const;

    // Takes out [begin, end); it may enclose stretches taken out before.
    void remove(qsizetype begin, qsizetype end);
    // Up to reach kept characters on each side of the join left by the stretch that holds
    // position; joinOffset receives where in the result the join lies.
    QByteArray windowAround(qsizetype position, qsizetype reach, qsizetype* joinOffset) const;

    // Appends the kept characters of [from, to) of text, which is as long as the searched one.
    void appendKept(QString& out, const QString& text, qsizetype from, qsizetype to) const;
    qsizetype removedLength() const;

private:
    struct Stretch {
        qsizetype begin;
        qsizetype end; // past the last removed character
    };

    bool isKept(qsizetype at, qsizetype length) const;
    QList<Stretch>::const_iterator firstEndingAfter(qsizetype position) const;

    const QByteArray& m_text;
    QList<Stretch> m_removed; // in order, never touching each other
};

} // namespace veltrane
