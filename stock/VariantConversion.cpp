#include "VariantConversion.h"

#include "EngineContext.h"
#include "SerzConversion.h"
#include "journal/FileChanges.h"
#include "journal/TextFileWriter.h"
#include "util/AppState.h"
#include "util/FileError.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"
#include "util/WorkReport.h"

using namespace Qt::StringLiterals;

namespace veltrane {

VariantConversion::VariantConversion(EngineContext& context, QString folder, QString baseName)
    : m_context(context), m_folder(std::move(folder)), m_baseName(std::move(baseName))
{
}

HostPath VariantConversion::workFile(const QString& name) const
{
    return SerzConversion::workFile(m_context.workFolder, name);
}

QString VariantConversion::variantName() const
{
    return m_context.state.VariantName;
}

void VariantConversion::removeStale(const HostPath& path)
{
    if (fileExists(path))
        m_context.files.removeFile(path);
}

void VariantConversion::prepareWorkFolder()
{
    SerzConversion::prepareWorkFolder(m_context.files, m_context.workFolder);
}

void VariantConversion::copyBase()
{
    const HostPath copy = workFile(m_baseName + u".bin"_s);
    // A copy that cannot be replaced in place must not be converted instead of this base.
    removeStale(copy);
    m_context.files.copyFile(HostPath::fromProgramPath(m_folder + m_baseName + u".bin"_s), copy);
    m_context.ui.processEvents();
}

QString VariantConversion::convertBase()
{
    const HostPath xml = workFile(m_baseName + u".xml"_s);
    removeStale(xml);
    const ProcessResult result =
        SerzConversion::toXml(m_context, workFile(m_baseName + u".bin"_s), xml);
    if (!result.succeeded())
        throw FileError(FileError::Kind::Other, u"the serialiser could not convert "_s +
                                                    m_baseName + u".bin: "_s + result.failure());
    QString doc;
    readTextFile(m_context.ui, xml, doc);
    return doc;
}

bool VariantConversion::writeVariantXml(const QString& doc)
{
    const bool written =
        writeTextFile(m_context.files, m_context.ui, workFile(variantName() + u".xml"_s), doc).ok();
    m_context.ui.processEvents();
    return written;
}

QString VariantConversion::convertVariant()
{
    const HostPath bin = workFile(variantName() + u".bin"_s);
    removeStale(bin);
    const ProcessResult result =
        SerzConversion::toBin(m_context, workFile(variantName() + u".xml"_s), bin);
    if (!result.succeeded())
        return result.failure();
    // An empty file or one that does not read back would be a broken blueprint in the game.
    if (!fileExists(bin) || FileChanges::fileSize(bin) == 0)
        return u"it made an empty file"_s;
    if (!SerzConversion::readsBack(bin))
        return u"what it made does not read back as a blueprint"_s;
    return {};
}

void VariantConversion::installVariant()
{
    m_context.ui.processEvents();
    // Replaces a file of the variant's name whole, or leaves it.
    m_context.files.copyFile(workFile(variantName() + u".bin"_s),
                             HostPath::fromProgramPath(m_folder + variantName() + u".bin"_s));
}

void VariantConversion::reportError(const std::exception& error, const QString& suffix)
{
    const auto* fileError = dynamic_cast<const FileError*>(&error);
    const QString description =
        fileError ? fileError->description() : QString::fromUtf8(error.what());
    m_context.ui.showMessage(u"An error "_s + description +
                                 u" occurred while trying to create\r\n"_s + m_baseName + u'\\' +
                                 suffix,
                             UserInterface::Icon::Exclamation);
    m_context.report.fail(u"Making the missing rolling stock "_s + m_baseName + suffix,
                          shownPath(m_folder + m_baseName + suffix + u".bin"_s), description);
}

void VariantConversion::reportConversionFailure(const QString& reason)
{
    // The message keeps its two lines; the reason reaches the log through the report.
    m_context.ui.showMessage(u"Serz.exe could not convert file "_s + variantName() +
                                 u".bin\r\nThis is a limitation of Serz.exe and out of my "
                                 u"control."_s,
                             UserInterface::Icon::Exclamation);
    recordFailure(u"the serialiser could not convert it: "_s + reason);
}

void VariantConversion::recordFailure(const QString& reason)
{
    m_context.report.fail(u"Making the missing rolling stock "_s + variantName(),
                          shownPath(m_folder + variantName() + u".bin"_s), reason);
}

} // namespace veltrane
