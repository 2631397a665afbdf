#include "TextFileWriter.h"

#include "FileOps.h"
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

bool writeTextFile(UserInterface& ui, const HostPath& path, const QString& text,
                   const HostPath& shownAs, std::optional<FileError>* failure)
{
    const HostPath& shown = shownAs.isEmpty() ? path : shownAs;
    if (const auto bad = Windows1252::firstUnencodable(text)) {
        const QString description =
            QStringLiteral("The character U+%1 at position %2 cannot be written in the "
                           "Windows-1252 code page")
                .arg(text[*bad].unicode(), 4, 16, QChar(u'0'))
                .arg(*bad + 1);
        reportWriteFailure(ui, description, shown);
        return false;
    }

    const QByteArray bytes = Windows1252::encode(text);
    try {
        FileOps::writeWhole(path, bytes);
    } catch (const FileError& error) {
        reportWriteFailure(ui, error.description(), shown);
        if (failure)
            *failure = error;
        return false;
    }
    ui.processEvents();

    const QFileInfo written(path.toString());
    if (!written.exists()) {
        reportWriteFailure(ui, QStringLiteral("File not found"), shown);
        return false;
    }
    if (written.size() == 0) {
        ui.showMessage(u"An error occurred while writing "_s + shown.display(),
                       UserInterface::Icon::Exclamation);
        return false;
    }
    if (written.size() != bytes.size()) {
        reportWriteFailure(ui, u"The file was written short"_s, shown);
        return false;
    }
    return true;
}

} // namespace veltrane
