#include "BlueprintText.h"

#include "util/TaggedText.h"

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

constexpr auto kCase = Qt::CaseInsensitive;
const QString kChildren = u"<Children>"_s;
const QString kEntryOpen = u"<cEntityContainerBlueprint-sChild"_s;
const QString kEntryClose = u"</cEntityContainerBlueprint-sChild>"_s;

struct Rule {
    QString suffix;
    QStringList keys;
};

// In the order they are tried; the first suffix that matches decides.
const QList<Rule>& rules()
{
    static const QList<Rule> table = {
        {u"_Dead"_s, {}},           {u"_ND"_s, {u"Driver"_s, u"Fireman"_s}},
        {u"_DF"_s, {u"Driver2"_s}}, {u"_DR"_s, {u"Driver1"_s}},
        {u"_PO"_s, {u"Driver"_s}},  {u"_MT"_s, {u"Driver"_s, u"Pass"_s}},
        {u"_DO"_s, {u"Pass"_s}},
    };
    return table;
}

const Rule* ruleFor(const QString& suffix)
{
    for (const Rule& rule : rules()) {
        if (suffix.compare(rule.suffix, kCase) == 0)
            return &rule;
    }
    return nullptr;
}

// The first ">" + text + "<" at or after from, ignoring case. It looks for ">" alone, which
// letter case does not change, and compares the rest only there: a removal pass searches
// the list once per name, and a folded search of the whole needle made that the cost of
// the crew maker's text work.
qsizetype findElementText(const QString& doc, const QString& text, qsizetype from)
{
    const QStringView view(doc);
    const qsizetype closeAt = text.size() + 1; // of the "<", counted from the ">"
    for (qsizetype at = view.indexOf(u'>', from); at >= 0 && at + closeAt < view.size();
         at = view.indexOf(u'>', at + 1)) {
        if (view[at + closeAt] == u'<' && view.mid(at + 1, text.size()).compare(text, kCase) == 0)
            return at;
    }
    return -1;
}

} // namespace

bool BlueprintText::isCrewSuffix(const QString& suffix)
{
    return ruleFor(suffix) != nullptr;
}

bool BlueprintText::removesAllChildren(const QString& suffix)
{
    const Rule* rule = ruleFor(suffix);
    return rule && rule->keys.isEmpty();
}

QStringList BlueprintText::removalKeys(const QString& suffix)
{
    const Rule* rule = ruleFor(suffix);
    return rule ? rule->keys : QStringList();
}

void BlueprintText::childNames(const QString& doc, QStringList& names)
{
    if (!doc.contains(kChildren, kCase))
        return;
    qsizetype from = 0;
    for (;;) {
        const qsizetype found = doc.indexOf(u"<ChildName"_s, from, kCase);
        if (found < 0)
            return;
        qint32 position = qint32(found + 1);
        QString name;
        TaggedText::readValue(doc, position, u"ChildName"_s, name);
        names.append(name);
        from = qsizetype(position) - 1 + 10;
    }
}

bool BlueprintText::removeChildrenElement(QString& doc)
{
    const qsizetype children = doc.indexOf(kChildren, 0, kCase);
    if (children <= 0)
        return false;
    const qsizetype lineEnd = doc.lastIndexOf(u'\r', children - 1);
    if (lineEnd < 0)
        return false;
    const qsizetype close = doc.indexOf(u"</Children>"_s, lineEnd, kCase);
    if (close < 0)
        return false;
    doc.remove(lineEnd, close + 11 - lineEnd);
    return true;
}

bool BlueprintText::removeChildEntry(QString& doc, const QString& name)
{
    const qsizetype children = doc.indexOf(kChildren, 0, kCase);
    if (children < 0)
        return false;
    const qsizetype nameAt = findElementText(doc, name, children + 4);
    if (nameAt < 0)
        return false;
    const qsizetype start = doc.lastIndexOf(kEntryOpen, nameAt - 1, kCase);
    // The name must stand in an entry of this list, or nothing is cut.
    if (start <= children)
        return false;
    const qsizetype end = doc.indexOf(kEntryClose, start, kCase);
    if (end < nameAt)
        return false;
    doc.remove(start, end + kEntryClose.size() - start);
    return true;
}

void BlueprintText::insertChildren(QString& doc, const QString& fragment)
{
    if (doc.isEmpty())
        throw std::invalid_argument(
            "Invalid procedure call or argument: the converted blueprint is empty");
    const qsizetype children = doc.indexOf(kChildren, 0, kCase);
    if (children < 0)
        throw std::invalid_argument(
            "Invalid procedure call or argument: the blueprint has no <Children> list");
    const qsizetype entry = doc.indexOf(u'<', children + 1);
    if (entry < 0)
        throw std::invalid_argument(
            "Invalid procedure call or argument: the blueprint's <Children> list is not closed");
    // In front of the character before the entry: in the serialiser's layout, the last
    // indentation character of the entry's line.
    const qsizetype at = entry == children + kChildren.size() ? entry : entry - 1;
    doc.insert(at, fragment);
}

QString BlueprintText::displayName(const QString& doc)
{
    qint32 position = qint32(doc.indexOf(u"<Name"_s, 0, kCase) + 1);
    QString name;
    TaggedText::readValue(doc, position, u"Name"_s, name);
    return name;
}

void BlueprintText::setDisplayName(QString& doc, const QString& name)
{
    qint32 position = qint32(doc.indexOf(u"<Name "_s, 0, kCase) + 1);
    for (const QString& tag :
         {u"Name"_s, u"English"_s, u"French"_s, u"Italian"_s, u"German"_s, u"Spanish"_s})
        TaggedText::replaceValue(doc, position, tag, name);
}

} // namespace veltrane
