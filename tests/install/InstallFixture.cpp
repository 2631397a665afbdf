#include "InstallFixture.h"

#include "FileFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace veltrane::test {

namespace {

const QString kExamples = QStringLiteral(VELTRANE_SOURCE_DIR "/examples");

} // namespace

void copyFolderInto(const QString& from, const QString& to)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::copy(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (error)
        qFatal("cannot copy %s: %s", qPrintable(from), error.message().c_str());
}

InstallFixture::InstallFixture() : InstallFixture(QString()) {}

InstallFixture::InstallFixture(const QString& folderTemplate)
    : m_dir(folderTemplate.isEmpty()
                ? QDir::tempPath() + u'/' + QCoreApplication::applicationName() + u"-XXXXXX"_s
                : folderTemplate),
      root(m_dir.path()), game(m_dir.path() + u"/Rail Simulator"_s),
      package(m_dir.path() + u"/package"_s)
{
    // The game's two top folders tell the install that this is the game.
    makeFolder(game + u"/Assets"_s);
    makeFolder(game + u"/Content"_s);
    makeFolder(package);
    const QString substitute = qEnvironmentVariable("VELTRANE_BUILD_DIR") + u"/substitute"_s;
    m_environment.set("PATH", QFile::encodeName(substitute));
    m_environment.set("WINEPREFIX", QFile::encodeName(root + u"/prefix"_s));
    m_environment.set("XDG_STATE_HOME", QFile::encodeName(m_home.path() + u"/state"_s));
    m_environment.set("XDG_CACHE_HOME", QFile::encodeName(m_home.path() + u"/cache"_s));
}

void InstallFixture::layOutDemoGame() const
{
    copyFolderInto(kExamples + u"/game"_s, game);
    const QString xmlRoot = kExamples + u"/serialised/game"_s;
    QDirIterator it(xmlRoot, {u"*.xml"_s}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString xml = it.next();
        const QString relative = QDir(xmlRoot).relativeFilePath(xml);
        writeFile(game + u'/' + relative.chopped(4) + u".bin"_s, serialised(readFile(xml)));
    }
}

void InstallFixture::copyDemoPackage(const QString& name) const
{
    copyFolderInto(kExamples + u"/packages/"_s + name, package);
}

QStringList InstallFixture::logs() const
{
    const QString folder = m_home.path() + u"/state/veltrane"_s;
    QStringList texts;
    for (const QString& name : QDir(folder).entryList({u"*.log"_s}, QDir::Files, QDir::Name))
        texts.append(QString::fromUtf8(readFile(folder + u'/' + name)));
    return texts;
}

void InstallFixture::gameFile(const QString& relative, const QByteArray& bytes) const
{
    writeFile(game + u'/' + relative, bytes);
}

void InstallFixture::packageFile(const QString& relative, const QByteArray& bytes) const
{
    writeFile(package + u'/' + relative, bytes);
}

QByteArray InstallFixture::readGame(const QString& relative) const
{
    return readFile(game + u'/' + relative);
}

bool InstallFixture::gameHas(const QString& relative) const
{
    return QFileInfo(game + u'/' + relative).isFile();
}

QMap<QString, QByteArray> InstallFixture::gameSnapshot() const
{
    return gameFiles(game);
}

QByteArray InstallFixture::routeRecord(const QString& identifier, const QString& name)
{
    return ("\t\t<cRouteProperties d:id=\"7\">\r\n"
            "\t\t\t<ID>\r\n\t\t\t\t<DevString d:type=\"cDeltaString\">" +
            identifier.toUtf8() +
            "</DevString>\r\n\t\t\t</ID>\r\n"
            "\t\t\t<DisplayName>\r\n\t\t\t\t<English d:type=\"cDeltaString\">" +
            name.toUtf8() +
            "</English>\r\n\t\t\t</DisplayName>\r\n"
            "\t\t</cRouteProperties>\r\n");
}

QByteArray InstallFixture::routeList(const QStringList& identifiers)
{
    QByteArray list =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<cRouteList>\r\n\t<Record>\r\n";
    for (const QString& identifier : identifiers)
        list += routeRecord(identifier, u"Route "_s + identifier);
    return list + "\t</Record>\r\n</cRouteList>\r\n";
}

QByteArray InstallFixture::scenarioRecord(const QByteArray& id)
{
    return "\t\t<cScenarioProperties d:id=\"5\">\r\n\t\t\t<ID>\r\n\t\t\t\t<DevString "
           "d:type=\"cDeltaString\">" +
           id +
           "</DevString>\r\n\t\t\t</ID>\r\n\t\t\t<DisplayName>\r\n\t\t\t\t<English "
           "d:type=\"cDeltaString\">Scenario " +
           id + "</English>\r\n\t\t\t</DisplayName>\r\n\t\t</cScenarioProperties>\r\n";
}

QByteArray InstallFixture::scenarioList(const QList<QByteArray>& ids)
{
    QByteArray list = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                      "<cScenarioList d:id=\"1\">\r\n\t<Record>\r\n";
    for (const QByteArray& id : ids)
        list += scenarioRecord(id);
    return list + "\t</Record>\r\n</cScenarioList>\r\n";
}

InstallOperation::Outcome InstallFixture::install(PackageKind kind)
{
    return install(kind, game);
}

InstallOperation::Outcome InstallFixture::install(PackageKind kind, const QString& gameFolderText)
{
    InstallRequest request = InstallRequest::forFolder(HostPath::fromHost(package), kind);
    request.setGame(gameFolderText);
    return InstallOperation(state, ui, std::move(request)).run();
}

} // namespace veltrane::test
