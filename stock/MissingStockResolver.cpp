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

bool MissingStockResolver::insideAssets(const QString& missingPath, const QString& basePath) const
{
    const QString assets = m_context.state.GamePath + u"\\Assets\\"_s;
    if (!missingPath.startsWith(assets))
        return false;
    const HostPath assetsFolder = HostPath::fromProgramPath(assets);
    return PathGuard::isContainedRelative(missingPath.mid(assets.size())) &&
           PathGuard::leadsInto(HostPath::fromProgramPath(basePath), assetsFolder) &&
           PathGuard::leadsInto(HostPath::fromProgramPath(missingPath), assetsFolder);
}

bool MissingStockResolver::resolve(const QString& missingPath, const QString& requirementLine)
{
    const qsizetype slash = missingPath.lastIndexOf(u'\\');
    const QString folder = missingPath.left(slash + 1);
    const QString fileName = missingPath.mid(slash + 1);
    if (fileName.size() < 4)
        return false;
    const QString missingName = fileName.chopped(4);
    const qsizetype underscore = missingName.lastIndexOf(u'_');
    if (underscore < 0)
        return false;
    const QString suffix = missingName.mid(underscore);
    const QString baseName = missingName.left(underscore);
    const QString basePath = folder + baseName + u".bin"_s;
    if (!insideAssets(missingPath, basePath))
        return false;
    if (!fileExists(HostPath::fromProgramPath(basePath)))
        return false;
    if (!m_context.state.ProduceConsent) {
        const bool yes = m_context.ui.askYesNo(u"Although you do not appear to have "_s +
                                               missingName + u"\r\nYou do have "_s + baseName +
                                               u".bin - Do you wish me to automatically\r\n"_s +
                                               u"produce the missing stock where possible?"_s);
        if (!yes)
            return false;
        m_context.state.ProduceConsent = true;
    }

    if (BlueprintText::isCrewSuffix(suffix))
        return m_crew.make(folder, baseName, suffix);
    return m_number.make(folder, baseName, suffix, requirementLine);
}

} // namespace veltrane
