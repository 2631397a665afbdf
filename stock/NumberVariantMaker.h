#pragma once

#include <QString>

namespace veltrane {

struct EngineContext;

// Makes a missing variant of any other suffix from its base: child entries filled from the
// package's code template and the requirement line go into the children list, and the
// suffix is added to the display name. The first failing step ends it, reported.
class NumberVariantMaker {
public:
    explicit NumberVariantMaker(EngineContext& context) : m_context(context) {}

    // True only when the variant has been placed beside its base. folder ends in "\".
    bool make(const QString& folder, const QString& baseName, const QString& suffix,
              const QString& requirementLine);

private:
    EngineContext& m_context;
};

} // namespace veltrane
