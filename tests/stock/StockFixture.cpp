#include "StockFixture.h"

#include "FileFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace veltrane::test {

StockFixture::StockFixture()
    : root(m_dir.path()), game(m_dir.path() + u"/Rail Simulator"_s),
      package(m_dir.path() + u"/package"_s), context{state,         ui,
                                                     files,         host(game),
                                                     host(package), host(package),
                                                     report},
      m_log(m_dir.path() + u"/serz.log"_s)
{
    makeFolder(game + u"/Assets"_s);
    makeFolder(package);
    state.GamePath = game;
    const QString substitute = qEnvironmentVariable("VELTRANE_BUILD_DIR") + u"/substitute"_s;
    if (!QFileInfo(substitute + u"/serz"_s).isExecutable())
        qFatal("the stand-in serialiser is missing; is VELTRANE_BUILD_DIR set?");
    m_environment.set("PATH", QFile::encodeName(substitute));
    m_environment.set("WINEPREFIX", QFile::encodeName(root + u"/prefix"_s));
    m_environment.set("VELTRANE_SUBSTITUTE_LOG", QFile::encodeName(m_log));
    m_environment.unset("VELTRANE_SUBSTITUTE_FAIL");
}

QString StockFixture::assets(const QString& relative) const
{
    return state.GamePath + u"\\Assets\\"_s + QString(relative).replace(u'/', u'\\');
}

QString StockFixture::assetsFolder(const QString& relative) const
{
    const QString path = assets(relative);
    return path.left(path.lastIndexOf(u'\\') + 1);
}

void StockFixture::blueprint(const QString& relative, const QString& xml) const
{
    writeFile(game + u"/Assets/"_s + relative, serialised(xml.toUtf8()));
}

QString StockFixture::installedXml(const QString& relative) const
{
    const QString path = game + u"/Assets/"_s + relative;
    if (!QFileInfo(path).isFile())
        return QString();
    const QByteArray xml = deserialised(readFile(path));
    return xml.isNull() ? QString() : QString::fromUtf8(xml);
}

bool StockFixture::assetExists(const QString& relative) const
{
    return QFileInfo::exists(game + u"/Assets/"_s + relative);
}

void StockFixture::packageFile(const QString& relative, const QByteArray& bytes) const
{
    writeFile(package + u'/' + relative, bytes);
}

bool StockFixture::packageHas(const QString& relative) const
{
    return QFileInfo::exists(package + u'/' + relative);
}

void StockFixture::failSerialiser(const QByteArray& mode)
{
    if (mode.isEmpty())
        m_environment.unset("VELTRANE_SUBSTITUTE_FAIL");
    else
        m_environment.set("VELTRANE_SUBSTITUTE_FAIL", mode);
}

void StockFixture::removeSerialiser()
{
    const QString empty = root + u"/no-programs"_s;
    makeFolder(empty);
    m_environment.set("PATH", QFile::encodeName(empty));
}

QList<QStringList> StockFixture::serialiserRuns() const
{
    QList<QStringList> runs;
    QStringList current;
    for (const QByteArray& line : readFile(m_log).split('\n')) {
        if (line == "--") {
            runs.append(current);
            current.clear();
        } else if (!line.isEmpty()) {
            current.append(QString::fromUtf8(line));
        }
    }
    return runs;
}

QString canonical(const QString& xml)
{
    return QString::fromUtf8(canonicalXml(xml.toUtf8()));
}

QString childEntry(const QString& childName)
{
    return u"\t\t\t\t<cEntityContainerBlueprint-sChild d:id=\"7\">\r\n"
           u"\t\t\t\t\t<ChildName d:type=\"cDeltaString\">"_s +
           childName +
           u"</ChildName>\r\n"
           u"\t\t\t\t\t<BlueprintID><iBlueprintLibrary-cAbsoluteBlueprintID>"
           u"<BlueprintSetID><iBlueprintLibrary-cBlueprintSetID>"
           u"<Provider d:type=\"cDeltaString\">Kuju</Provider>"
           u"</iBlueprintLibrary-cBlueprintSetID></BlueprintSetID>"
           u"</iBlueprintLibrary-cAbsoluteBlueprintID></BlueprintID>\r\n"
           u"\t\t\t\t</cEntityContainerBlueprint-sChild>\r\n"_s;
}

QString blueprintXml(const QString& displayName, const QStringList& childNames, bool withChildren)
{
    QString xml =
        u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        u"<cBlueprintLoader xmlns:d=\"http://www.kuju.com/TnT/2003/Delta\" d:version=\"1.0\">\r\n"
        u"\t<Blueprint>\r\n"
        u"\t\t<cReskinBlueprint>\r\n"
        u"\t\t\t<Name d:type=\"cDeltaString\">"_s +
        displayName +
        u"</Name>\r\n"
        u"\t\t\t<DisplayName>\r\n"
        u"\t\t\t\t<Localisation-cUserLocalisedString>\r\n"
        u"\t\t\t\t\t<English d:type=\"cDeltaString\">English name</English>\r\n"
        u"\t\t\t\t\t<French d:type=\"cDeltaString\">Nom</French>\r\n"
        u"\t\t\t\t\t<Italian d:type=\"cDeltaString\"></Italian>\r\n"
        u"\t\t\t\t\t<German d:type=\"cDeltaString\">Wagen</German>\r\n"
        u"\t\t\t\t\t<Spanish d:type=\"cDeltaString\">Coche</Spanish>\r\n"
        u"\t\t\t\t\t<Key d:type=\"cDeltaString\">keep</Key>\r\n"
        u"\t\t\t\t</Localisation-cUserLocalisedString>\r\n"
        u"\t\t\t</DisplayName>\r\n"_s;
    if (withChildren) {
        xml += u"\t\t\t<Children>\r\n"_s;
        for (const QString& name : childNames)
            xml += childEntry(name);
        xml += u"\t\t\t</Children>\r\n"_s;
    }
    xml += u"\t\t\t<Mass d:type=\"sFloat32\">12.5</Mass>\r\n"
           u"\t\t</cReskinBlueprint>\r\n"
           u"\t</Blueprint>\r\n"
           u"</cBlueprintLoader>\r\n"_s;
    return xml;
}

QString withDisplayName(QString xml, const QString& name)
{
    static const QRegularExpression element(
        u"(<(?:Name|English|French|Italian|German|Spanish) d:type=\"cDeltaString\">)[^<]*</"_s);
    QString escaped = name;
    escaped.replace(u'\\', u"\\\\"_s);
    return xml.replace(element, u"\\1"_s + escaped + u"</"_s);
}

QStringList childNamesIn(const QString& xml)
{
    static const QRegularExpression childName(u"<ChildName[^>]*>([^<]*)</ChildName>"_s,
                                              QRegularExpression::CaseInsensitiveOption);
    QStringList names;
    for (auto it = childName.globalMatch(xml); it.hasNext();)
        names.append(it.next().captured(1));
    return names;
}

} // namespace veltrane::test
