#include "CrewVariantMaker.h"

#include "BlueprintText.h"
#include "EngineContext.h"
#include "VariantConversion.h"
#include "util/AppState.h"
#include "util/UserInterface.h"

#include <exception>

using namespace Qt::StringLiterals;

namespace veltrane {

bool CrewVariantMaker::make(const QString& folder, const QString& baseName, const QString& suffix)
{
    VariantConversion conversion(m_context, folder, baseName);
    const auto step = [&](auto&& work) {
        try {
            work();
            return true;
        } catch (const std::exception& error) {
            conversion.reportError(error, suffix);
            return false;
        }
    };

    step([&] { conversion.prepareWorkFolder(); });
    step([&] { conversion.copyBase(); });
    QString doc;
    step([&] { doc = conversion.convertBase(); });

    QStringList names;
    step([&] { BlueprintText::childNames(doc, names); });
    if (BlueprintText::removesAllChildren(suffix)) {
        step([&] { BlueprintText::removeChildrenElement(doc); });
    } else {
        for (const QString& key : BlueprintText::removalKeys(suffix)) {
            for (const QString& name : std::as_const(names)) {
                if (!name.contains(key, Qt::CaseInsensitive))
                    continue;
                step([&] { BlueprintText::removeChildEntry(doc, name); });
                m_context.ui.processEvents();
            }
        }
    }

    QString displayName;
    step([&] { displayName = BlueprintText::displayName(doc); });
    displayName += suffix;
    m_context.state.VariantName = baseName + suffix;
    step([&] { BlueprintText::setDisplayName(doc, displayName); });

    // The base never became text: converting the empty document back would place an
    // empty blueprint beside its base.
    if (doc.isEmpty()) {
        conversion.reportConversionFailure(u"the base blueprint gave no text to work on"_s);
        return false;
    }
    bool written = false;
    step([&] { written = conversion.writeVariantXml(doc); });
    if (!written) {
        conversion.recordFailure(u"its text could not be written"_s);
        return false;
    }
    QString failure;
    if (!step([&] { failure = conversion.convertVariant(); }))
        return false;
    if (!failure.isEmpty()) {
        conversion.reportConversionFailure(failure);
        return false;
    }
    const bool produced = step([&] { conversion.installVariant(); });
    m_context.ui.processEvents();
    return produced;
}

} // namespace veltrane
