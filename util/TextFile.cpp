#include "TextFile.h"

#include "FileError.h"
#include "FileOps.h"
#include "UserInterface.h"
#include "Windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

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

bool fileExists(const HostPath& path)
{
    // A pipe or a device would block the open, or never end the read.
    if (path.isEmpty() || !QFileInfo(path.toString()).isFile())
        return false;
    QFile file(path.toString());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    file.close();
    return true;
}

bool folderExists(const HostPath& path)
{
    return !path.isEmpty() && QFileInfo(path.toString()).isDir();
}

void readTextFile(UserInterface& ui, const HostPath& path, QString& text)
{
    const QString host = path.toString();
    const QFileInfo info(host);
    if (!info.exists() || info.isDir())
        return;
    if (!info.isFile())
        throw FileError(FileError::Kind::Other,
                        u"It is not a file that can be read ("_s + path.display() + u')');
    const bool unicode = host.right(3).compare(u"mkr"_s, Qt::CaseInsensitive) == 0;
    ui.processEvents();

    QFile file(host);
    if (!file.open(QIODevice::ReadOnly)) {
        const auto kind =
            info.isReadable() ? FileError::Kind::Other : FileError::Kind::PermissionDenied;
        throw FileError(kind, file.errorString() + u" ("_s + path.display() + u')');
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(FileError::Kind::Other,
                        file.errorString() + u" ("_s + path.display() + u')');
    if (unicode) {
        QStringDecoder decoder(QStringConverter::Utf16LE);
        text = decoder.decode(bytes);
    } else {
        text = Windows1252::decode(bytes);
    }
}

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
