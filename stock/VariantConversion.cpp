#include "VariantConversion.h"

#include "EngineContext.h"
#include "SerzConversion.h"
#include "util/AppState.h"
#include "util/FileError.h"
#include "util/FileOps.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"

using namespace Qt::StringLiterals;

namespace veltrane {

VariantConversion::VariantConversion(EngineContext& context, QString folder, QString baseName)
    : m_context(context), m_folder(std::move(folder)), m_baseName(std::move(baseName))
{
}

HostPath VariantConversion::workFile(const QString& name) const
{
    return HostPath::fromProgramPath(SerzConversion::workFile(m_context.programFolder, name));
}

QString VariantConversion::variantName() const
{
    return m_context.state.VariantName;
}

void VariantConversion::removeStale(const HostPath& path)
{
    if (fileExists(path))
        FileOps::removeFile(path);
}

void VariantConversion::prepareWorkFolder()
{
    SerzConversion::prepareWorkFolder(m_context.programFolder);
}

void VariantConversion::copyBase()
{
    const HostPath copy = workFile(m_baseName + u".bin"_s);
    // A copy that cannot be replaced in place must not be converted instead of this base.
    removeStale(copy);
    FileOps::copyFile(HostPath::fromProgramPath(m_folder + m_baseName + u".bin"_s), copy);
    m_context.ui.processEvents();
}

QString VariantConversion::convertBase()
{
    const HostPath xml = workFile(m_baseName + u".xml"_s);
    removeStale(xml);
    SerzConversion::toXml(m_context, workFile(m_baseName + u".bin"_s), xml);
    QString doc;
    readTextFile(m_context.ui, xml, doc);
    return doc;
}

void VariantConversion::writeVariantXml(const QString& doc)
{
    writeTextFile(m_context.ui, workFile(variantName() + u".xml"_s), doc);
    m_context.ui.processEvents();
}

qint64 VariantConversion::convertVariant()
{
    const HostPath bin = workFile(variantName() + u".bin"_s);
    removeStale(bin);
    SerzConversion::toBin(m_context, workFile(variantName() + u".xml"_s), bin);
    return FileOps::fileSize(bin);
}

void VariantConversion::installVariant()
{
    m_context.ui.processEvents();
    const HostPath target = HostPath::fromProgramPath(m_folder + variantName() + u".bin"_s);
    if (fileExists(target)) {
        FileOps::removeFile(target);
        m_context.ui.processEvents();
    }
    FileOps::copyFile(workFile(variantName() + u".bin"_s), target);
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
}

void VariantConversion::reportConversionFailure()
{
    m_context.ui.showMessage(
        u"Serz.exe could not convert file "_s + variantName() +
            u".bin\r\nThis is a limitation of Serz.exe and out of my control."_s,
        UserInterface::Icon::Exclamation);
}

} // namespace veltrane
