#pragma once

#include "CrewVariantMaker.h"
#include "NumberVariantMaker.h"

#include <QString>

namespace veltrane {

struct EngineContext;

// Decides whether a missing blueprint is a variant of one that is installed (same folder,
// same name without its last "_" suffix), asks the user's consent once, and hands the item
// to the maker for its suffix.
class MissingStockResolver {
public:
    explicit MissingStockResolver(EngineContext& context);

    // missingPath: GamePath & "\Assets\" & the required path, ending in ".bin". True only
    // when a variant has been placed beside its base. A path that would leave the game's
    // Assets folder is never read from or written to.
    bool resolve(const QString& missingPath, const QString& requirementLine);

private:
    bool insideAssets(const QString& missingPath, const QString& basePath) const;

    EngineContext& m_context;
    CrewVariantMaker m_crew;
    NumberVariantMaker m_number;
};

} // namespace veltrane
