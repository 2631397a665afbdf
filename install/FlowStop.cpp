#include "FlowStop.h"

#include "util/FileError.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"

using namespace Qt::StringLiterals;

namespace veltrane {

FlowStop::FlowStop(UserInterface& ui, QString what, QString unchanged)
    : m_ui(ui), m_what(std::move(what)), m_unchanged(std::move(unchanged))
{
}

InstallStep::Result FlowStop::stop(const HostPath& file, const QString& problem) const
{
    m_ui.showMessage(u"The "_s + m_what + u" could not be installed, because the file "_s +
                         file.display() + u" cannot be used:\r\n"_s + problem + u"\r\n"_s +
                         m_unchanged,
                     UserInterface::Icon::Exclamation);
    return InstallStep::Result::EndInstall;
}

Expected<QString> FlowStop::read(const HostPath& file) const
{
    QString text;
    try {
        readTextFile(m_ui, file, text);
    } catch (const FileError& error) {
        stop(file, error.description());
        return error;
    }
    return text;
}

} // namespace veltrane
