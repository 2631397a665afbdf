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

    // produced becomes true only when the variant has been placed beside its base.
    void MakeNumberVariant(const QString& folder, const QString& baseName, const QString& suffix,
                           bool& produced, const QString& requirementLine);

    // What the last requirement line held.
    QString StockPath;
    qint16 LampNumber1 = 0;
    qint16 LampNumber2 = 0;
    QString CodeText1, CodeText2, CodeText3, CodeText4, CodeText5, CodeText6;

private:
    EngineContext& m_context;
};

} // namespace veltrane
