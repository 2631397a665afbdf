#pragma once

#include "util/HostPath.h"

#include <QString>
#include <exception>

namespace veltrane {

struct EngineContext;

// The file work that both variant makers share: the base blueprint copied into the work
// folder and turned into XML there, the edited XML turned back, and the result placed
// beside its base.
class VariantConversion {
public:
    // folder: the base's Assets folder, ending in "\".
    VariantConversion(EngineContext& context, QString folder, QString baseName);

    // Each throws FileError when its file work fails.
    void prepareWorkFolder();
    void copyBase();
    // Returns the base blueprint as XML. Throws FileError when the serialiser failed.
    QString convertBase();
    // False when the text could not be written; the writer has told the user why.
    bool writeVariantXml(const QString& doc);
    // Why the variant could not be converted; empty when it was, whole.
    QString convertVariant();
    void installVariant();

    // "An error <description> occurred while trying to create" <base>\<suffix>
    void reportError(const std::exception& error, const QString& suffix);
    // The serialiser did not make the variant: the user is told so, the log why.
    void reportConversionFailure(const QString& reason);
    // A failure the user has been told of already, for the install's last message.
    void recordFailure(const QString& reason);

private:
    QString variantName() const;
    HostPath workFile(const QString& name) const;
    // A conversion result left by an earlier run must never pass for this run's.
    void removeStale(const HostPath& path);

    EngineContext& m_context;
    QString m_folder;
    QString m_baseName;
};

} // namespace veltrane
