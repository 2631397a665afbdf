#include "TextFileWriter.h"

#include "FileChanges.h"
#include "util/InstallLog.h"
#include "util/UserInterface.h"
#include "util/Windows1252.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

void reportWriteFailure(UserInterface& ui, const QString& description, const HostPath& path)
{
    ui.showMessage(description + u" occurred in WriteUniFile while processing\r\nfile "_s +
                       path.display(),
                   UserInterface::Icon::Exclamation);
}

} // namespace

Expected<void> writeTextFile(FileChanges& files, UserInterface& ui, const HostPath& path,
                             const QString& text, const HostPath& shownAs)
{
    const HostPath& shown = shownAs.isEmpty() ? path : shownAs;
    const auto failed = [&](const QString& description) {
        reportWriteFailure(ui, description, shown);
        return FileError(FileError::Kind::Other, description);
    };
    if (const auto bad = Windows1252::firstUnencodable(text)) {
        return failed(QStringLiteral("The character U+%1 at position %2 cannot be written in the "
                                     "Windows-1252 code page")
                          .arg(text[*bad].unicode(), 4, 16, QChar(u'0'))
                          .arg(*bad + 1));
    }

    const QByteArray bytes = Windows1252::encode(text);
    try {
        files.writeWhole(path, bytes);
    } catch (const FileError& error) {
        reportWriteFailure(ui, error.description(), shown);
        return error;
    }
    ui.processEvents();

    const QFileInfo written(path.toString());
    if (!written.exists())
        return failed(QStringLiteral("File not found"));
    if (written.size() == 0) {
        const QString description = u"An error occurred while writing "_s + shown.display();
        ui.showMessage(description, UserInterface::Icon::Exclamation);
        return FileError(FileError::Kind::Other, description);
    }
    if (written.size() != bytes.size())
        return failed(u"The file was written short"_s);
    return {};
}

Expected<void> writeLogCopy(const InstallLog& log)
{
    if (log.copyPath().isEmpty())
        return {};
    try {
        FileChanges().writeWhole(HostPath::fromHost(log.copyPath()), log.copyText());
    } catch (const FileError& error) {
        return error;
    }
    return {};
}

} // namespace veltrane
