#include "GameFolder.h"

#include "platform/GameLocator.h"
#include "util/TextFile.h"

#include <QDir>
#include <QProcessEnvironment>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

const QString kDefaultGamePath = u"c:\\program files\\Rail Simulator"_s;

const QString kExpectedGame =
    u"\r\nChoose the folder of Rail Simulator: the one that holds RailSim.exe, or the Assets "
    u"and Content folders."_s;

} // namespace

GameFolder::Search GameFolder::find()
{
    if (fileExists(HostPath::fromProgramPath(kDefaultGamePath + u"\\RailSim.exe"_s)))
        return {kDefaultGamePath, {}};
    Search search;
    search.placesLooked.append(HostPath::fromProgramPath(kDefaultGamePath).display());
#ifndef Q_OS_WIN
    GameLocator locator(QDir::homePath(), QProcessEnvironment::systemEnvironment());
    search.folder = locator.find();
    search.placesLooked += locator.placesLooked();
#endif
    return search;
}

QString GameFolder::whereLooked(const QStringList& placesLooked)
{
    if (placesLooked.isEmpty())
        return {};
    constexpr qsizetype kNamed = 12;
    QStringList named = placesLooked.mid(0, kNamed);
    if (placesLooked.size() > kNamed)
        named.append(u"and "_s + QString::number(placesLooked.size() - kNamed) + u" more"_s);
    return u"\r\nVeltrane looked for RailSim.exe in:\r\n"_s + named.join(u"\r\n"_s);
}

HostPath GameFolder::fromText(const QString& text)
{
    return text.trimmed().isEmpty() ? HostPath() : HostPath::fromProgramPath(text);
}

Expected<void> GameFolder::check(const HostPath& game)
{
    if (game.isEmpty())
        return failure(u"No game folder has been given."_s + kExpectedGame);
    if (!folderExists(game))
        return failure(u"The game folder "_s + game.display() + u" does not exist."_s +
                       kExpectedGame);
    const bool looksLikeGame = fileExists(game.mappedChild(u"RailSim.exe"_s)) ||
                               (folderExists(game.mappedChild(u"Assets"_s)) &&
                                folderExists(game.mappedChild(u"Content"_s)));
    if (!looksLikeGame)
        return failure(u"The folder "_s + game.display() +
                       u" does not look like the game's folder: it holds neither RailSim.exe nor "
                       u"the Assets and Content folders."_s +
                       kExpectedGame);
    return {};
}

} // namespace veltrane
