#include "MyFile.h"

#include "FileError.h"
#include "FileOps.h"
#include "HostPath.h"
#include "UserInterface.h"
#include "Windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

void reportWriteFailure(UserInterface& ui, const QString& description, const QString& path)
{
    ui.showMessage(description + u" occurred in WriteUniFile while processing\r\nfile "_s +
                       HostPath::display(path),
                   UserInterface::Icon::Exclamation);
}

} // namespace

bool MyFile::FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    QFile file(HostPath::toHost(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    file.close();
    return true;
}

bool MyFile::DirExists(const QString& path)
{
    QString folder = path;
    if (folder.endsWith(u'\\'))
        folder.chop(1);
    if (folder.isEmpty())
        return false;
    return QFileInfo(HostPath::toHost(folder)).isDir();
}

void MyFile::ReadUniFile(UserInterface& ui, const QString& path, QString& text)
{
    const QString host = HostPath::toHost(path);
    const QFileInfo info(host);
    if (!info.exists() || info.isDir())
        return;
    const bool unicode = path.right(3).compare(u"mkr"_s, Qt::CaseInsensitive) == 0;
    ui.processEvents();

    QFile file(host);
    if (!file.open(QIODevice::ReadOnly)) {
        const auto kind =
            info.isReadable() ? FileError::Kind::Other : FileError::Kind::PermissionDenied;
        throw FileError(kind, file.errorString() + u" ("_s + HostPath::display(path) + u')');
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(FileError::Kind::Other,
                        file.errorString() + u" ("_s + HostPath::display(path) + u')');
    if (unicode) {
        QStringDecoder decoder(QStringConverter::Utf16LE);
        text = decoder.decode(bytes);
    } else {
        text = Windows1252::decode(bytes);
    }
}

bool MyFile::WriteUniFile(UserInterface& ui, const QString& path, const QString& text)
{
    if (const auto bad = Windows1252::firstUnencodable(text)) {
        const QString description =
            QStringLiteral("The character U+%1 at position %2 cannot be written in the "
                           "Windows-1252 code page")
                .arg(text[*bad].unicode(), 4, 16, QChar(u'0'))
                .arg(*bad + 1);
        reportWriteFailure(ui, description, path);
        return false;
    }

    try {
        FileOps::writeWhole(path, Windows1252::encode(text));
    } catch (const FileError& error) {
        reportWriteFailure(ui, error.description(), path);
        return false;
    }
    ui.processEvents();

    const QFileInfo written(HostPath::toHost(path));
    if (!written.exists()) {
        reportWriteFailure(ui, QStringLiteral("File not found"), path);
        return false;
    }
    if (written.size() == 0) {
        ui.showMessage(u"An error occurred while writing "_s + HostPath::display(path),
                       UserInterface::Icon::Exclamation);
        return false;
    }
    return true;
}

} // namespace veltrane
