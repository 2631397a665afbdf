#include "PackageFolder.h"

#include "util/OwnFolder.h"
#include "util/TaggedText.h"
#include "util/TextFile.h"
#include "util/UserInterface.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

// A name longer than this is a damaged marker's, not a route's.
constexpr qsizetype kLongestName = 120;

} // namespace

std::optional<PackageKind> PackageFolder::identify(const HostPath& folder)
{
    if (fileExists(folder.mappedChild(u"Veltrane.xxx"_s)))
        return PackageKind::Route;
    if (fileExists(folder.mappedChild(u"Scenario.zzz"_s)))
        return PackageKind::Scenario;
    if (folderExists(folder.mappedChild(u"Rail Simulator"_s)))
        return PackageKind::Assets;
    return std::nullopt;
}

QString PackageFolder::displayName(const HostPath& folder, PackageKind kind)
{
    if (kind == PackageKind::Assets)
        return {};
    const HostPath marker =
        folder.mappedChild(kind == PackageKind::Route ? u"Veltrane.xxx"_s : u"Scenario.zzz"_s);
    QString text;
    QString name;
    try {
        SilentUserInterface quiet;
        readTextFile(quiet, marker, text);
        qint32 position = 1;
        TaggedText::readValue(text, position, u"English"_s, name);
    } catch (const std::exception&) {
        // A marker that cannot be read names nothing; the install says why when it reads it.
        return {};
    }
    return oneLine(name.trimmed()).left(kLongestName);
}

QString PackageFolder::kindName(PackageKind kind)
{
    switch (kind) {
    case PackageKind::Route:
        return u"route"_s;
    case PackageKind::Scenario:
        return u"scenario"_s;
    case PackageKind::Assets:
        break;
    }
    return u"assets"_s;
}

QString PackageFolder::ownFolderEntry(const HostPath& folder)
{
    const auto ownIn = [](const HostPath& where) -> QString {
        const QStringList names =
            QDir(where.toString())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            if (OwnFolder::isOwnName(name))
                return name;
        }
        return {};
    };
    if (const QString top = ownIn(folder); !top.isEmpty())
        return top;
    const QString tree = folder.matchEntry(u"Rail Simulator"_s);
    if (tree.isEmpty())
        return {};
    const QString below = ownIn(folder.child(tree));
    return below.isEmpty() ? QString() : tree + u'/' + below;
}

} // namespace veltrane
