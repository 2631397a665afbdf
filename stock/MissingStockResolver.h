#pragma once

#include "CrewVariantMaker.h"
#include "NumberVariantMaker.h"

#include <QString>
#include <optional>

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

    // A missing blueprint named as a variant: its folder (ending in "\\"), its name without
    // ".bin", the base's name and path and the suffix, and which maker takes it.
    struct Variant {
        QString folder;
        QString name;
        QString baseName;
        QString basePath;
        QString suffix;
        bool crew = false; // a crew and load variant; else a number and lamp one
    };
    // The variant missingPath names, whether or not its base is there; nothing when it names
    // none, or it or its base would leave the Assets folder of the game at gamePath.
    static std::optional<Variant> variantOf(const QString& gamePath, const QString& missingPath);

private:
    static bool insideAssets(const QString& gamePath, const QString& missingPath,
                             const QString& basePath);

    EngineContext& m_context;
    CrewVariantMaker m_crew;
    NumberVariantMaker m_number;
};

} // namespace veltrane
