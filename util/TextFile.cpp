#include "TextFile.h"

#include "FileError.h"
#include "UserInterface.h"
#include "Windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace veltrane {

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

} // namespace veltrane
