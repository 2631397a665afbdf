#include "MissingStockResolver.h"

#include "BlueprintText.h"
#include "EngineContext.h"
#include "util/AppState.h"
#include "util/PathGuard.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"

using namespace Qt::StringLiterals;

namespace veltrane {

MissingStockResolver::MissingStockResolver(EngineContext& context)
    : m_context(context), m_crew(context), m_number(context)
{
}

bool MissingStockResolver::insideAssets(const QString& gamePath, const QString& missingPath,
                                        const QString& basePath)
{
    const QString assets = gamePath + u"\\Assets\\"_s;
    if (!missingPath.startsWith(assets))
        return false;
    const HostPath assetsFolder = HostPath::fromProgramPath(assets);
    return PathGuard::isContainedRelative(missingPath.mid(assets.size())) &&
           PathGuard::leadsInto(HostPath::fromProgramPath(basePath), assetsFolder) &&
           PathGuard::leadsInto(HostPath::fromProgramPath(missingPath), assetsFolder);
}

std::optional<MissingStockResolver::Variant>
MissingStockResolver::variantOf(const QString& gamePath, const QString& missingPath)
{
    const qsizetype slash = missingPath.lastIndexOf(u'\\');
    Variant variant;
    variant.folder = missingPath.left(slash + 1);
    const QString fileName = missingPath.mid(slash + 1);
    if (fileName.size() < 4)
        return std::nullopt;
    variant.name = fileName.chopped(4);
    const qsizetype underscore = variant.name.lastIndexOf(u'_');
    if (underscore < 0)
        return std::nullopt;
    variant.suffix = variant.name.mid(underscore);
    variant.baseName = variant.name.left(underscore);
    variant.basePath = variant.folder + variant.baseName + u".bin"_s;
    variant.crew = BlueprintText::isCrewSuffix(variant.suffix);
    if (!insideAssets(gamePath, missingPath, variant.basePath))
        return std::nullopt;
    return variant;
}

bool MissingStockResolver::resolve(const QString& missingPath, const QString& requirementLine)
{
    const std::optional<Variant> variant = variantOf(m_context.state.GamePath, missingPath);
    if (!variant || !fileExists(HostPath::fromProgramPath(variant->basePath)))
        return false;
    if (!m_context.state.ProduceConsent) {
        const bool yes = m_context.ui.askYesNo(
            u"Although you do not appear to have "_s + variant->name + u"\r\nYou do have "_s +
            variant->baseName + u".bin - Do you wish me to automatically\r\n"_s +
            u"produce the missing stock where possible?"_s);
        if (!yes)
            return false;
        m_context.state.ProduceConsent = true;
    }

    if (variant->crew)
        return m_crew.make(variant->folder, variant->baseName, variant->suffix);
    return m_number.make(variant->folder, variant->baseName, variant->suffix, requirementLine);
}

} // namespace veltrane
