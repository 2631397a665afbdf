#pragma once

#include <QString>

namespace veltrane {

struct EngineContext;

// Makes a missing crew-and-load variant from its base: child entries removed by the
// suffix's rule, the suffix added to the display name. A failing step is reported and the
// next one runs.
class CrewVariantMaker {
public:
    explicit CrewVariantMaker(EngineContext& context) : m_context(context) {}

    // True only when the variant has been placed beside its base. folder ends in "\".
    bool make(const QString& folder, const QString& baseName, const QString& suffix);

private:
    EngineContext& m_context;
};

} // namespace veltrane
