#include "MissingStockResolver.h"

#include "BlueprintText.h"
#include "platform/EngineContext.h"
#include "util/AppState.h"
#include "util/MyFile.h"
#include "util/PathGuard.h"
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
    return PathGuard::isContainedRelative(missingPath.mid(assets.size())) &&
           PathGuard::staysInside(assets, basePath) && PathGuard::staysInside(assets, missingPath);
}

void MissingStockResolver::ResolveMissingStock(const QString& missingPath, bool& produced,
                                               const QString& requirementLine)
{
    // Every way out that does not install a variant leaves the item missing, whatever the
    // caller passed in.
    produced = false;
    const qsizetype slash = missingPath.lastIndexOf(u'\\');
    const QString folder = missingPath.left(slash + 1);
    const QString fileName = missingPath.mid(slash + 1);
    if (fileName.size() < 4)
        return;
    const QString missingName = fileName.chopped(4);
    const qsizetype underscore = missingName.lastIndexOf(u'_');
    if (underscore < 0)
        return;
    const QString suffix = missingName.mid(underscore);
    const QString baseName = missingName.left(underscore);
    const QString basePath = folder + baseName + u".bin"_s;
    if (!insideAssets(missingPath, basePath))
        return;

    const bool baseExists = MyFile::FileExists(basePath);
    if (!baseExists)
        return;
    if (!m_context.state.ProduceConsent) {
        const bool yes = m_context.ui.askYesNo(u"Although you do not appear to have "_s +
                                               missingName + u"\r\nYou do have "_s + baseName +
                                               u".bin - Do you wish me to automatically\r\n"_s +
                                               u"produce the missing stock where possible?"_s);
        if (!yes)
            return;
        m_context.state.ProduceConsent = true;
    }

    if (BlueprintText::isCrewSuffix(suffix))
        m_crew.MakeCrewVariant(folder, baseName, suffix, produced);
    else
        m_number.MakeNumberVariant(folder, baseName, suffix, produced, requirementLine);
}

} // namespace veltrane
