#pragma once

#include <QString>
#include <QStringList>

namespace veltrane {

// The edits the variant makers make to a blueprint's XML text, by plain case-insensitive
// searches as the rest of the program does.
namespace BlueprintText {

// The text of every "ChildName" element, in document order, when the document has a
// "<Children>" list. Throws std::invalid_argument at an element that is not closed;
// names holds what was read up to there.
void childNames(const QString& doc, QStringList& names);

// The keys whose entries a crew-and-load suffix removes, in order; "_Dead" removes the
// whole list instead (removesAllChildren).
QStringList removalKeys(const QString& suffix);
bool removesAllChildren(const QString& suffix);
bool isCrewSuffix(const QString& suffix);

// Cuts the children element from the line end before it to its closing tag.
bool removeChildrenElement(QString& doc);
// Cuts the child entry whose name element holds exactly name; blanks and line end stay.
bool removeChildEntry(QString& doc, const QString& name);

// Inserts the fragment in front of the character before the first entry of the
// children list, or right after "<Children>" when the entry follows it directly.
// Throws std::invalid_argument when the document is empty or has no children list.
void insertChildren(QString& doc, const QString& fragment);

// The text of the first element whose tag begins "<Name". Throws std::invalid_argument
// when there is none or it is not closed.
QString displayName(const QString& doc);
// Writes name into the first "<Name " element and the five language elements after it;
// a chain that fails part way changes no further element.
void setDisplayName(QString& doc, const QString& name);

} // namespace BlueprintText

} // namespace veltrane
