#include "NumberVariantMaker.h"

#include "BlueprintText.h"
#include "CodeTemplate.h"
#include "EngineContext.h"
#include "RequirementLine.h"
#include "VariantConversion.h"
#include "util/AppState.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"

#include <exception>

using namespace Qt::StringLiterals;

namespace veltrane {

bool NumberVariantMaker::make(const QString& folder, const QString& baseName, const QString& suffix,
                              const QString& requirementLine)
{
    VariantConversion conversion(m_context, folder, baseName);
    UserInterface& ui = m_context.ui;
    try {
        conversion.prepareWorkFolder();
        QString codeTemplate;
        readTextFile(ui, m_context.packageFolder.mappedChild(u"UKCode.txt"_s), codeTemplate);
        const RequirementLine line(requirementLine);

        conversion.copyBase();
        QString doc = conversion.convertBase();
        const QString fragment =
            CodeTemplate::fill(codeTemplate, line, [&ui] { ui.processEvents(); });
        BlueprintText::insertChildren(doc, fragment);
        ui.processEvents();

        const QString displayName = BlueprintText::displayName(doc) + suffix;
        m_context.state.VariantName = baseName + suffix;
        BlueprintText::setDisplayName(doc, displayName);

        if (!conversion.writeVariantXml(doc)) {
            conversion.recordFailure(u"its text could not be written"_s);
            return false;
        }
        if (const QString failure = conversion.convertVariant(); !failure.isEmpty()) {
            conversion.reportConversionFailure(failure);
            return false;
        }
        conversion.installVariant();
        ui.processEvents();
        return true;
    } catch (const std::exception& error) {
        conversion.reportError(error, suffix);
    }
    return false;
}

} // namespace veltrane
