#include "NumberVariantMaker.h"

#include "BlueprintText.h"
#include "CodeTemplate.h"
#include "RequirementLine.h"
#include "VariantConversion.h"
#include "platform/EngineContext.h"
#include "util/AppState.h"
#include "util/MyFile.h"
#include "util/UserInterface.h"

#include <exception>

using namespace Qt::StringLiterals;

namespace veltrane {

void NumberVariantMaker::MakeNumberVariant(const QString& folder, const QString& baseName,
                                           const QString& suffix, bool& produced,
                                           const QString& requirementLine)
{
    VariantConversion conversion(m_context, folder, baseName);
    UserInterface& ui = m_context.ui;
    try {
        conversion.prepareWorkFolder();
        QString codeTemplate;
        MyFile::ReadUniFile(ui, m_context.programFolder + u"\\UKCode.txt"_s, codeTemplate);

        const RequirementLine line(requirementLine);
        StockPath = RequirementLine::stockPath(requirementLine);
        LampNumber1 = line.lampNumber1();
        LampNumber2 = line.lampNumber2();
        CodeText1 = line.field(4);
        CodeText2 = line.field(5);
        CodeText3 = line.field(6);
        CodeText4 = line.field(7);
        CodeText5 = line.field(8);
        CodeText6 = line.field(9);

        conversion.copyBase();
        QString doc = conversion.convertBase();
        const QString fragment =
            CodeTemplate::fill(codeTemplate, line, [&ui] { ui.processEvents(); });
        BlueprintText::insertChildren(doc, fragment);
        ui.processEvents();

        const QString displayName = BlueprintText::displayName(doc) + suffix;
        m_context.state.VariantName = baseName + suffix;
        BlueprintText::setDisplayName(doc, displayName);

        conversion.writeVariantXml(doc);
        if (conversion.convertVariant() == 0) {
            conversion.reportConversionFailure();
            return;
        }
        conversion.installVariant();
        produced = true;
        ui.processEvents();
    } catch (const std::exception& error) {
        conversion.reportError(error, suffix);
    }
}

} // namespace veltrane
