#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace veltrane {

// What one record of a route's scenario list, from "<cScenarioProperties" to its closing
// tag, tells of its scenario. Tags are matched without regard to letter case.
namespace ScenarioRecordText {

// Its scenario id: the DevString of its ID element, trimmed; empty when it has none.
QString id(QStringView record);
// The English element of its DisplayName, trimmed; empty when it has none.
QString englishName(QStringView record);
// Whether its scenario id is one of the keys, letter case and surrounding blanks ignored.
bool isOwnedBy(QStringView record, const QStringList& keys);

} // namespace ScenarioRecordText

} // namespace veltrane
